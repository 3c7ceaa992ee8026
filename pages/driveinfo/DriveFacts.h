#pragma once

// Identify facts that are numbers or flags rather than report texts, for consumers that
// publish them as figures.

#include <cstdint>

#include "ata/IdentifyBlock.h"

namespace vellumin::pages {

// The security status (identify word 128).
struct SecurityStatus {
    bool supported = false;
    bool enabled = false;
    bool locked = false;
    bool frozen = false;
};
SecurityStatus ReadSecurityStatus(const ata::IdentifyBlock& identify);

// User-addressable sectors: words 100-103 when the drive supports 48-bit addressing (word 83
// valid with bit 10 set), else words 60-61.
uint64_t CapacitySectors(const ata::IdentifyBlock& identify);

}  // namespace vellumin::pages
