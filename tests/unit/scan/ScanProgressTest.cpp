#include <gtest/gtest.h>

#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanProgress.h"

namespace vellumin::scan {
namespace {

TEST(ScanProgress, RateAndTimeLeft) {
    EXPECT_DOUBLE_EQ(MegabytesPerSecond(500'000'000, 2.0), 250.0);
    EXPECT_DOUBLE_EQ(MegabytesPerSecond(500'000'000, 0.0), 0.0);
    EXPECT_FALSE(SecondsLeft({0, 2'000'000, 0, 1.0}).has_value());
    EXPECT_FALSE(SecondsLeft({500'000, 2'000'000, 0, 0.0}).has_value());
    EXPECT_DOUBLE_EQ(*SecondsLeft({500'000, 2'000'000, 0, 10.0}), 30.0);
    EXPECT_EQ(ClockText(3661.4), "1:01:01");
    EXPECT_EQ(ClockText(-2), "0:00:00");
}

// The bytes counted for the rate are the bytes the chunks read: the last one ends at the end
// of the medium.
TEST(ScanProgress, CountsTheShortLastChunkAsRead) {
    const struct {
        uint64_t total;
        uint64_t step;
    } cases[] = {{1000, kChunkSectors}, {1000, StepSectors(ScanMode::Quick)}, {3 * kChunkSectors, kChunkSectors}};
    for (const auto& c : cases) {
        ScanProgress progress{0, c.total, 0, 0};
        uint64_t expected = 0;
        for (uint64_t lba = 0; lba < c.total; lba += c.step) {
            CountChunk(progress, lba);
            expected += ChunkAt(lba, c.total).sectors * uint64_t{kSectorBytes};
        }
        EXPECT_EQ(progress.bytesRead, expected) << c.total << " " << c.step;
        EXPECT_EQ(progress.lba, (c.total - 1) / c.step * c.step);
    }
}

TEST(ScanProgress, TerminalLine) {
    EXPECT_EQ(ProgressLine({500'000, 2'000'000, 250'000'000, 10.0}, 8),
              "[##------]  25 %  500000 / 2000000  25.0 MB/s  0:00:30 left");
    EXPECT_EQ(ProgressLine({0, 2'000'000, 0, 0.0}, 4), "[----]   0 %  0 / 2000000  0.0 MB/s  --:--:-- left");
    EXPECT_EQ(ProgressLine({2'000'000, 2'000'000, 1, 1.0}, 4).substr(0, 12), "[####] 100 %");
}

}  // namespace
}  // namespace vellumin::scan
