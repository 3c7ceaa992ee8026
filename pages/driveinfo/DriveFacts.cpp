#include "pages/driveinfo/DriveFacts.h"

#include "pages/erase/SecurityCommands.h"

namespace vellumin::pages {

using ata::Word;

SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify) {
    // The low byte of word 128, as the erase page reads it.
    const uint8_t status = identify[256];
    return {.supported = (status & erase::kSecSupported) != 0,
            .enabled = (status & erase::kSecEnabled) != 0,
            .locked = (status & erase::kSecLocked) != 0,
            .frozen = (status & erase::kSecFrozen) != 0};
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
