#include "pages/driveinfo/DriveFacts.h"

namespace vellumin::pages {

using ata::Word;

SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify) {
    const uint16_t status = Word(identify, 128);
    return {.supported = (status & 0x01) != 0,
            .enabled = (status & 0x02) != 0,
            .locked = (status & 0x04) != 0,
            .frozen = (status & 0x08) != 0};
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
