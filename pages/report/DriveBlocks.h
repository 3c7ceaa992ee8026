#pragma once

#include <string>

#include "ata/IdentifyBlock.h"
#include "platform/Platform.h"

namespace vellumin::pages {

// Both blocks as read from a drive; a block whose read was not delivered stays all zero.
struct DriveBlocks {
    ata::IdentifyBlock identify{};
    ata::SmartBlock smart{};
    bool identifyRead = false;
    bool smartRead = false;
    platform::PassThroughResult identifyResult;  // why a read was not delivered
    platform::PassThroughResult smartResult;
};

// The information page reads the identify block first, the SMART page the SMART block.
enum class ReadOrder { IdentifyFirst, SmartFirst };

DriveBlocks ReadDriveBlocks(platform::DriveSystem& drives, int driveNumber, ReadOrder order);

// Bytes 400-407 of the SMART block taken in character pairs (ata::PairedBytes), trailing white
// space removed.
std::string ControllerName(const ata::SmartBlock& smart);

}  // namespace vellumin::pages
