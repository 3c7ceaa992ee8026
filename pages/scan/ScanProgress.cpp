#include "pages/scan/ScanProgress.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanTexts.h"

namespace vellumin::scan {

void CountChunk(ScanProgress& progress, uint64_t lba) {
    progress.lba = lba;
    // The same span the engine read: the last chunk stops at the end of the medium.
    progress.bytesRead += uint64_t{ChunkAt(lba, progress.total).sectors} * kSectorBytes;
}

double MegabytesPerSecond(uint64_t bytes, double seconds) {
    return seconds > 0 ? static_cast<double>(bytes) / 1e6 / seconds : 0.0;
}

std::optional<double> SecondsLeft(const ScanProgress& progress) {
    if (progress.lba == 0 || progress.seconds <= 0 || progress.lba > progress.total) {
        return std::nullopt;
    }
    return progress.seconds * static_cast<double>(progress.total - progress.lba) / static_cast<double>(progress.lba);
}

std::string ClockText(double seconds) {
    const auto whole = static_cast<uint64_t>(std::max(0.0, std::round(seconds)));
    char text[32];
    std::snprintf(text, sizeof text, "%" PRIu64 ":%02u:%02u", whole / 3600, static_cast<unsigned>(whole % 3600 / 60),
                  static_cast<unsigned>(whole % 60));
    return text;
}

std::string ProgressLine(const ScanProgress& progress, int barWidth) {
    const double fraction =
        progress.total ? std::clamp(static_cast<double>(progress.lba) / static_cast<double>(progress.total), 0.0, 1.0)
                       : 0.0;
    const int filled = static_cast<int>(fraction * barWidth);
    std::string line = "[" + std::string(filled, '#') + std::string(barWidth - filled, '-') + "] ";
    char numbers[160];
    std::snprintf(numbers, sizeof numbers, "%5s  %" PRIu64 " / %" PRIu64 "  %.1f MB/s  ",
                  PercentText(ScanPercent(progress.lba, progress.total)).c_str(), progress.lba, progress.total,
                  MegabytesPerSecond(progress.bytesRead, progress.seconds));
    line += numbers;
    const auto left = SecondsLeft(progress);
    line += left ? ClockText(*left) + " left" : std::string("--:--:-- left");
    return line;
}

}  // namespace vellumin::scan
