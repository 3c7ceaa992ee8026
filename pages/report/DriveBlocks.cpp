#include "pages/report/DriveBlocks.h"

#include "ata/Transport.h"

namespace vellumin::pages {
namespace {

constexpr int kControllerNameOffset = 400;
constexpr int kControllerNameLength = 8;

}  // namespace

std::string ControllerName(const ata::SmartBlock& smart) {
    return ata::TrimRight(ata::PairedBytes(smart, kControllerNameOffset, kControllerNameLength));
}

DriveBlocks ReadDriveBlocks(platform::DriveSystem& drives, int driveNumber, ReadOrder order) {
    DriveBlocks blocks;
    if (order == ReadOrder::kSmartFirst) {
        blocks.smartRead = ata::SmartReadData(drives, driveNumber, blocks.smart);
    }
    blocks.identifyRead = ata::IdentifyDevice(drives, driveNumber, blocks.identify);
    if (order == ReadOrder::kIdentifyFirst) {
        blocks.smartRead = ata::SmartReadData(drives, driveNumber, blocks.smart);
    }
    return blocks;
}

}  // namespace vellumin::pages
