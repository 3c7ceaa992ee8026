#include "ata/IdentifyBlock.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "ata/Registers.h"

namespace vellumin::ata {

std::string WordHex(const IdentifyBlock& block, int k) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X%02X", block[2 * k + 1], block[2 * k]);
    return text;
}

std::string CharPair(uint8_t first, uint8_t second) {
    std::string text;
    if (first != 0) {
        text += static_cast<char>(first);
        if (second != 0) {
            text += static_cast<char>(second);
        }
    }
    return text;
}

std::string AtaString(const IdentifyBlock& block, int first, int words) {
    std::string text;
    text.reserve(2 * words);
    for (int k = first; k < first + words && 2 * k + 1 < static_cast<int>(block.size()); ++k) {
        text += CharPair(block[2 * k + 1], block[2 * k]);
    }
    return text;
}

std::string PairedBytes(const std::array<uint8_t, 512>& block, int offset, int count) {
    const int end = std::min(offset + count, static_cast<int>(block.size()));
    std::string text;
    for (int i = std::max(offset, 0); i < end; i += 2) {
        text += CharPair(block[i], i + 1 < end ? block[i + 1] : 0);
    }
    return text;
}

std::string TrimRight(std::string text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.pop_back();
    }
    return text;
}

std::string SerialNumber(const IdentifyBlock& block) { return AtaString(block, kWordSerial, 10); }
std::string FirmwareRevision(const IdentifyBlock& block) { return AtaString(block, kWordFirmware, 4); }
std::string ModelNumber(const IdentifyBlock& block) { return AtaString(block, kWordModel, 20); }
std::string ModelText(const IdentifyBlock& block) { return TrimRight(ModelNumber(block)); }
std::string PrefixText(const IdentifyBlock& block) { return AtaString(block, kWordModel, 1); }
std::string RotationText(const IdentifyBlock& block) { return WordHex(block, kWordRotationRate); }

SecurityStatus ReadSecurityStatus(const IdentifyBlock& block) {
    const uint16_t w = Word(block, 128);
    return {.supported = (w & sec::kSupported) != 0,
            .enabled = (w & sec::kEnabled) != 0,
            .locked = (w & sec::kLocked) != 0,
            .frozen = (w & sec::kFrozen) != 0,
            .expired = (w & sec::kExpired) != 0,
            .enhancedEraseSupported = (w & sec::kEnhancedEraseSupported) != 0,
            .levelMaximum = (w & sec::kLevelMaximum) != 0,
            .eraseTime = Word(block, 89),
            .enhancedEraseTime = Word(block, 90),
            .masterPasswordRevision = Word(block, 92)};
}

namespace {
// Bit 15 chooses the format: 15 bits of 2-minute units, or 8 bits; all ones in either means
// more than the largest value before it (508 or 65532 minutes).
struct EraseTimeUnits {
    uint32_t units;
    bool beyond;
};
EraseTimeUnits UnitsOf(uint16_t word) {
    const bool extended = word & 0x8000;
    const uint32_t units = extended ? word & 0x7FFF : word & 0x00FF;
    return {units, units == (extended ? 0x7FFFu : 0xFFu)};
}
}  // namespace

std::optional<uint32_t> EraseTimeMinutes(uint16_t word) {
    const auto [units, beyond] = UnitsOf(word);
    if (units == 0) {
        return std::nullopt;
    }
    return (beyond ? units - 1 : units) * 2;
}

std::string EraseTimeText(uint16_t word) {
    const auto minutes = EraseTimeMinutes(word);
    if (!minutes) {
        return "not reported";
    }
    return (UnitsOf(word).beyond ? "more than " : "") + std::to_string(*minutes) + " minutes";
}

uint64_t CapacitySectors(const IdentifyBlock& block) {
    const uint16_t w83 = Word(block, 83);
    if ((w83 & 0xC000) == 0x4000 && (w83 & 0x0400) != 0) {
        uint64_t sectors = 0;
        for (int k = 3; k >= 0; --k) {
            sectors = (sectors << 16) | Word(block, 100 + k);
        }
        return sectors;
    }
    return Word(block, 60) | (uint64_t{Word(block, 61)} << 16);
}

bool IsModelSeries(std::string_view modelNumber) {
    constexpr std::string_view kSeries[] = {"KD5508", "KM5508", "KD3308"};
    return std::any_of(std::begin(kSeries), std::end(kSeries), [&](std::string_view series) {
        return modelNumber.find(series) != std::string_view::npos;
    });
}

}  // namespace vellumin::ata
