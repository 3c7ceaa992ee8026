#include "pages/driveinfo/DriveFacts.h"

#include "ata/Registers.h"

namespace vellumin::pages {

using ata::Word;

SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify) {
    const uint8_t status = identify[256];
    return {.supported = (status & ata::sec::kSupported) != 0,
            .enabled = (status & ata::sec::kEnabled) != 0,
            .locked = (status & ata::sec::kLocked) != 0,
            .frozen = (status & ata::sec::kFrozen) != 0};
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
