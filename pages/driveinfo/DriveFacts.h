#pragma once

// Identify facts that are numbers or flags rather than report texts, for consumers that
// publish them as figures.

#include <cstdint>
#include <optional>
#include <string>

#include "ata/IdentifyBlock.h"

namespace vellumin::pages {

// The security status (identify word 128) and the security words around it.
struct SecurityStatus {
    bool supported = false;
    bool enabled = false;
    bool locked = false;
    bool frozen = false;
    bool expired = false;  // the password attempt counter is spent
    bool enhancedEraseSupported = false;
    bool levelMaximum = false;
    uint16_t eraseTime = 0;          // word 89 as reported
    uint16_t enhancedEraseTime = 0;  // word 90
    uint16_t masterRevision = 0;     // word 92; 0x0000 and 0xFFFF: not reported
};
SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify);

// Word 89 or 90 in minutes; nullopt when not reported; beyond the range, the bound it exceeds.
std::optional<uint32_t> EraseTimeMinutes(uint16_t word);
// "not reported", "12 minutes", "more than 508 minutes".
std::string EraseTimeText(uint16_t word);

// User-addressable sectors: words 100-103 when the drive supports 48-bit addressing (word 83
// valid with bit 10 set), else words 60-61.
uint64_t CapacitySectors(const ata::IdentifyBlock& identify);

}  // namespace vellumin::pages
