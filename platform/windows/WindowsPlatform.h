#pragma once

#include <cstdint>
#include <memory>

#include "platform/Platform.h"

namespace vellumin::platform::windows_backend {

// The real machine: \\.\PhysicalDrive0..15, volume letters C to Z.
std::unique_ptr<Platform> CreateWindowsPlatform();

// True inside Wine (ntdll exports wine_get_version). There \\.\PhysicalDriveN may be a disk of
// the host machine, so the backend then sends only the reads of the identify and SMART blocks
// and never restarts anything.
bool RunningUnderWine();

// The attachment a storage adapter's STORAGE_BUS_TYPE names: SATA and ATA (IDE mode) adapters
// take ATA commands as sent; USB, SAS, RAID and the rest have something in between.
DriveConnection ConnectionOfBusType(uint32_t busType);

}  // namespace vellumin::platform::windows_backend
