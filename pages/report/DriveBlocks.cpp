#include "pages/report/DriveBlocks.h"

#include "transport/Transport.h"

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
    if (order == ReadOrder::SmartFirst) {
        blocks.smartResult = ata::SmartReadData(drives, driveNumber, blocks.smart);
    }
    blocks.identifyResult = ata::IdentifyDevice(drives, driveNumber, blocks.identify);
    if (order == ReadOrder::IdentifyFirst) {
        blocks.smartResult = ata::SmartReadData(drives, driveNumber, blocks.smart);
    }
    blocks.identifyRead = blocks.identifyResult.delivered();
    blocks.smartRead = blocks.smartResult.delivered();
    return blocks;
}

}  // namespace vellumin::pages
