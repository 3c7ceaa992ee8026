#include "pages/driveinfo/DriveFacts.h"

#include "ata/Registers.h"

namespace vellumin::pages {

using ata::Word;

SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify) {
    const uint16_t w128 = Word(identify, 128);
    return {.supported = (w128 & ata::sec::kSupported) != 0,
            .enabled = (w128 & ata::sec::kEnabled) != 0,
            .locked = (w128 & ata::sec::kLocked) != 0,
            .frozen = (w128 & ata::sec::kFrozen) != 0,
            .expired = (w128 & ata::sec::kExpired) != 0,
            .enhancedEraseSupported = (w128 & 0x0020) != 0,
            .levelMaximum = (w128 & 0x0100) != 0,
            .eraseTime = Word(identify, 89),
            .enhancedEraseTime = Word(identify, 90),
            .masterRevision = Word(identify, 92)};
}

// Bit 15 chooses the format: 15 bits of 2-minute units, or 8 bits; all ones in either means
// more than the largest value before it (508 or 65532 minutes).
namespace {
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

uint64_t CapacitySectors(const ata::IdentifyBlock& identify) {
    const uint16_t w83 = Word(identify, 83);
    if ((w83 & 0xC000) == 0x4000 && (w83 & 0x0400) != 0) {
        uint64_t sectors = 0;
        for (int k = 3; k >= 0; --k) {
            sectors = (sectors << 16) | Word(identify, 100 + k);
        }
        return sectors;
    }
    return Word(identify, 60) | (uint64_t{Word(identify, 61)} << 16);
}

}  // namespace vellumin::pages
