#pragma once

#include "ata/IdentifyBlock.h"
#include "pages/report/DriveBlocks.h"
#include "pages/report/ReportRow.h"
#include "platform/Platform.h"

namespace vellumin::pages {

inline constexpr int kDriveInfoRowCount = 13;
// Rows 0-9 come from the identify block alone; the page reads the SMART block only after
// it has written them.
inline constexpr int kDriveInfoIdentifyRows = 10;

// Rows 0-9: identity and capabilities. Rows 6 and 7 are blank (empty label and value) when
// word 87 is not valid, so every row keeps its index.
ReportRows DriveInfoIdentifyRows(int driveNumber, const ata::IdentifyBlock& identify);

// Rows 10-12: TRIM (which depends on the controller name in the SMART block), transfer mode
// and SATA signalling speed.
ReportRows DriveInfoTailRows(const ata::IdentifyBlock& identify, const ata::SmartBlock& smart);

// The TRIM row's fact: identify word 169 bit 0, unless the controller is one whose bit is not
// to be trusted.
bool TrimSupported(const ata::IdentifyBlock& identify, const ata::SmartBlock& smart);

// All thirteen rows in order.
ReportRows DriveInfoRows(int driveNumber, const ata::IdentifyBlock& identify,
                         const ata::SmartBlock& smart);

// The row after the thirteen: how the drive is attached ("Connection", "SATA port", "USB"...).
ReportRow ConnectionRow(platform::DriveConnection connection);

}  // namespace vellumin::pages
