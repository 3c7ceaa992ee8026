#include "pages/scan/ScanTexts.h"

#include <cinttypes>
#include <cstdio>

#include "transport/Transport.h"

namespace vellumin::scan {

std::string ReadResultText(int readResult) {
    switch (readResult) {
    case ata::kReadOk:
        return {};
    case ata::kReadNotDelivered:
        return "DeviceIO error";
    case ata::kReadDeviceFault:
        return "drive fault";
    default: {
        char text[32];
        std::snprintf(text, sizeof text, "Msg code : %d", readResult);
        return text;
    }
    }
}

std::string ItemsScannedText(uint64_t lba, uint64_t total, const std::string& result) {
    char text[64];
    std::snprintf(text, sizeof text, "Items Scanned : %" PRIu64 " /%" PRIu64 "  ", lba, total);
    return text + result;
}

std::string ItemsScannedFinalText(uint64_t position, uint64_t total) {
    char text[64];
    std::snprintf(text, sizeof text, "Items Scanned : %" PRIu64 " /%" PRIu64 " ", position, total);
    return text;
}

float ScanPercent(uint64_t lba, uint64_t total) {
    if (total == 0) {
        return 0.0f;
    }
    return static_cast<float>(lba) / static_cast<float>(total) * 100.0f;
}

std::string PercentText(float percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f %s", static_cast<double>(percent), "%");
    return text;
}

std::string ElapsedTimeText(uint32_t seconds) {
    char text[64];
    std::snprintf(text, sizeof text, "Elapsed Time : %u hr  %u min  %u sec", seconds / 3600,
                  seconds % 3600 / 60, seconds % 60);
    return text;
}

}  // namespace vellumin::scan
