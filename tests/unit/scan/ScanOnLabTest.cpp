// The scan against the simulated lab's ATA device: real register decoding, medium limits and
// injected media errors.

#include <gtest/gtest.h>

#include <memory>

#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanTexts.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::scan {
namespace {

using platform::sim::CommandRecord;
using platform::sim::DriveDescription;
using platform::sim::SimPlatform;

platform::sim::LabDescription OneDrive(uint64_t sectors) {
    platform::sim::LabDescription lab;
    DriveDescription drive;
    drive.model = "VQ LAB SSD";
    drive.sectors = sectors;
    lab.drives[0] = std::move(drive);
    return lab;
}

struct LabScan {
    explicit LabScan(uint64_t sectors) : lab(OneDrive(sectors)) {}
    platform::sim::SimDevice& Device() { return *lab.Device(0); }
    ScanOutcome Run(ScanMode mode) { return RunScan(lab.Drives(), 0, mode, stop, observer); }

    SimPlatform lab;
    StopRequest stop{0};
    ScanObserver observer;
};

TEST(ScanOnLab, HealthyDriveCompletesAlthoughItsSizeIsNoChunkMultiple) {
    LabScan scan(2'000'000);
    for (auto mode : {ScanMode::Full, ScanMode::Quick}) {
        const auto outcome = scan.Run(mode);
        EXPECT_EQ(outcome.ending, ScanEnding::Completed);
        EXPECT_EQ(outcome.resultText, "");
    }
    EXPECT_EQ(scan.Device().Stats().reads, 7906u + 80u);
    EXPECT_EQ(scan.Device().Stats().sectorsRead, 2'000'000u + 80u * 253u);
}

TEST(ScanOnLab, UnreadableSectorMidDriveIsReportedAtItsChunk) {
    LabScan scan(2'000'000);
    scan.Device().AddFault({1'000'000, 1, 0x40, false});
    const auto outcome = scan.Run(ScanMode::Full);
    EXPECT_EQ(outcome.ending, ScanEnding::Failed);
    EXPECT_EQ(outcome.finalPosition, 999'856u);  // 3,952 x 253: the chunk holding LBA 1,000,000
    EXPECT_EQ(outcome.firstFailingLba, 1'000'000u);  // as the drive reported it
    EXPECT_EQ(outcome.resultText, "Msg code : 1000000");
    EXPECT_EQ(ItemsScannedFinalText(outcome.finalPosition, outcome.total), "Items Scanned : 999856 /2000000 ");
    EXPECT_EQ(PercentText(ScanPercent(outcome.finalPosition, outcome.total)), "50 %");
    EXPECT_EQ(scan.Device().Stats().reads, 3953u) << "no retry, no read after the failure";

    // A quick scan samples 986,700 and 1,012,000 around it and passes.
    EXPECT_EQ(scan.Run(ScanMode::Quick).ending, ScanEnding::Completed);
}

TEST(ScanOnLab, EmptySlotCannotBeOpened) {
    LabScan scan(2'000'000);
    const auto outcome = RunScan(scan.lab.Drives(), 1, ScanMode::Quick, scan.stop, scan.observer);
    EXPECT_EQ(outcome.ending, ScanEnding::NotOpened);
    EXPECT_EQ(outcome.resultText, "The drive cannot be opened.");
}

TEST(ScanOnLab, DriveBeyondTwentyEightBitsIsReadToItsEndOnce) {
    constexpr uint64_t kTotal = 300'000'000;
    LabScan scan(kTotal);
    uint64_t next = 0;
    uint64_t ext = 0;
    uint64_t misplaced = 0;
    scan.Device().SetObserver([&](const CommandRecord& r) {
        const bool needsExt = r.lba + r.sectors > 0x0FFFFFFF;
        const bool isExt = r.input.command == 0x25 && (r.flags & ata::ATA_FLAGS_48BIT_COMMAND);
        misplaced += r.lba != next || isExt != needsExt || !r.delivered || r.output.status() != 0x50;
        next = r.lba + r.sectors;
        ext += isExt;
    });
    const auto outcome = scan.Run(ScanMode::Full);
    scan.Device().SetObserver({});

    EXPECT_EQ(outcome.ending, ScanEnding::Completed);
    EXPECT_EQ(misplaced, 0u) << "every chunk follows the last, by the command that reaches it";
    EXPECT_EQ(next, kTotal);
    EXPECT_EQ(scan.Device().Stats().sectorsRead, kTotal);
    EXPECT_EQ(outcome.chunksRead, (kTotal + 252) / 253);
    EXPECT_EQ(ext, 124'762u);  // from the chunk at 268,435,277, the first reaching past 0x0FFFFFFE
    EXPECT_EQ(ItemsScannedFinalText(outcome.finalPosition, outcome.total), "Items Scanned : 300000000 /300000000 ");
}

}  // namespace
}  // namespace vellumin::scan
