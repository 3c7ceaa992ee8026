#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace vellumin::scan {

// Where a running scan stands, for rates and a terminal progress line.
struct ScanProgress {
    uint64_t lba = 0;        // position reached
    uint64_t total = 0;      // sectors of the drive
    uint64_t bytesRead = 0;  // data actually read so far (a quick scan reads 1 % of the span)
    double seconds = 0;      // since the scan started
};

// The progress after the chunk at `lba` was read (progress.total must be set).
void CountChunk(ScanProgress& progress, uint64_t lba);

// Decimal megabytes (10^6 bytes) read per second; 0 before any time has passed.
double MegabytesPerSecond(uint64_t bytes, double seconds);

// Time until the position reaches the total at the pace so far; nullopt before a pace is known.
std::optional<double> SecondsLeft(const ScanProgress& progress);

// "h:mm:ss" of whole seconds.
std::string ClockText(double seconds);

// One terminal line: "[#####-----]  37 %  740157 / 2000000  512.3 MB/s  0:01:02 left".
std::string ProgressLine(const ScanProgress& progress, int barWidth);

}  // namespace vellumin::scan
