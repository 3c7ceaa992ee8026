#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanTexts.h"
#include "tests/unit/scan/ScriptedDrive.h"

namespace vellumin::scan {
namespace {

using test::ScriptedDrive;

constexpr uint64_t kTwoMillion = 2'000'000;
constexpr uint8_t kReadDma = 0xC8;

// Records what a page would show after each report.
struct RecordingObserver : ScanObserver {
    void OnOpened() override { calls.push_back("opened"); }
    void OnRange(uint64_t t) override {
        calls.push_back("range");
        total = t;
    }
    void OnChunk(uint64_t lba) override {
        chunks.push_back(lba);
        itemTexts.push_back(ItemsScannedText(lba, total));
        percentTexts.push_back(PercentText(ScanPercent(lba, total)));
    }
    void OnEnd(const ScanOutcome&) override { calls.push_back("end"); }

    uint64_t total = 0;
    std::vector<std::string> calls;
    std::vector<uint64_t> chunks;
    std::vector<std::string> itemTexts;
    std::vector<std::string> percentTexts;
};

struct Scan {
    explicit Scan(std::optional<uint64_t> sectors) : drive(sectors) {}
    ScanOutcome Run(ScanMode mode) { return RunScan(&drive, mode, stop, observer); }

    ScriptedDrive drive;
    StopRequest stop{0};
    RecordingObserver observer;
};

std::string FinalItems(const ScanOutcome& o) { return ItemsScannedFinalText(o.finalPosition, o.total); }
std::string FinalPercent(const ScanOutcome& o) { return PercentText(ScanPercent(o.finalPosition, o.total)); }

TEST(ScanTexts, ResultLines) {
    EXPECT_EQ(ReadResultText(1), "");
    EXPECT_EQ(ReadResultText(0), "DeviceIO error");
    EXPECT_EQ(ReadResultText(-3), "drive fault");
    EXPECT_EQ(ReadResultText(1000000), "Msg code : 1000000");
    EXPECT_EQ(ReadResultText(10000100), "Msg code : 10000100");
}

TEST(ScanTexts, ElapsedTime) {
    EXPECT_EQ(ElapsedTimeText(0), "Elapsed Time : 0 hr  0 min  0 sec");
    EXPECT_EQ(ElapsedTimeText(59), "Elapsed Time : 0 hr  0 min  59 sec");
    EXPECT_EQ(ElapsedTimeText(60), "Elapsed Time : 0 hr  1 min  0 sec");
    EXPECT_EQ(ElapsedTimeText(3661), "Elapsed Time : 1 hr  1 min  1 sec");
    EXPECT_EQ(ElapsedTimeText(90061), "Elapsed Time : 25 hr  1 min  1 sec");
}

TEST(ScanTexts, PositionsBeyondThirtyTwoBitsPrintUnsigned) {
    EXPECT_EQ(ItemsScannedFinalText(3'000'000'000, 7'814'037'168), "Items Scanned : 3000000000 /7814037168 ");
    EXPECT_EQ(PercentText(ScanPercent(3'907'018'584, 7'814'037'168)), "50 %");
    EXPECT_EQ(PercentText(ScanPercent(1, 300)), "0 %");
    EXPECT_EQ(PercentText(ScanPercent(2, 300)), "1 %");
}

TEST(ScanEngine, FullScanReadsEveryChunkUpToTheEnd) {
    Scan scan(kTwoMillion);
    const auto outcome = scan.Run(ScanMode::Full);

    ASSERT_EQ(scan.drive.log.size(), 7906u);
    for (size_t i = 0; i < scan.drive.log.size(); ++i) {
        const auto& read = scan.drive.log[i];
        ASSERT_EQ(read.lba, i * 253) << i;
        ASSERT_EQ(read.command, kReadDma) << i;
        ASSERT_EQ(read.sectors, i + 1 < scan.drive.log.size() ? 253u : 35u) << i;
        ASSERT_EQ(read.dataLength, read.sectors * 512) << i;
        ASSERT_EQ(read.flags, 0x12) << i;  // data in, DMA
        ASSERT_EQ(read.timeOutSeconds, 200u) << i;
        ASSERT_TRUE(read.hasBuffer) << i;
    }
    EXPECT_EQ(scan.drive.log.back().lba, 1'999'965u);
    EXPECT_EQ(scan.drive.flushes, 0u) << "a read-only scan has no write cache to flush";
    EXPECT_EQ(scan.observer.chunks.size(), 7906u);

    EXPECT_EQ(outcome.ending, ScanEnding::Completed);
    EXPECT_EQ(outcome.finalPosition, kTwoMillion);
    EXPECT_EQ(outcome.chunksRead, 7906u);
    EXPECT_EQ(outcome.bytesRead, kTwoMillion * 512);
    EXPECT_EQ(outcome.resultText, "");
    EXPECT_EQ(FinalItems(outcome), "Items Scanned : 2000000 /2000000 ");
    EXPECT_EQ(FinalPercent(outcome), "100 %");
    EXPECT_EQ(scan.observer.calls, (std::vector<std::string>{"opened", "range", "end"}));
}

TEST(ScanEngine, QuickScanSamplesOneChunkInAHundred) {
    Scan scan(kTwoMillion);
    const auto outcome = scan.Run(ScanMode::Quick);

    ASSERT_EQ(scan.drive.log.size(), 80u);
    for (size_t i = 0; i < 80; ++i) {
        ASSERT_EQ(scan.drive.log[i].lba, i * 25'300) << i;
        ASSERT_EQ(scan.drive.log[i].sectors, 253u) << i;
    }
    EXPECT_EQ(scan.drive.log.back().lba, 1'998'700u);
    EXPECT_EQ(scan.observer.itemTexts[1], "Items Scanned : 25300 /2000000  ");
    EXPECT_EQ(scan.observer.percentTexts[1], "1 %");
    EXPECT_EQ(outcome.ending, ScanEnding::Completed);
    EXPECT_EQ(FinalItems(outcome), "Items Scanned : 2000000 /2000000 ");
    EXPECT_EQ(FinalPercent(outcome), "100 %");
}

TEST(ScanEngine, StopEndsAfterTheChunkInProgress) {
    Scan scan(kTwoMillion);
    // Pressed while the fourth chunk is being read: that chunk completes, nothing more is read.
    scan.drive.onRead = [&](const ScriptedDrive::Read& read) {
        if (read.lba == 3 * 253) {
            scan.stop.store(1);
        }
    };
    const auto outcome = scan.Run(ScanMode::Full);

    EXPECT_EQ(scan.drive.log.size(), 4u);
    EXPECT_EQ(scan.observer.chunks.size(), 3u);
    EXPECT_EQ(outcome.ending, ScanEnding::Stopped);
    EXPECT_EQ(outcome.finalPosition, 0u);
    EXPECT_EQ(outcome.resultText, "");
    EXPECT_EQ(FinalItems(outcome), "Items Scanned : 0 /2000000 ");
    EXPECT_EQ(FinalPercent(outcome), "0 %");
    EXPECT_EQ(scan.stop.load(), 0) << "the stop request is cleared for the next scan";
}

TEST(ScanEngine, FailureAtTheFirstChunkNamesItsKind) {
    struct Case {
        ScriptedDrive::Answer answer;
        int result;
        const char* text;
    };
    const Case cases[] = {
        {{false, 0x50, 0x00}, 0, "DeviceIO error"},
        {{true, 0x51, 0x00}, 0, "DeviceIO error"},  // error bit with an empty error register
        {{true, 0x70, 0x00}, -3, "drive fault"},
        {{true, 0x71, 0x04}, 100, "Msg code : 100"},  // error bit wins over device fault
        {{true, 0x51, 0x10}, 10000, "Msg code : 10000"},
        {{true, 0x51, 0x40}, 1000000, "Msg code : 1000000"},
        {{true, 0x51, 0x44}, 1000100, "Msg code : 1000100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Scan scan(kTwoMillion);
        scan.drive.answers[0] = c.answer;
        const auto outcome = scan.Run(ScanMode::Quick);
        EXPECT_EQ(scan.drive.log.size(), 1u);
        EXPECT_TRUE(scan.observer.chunks.empty());
        EXPECT_EQ(outcome.ending, ScanEnding::Failed);
        EXPECT_EQ(outcome.lastResult, c.result);
        EXPECT_EQ(outcome.resultText, c.text);
        EXPECT_EQ(FinalItems(outcome), "Items Scanned : 0 /2000000 ");
        EXPECT_EQ(FinalPercent(outcome), "0 %");
    }
}

TEST(ScanEngine, FailureOutranksAStopDuringTheFailingRead) {
    Scan scan(kTwoMillion);
    scan.drive.answers[506] = {true, 0x51, 0x40};
    scan.drive.onRead = [&](const ScriptedDrive::Read& read) {
        if (read.lba == 506) {
            scan.stop.store(1);
        }
    };
    const auto outcome = scan.Run(ScanMode::Full);
    EXPECT_EQ(outcome.ending, ScanEnding::Failed);
    EXPECT_EQ(outcome.finalPosition, 506u);
    EXPECT_EQ(outcome.firstFailingLba, 506u);  // the registers name no other sector of the chunk
    EXPECT_EQ(outcome.resultText, "Msg code : 1000000");
    EXPECT_EQ(scan.stop.load(), 0);
}

TEST(ScanEngine, DriveThatCannotBeScanned) {
    {
        StopRequest stop{0};
        RecordingObserver observer;
        const auto outcome = RunScan(nullptr, ScanMode::Full, stop, observer);
        EXPECT_EQ(outcome.ending, ScanEnding::NotOpened);
        EXPECT_EQ(outcome.resultText, kCannotOpenText);
        EXPECT_EQ(observer.calls, (std::vector<std::string>{"end"}));
    }
    for (auto size : {std::optional<uint64_t>{}, std::optional<uint64_t>{0}}) {
        Scan scan(size);
        const auto outcome = scan.Run(ScanMode::Full);
        EXPECT_EQ(outcome.ending, ScanEnding::NoSize);
        EXPECT_EQ(outcome.resultText, kNoSizeText);
        EXPECT_TRUE(scan.drive.log.empty());
        EXPECT_EQ(scan.observer.calls, (std::vector<std::string>{"opened", "end"}));
    }
}

TEST(ScanEngine, ChunkCommandFollowsTheRegistersReach) {
    const uint64_t total = 300'000'000;
    EXPECT_FALSE(ChunkAt(0x0FFFFFFF - 253, total).ext);
    EXPECT_TRUE(ChunkAt(0x0FFFFFFF - 252, total).ext);  // its last sector needs 28 bits + 1
    EXPECT_TRUE(ChunkAt(uint64_t{1} << 28, total).ext);
    EXPECT_EQ(ChunkAt(total - 10, total).sectors, 10u);
    EXPECT_EQ(ChunkAt(total, total).sectors, 0u);
}

}  // namespace
}  // namespace vellumin::scan
