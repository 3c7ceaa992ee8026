#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace vellumin::trim {

inline constexpr const char* kOsLinePrefix = "Operating System: ";
inline constexpr const char* kUnknownOs = "Unknown OS";

// Everything the identification decides from, as the platform reported it.
struct OsFacts {
    std::optional<platform::OsVersionRecord> version;  // nullopt: the version call failed
    uint16_t processorArchitecture = 0;                // 9: AMD64 (version 5.2 only)
    int serverR2 = 0;                                  // SM_SERVERR2 (version 5.2 only)
    std::string wmiVersion = "-1";                     // WMI Version (version 6.2 only)
    bool trimService = false;                          // a system other than Windows only
};

struct OsIdentity {
    std::string displayLine;  // "Operating System: " and the name
    bool trimOffered = false;
};

// The display line and whether the TRIM switch is offered. Windows records go through the
// decision table; any other system is named by its own name and offers TRIM when it has a
// TRIM setting this program can switch.
OsIdentity IdentifyOperatingSystem(const OsFacts& facts);

// Gathers the facts from the platform, each metric only for the version that reads it, and
// identifies the system.
OsIdentity IdentifyOperatingSystem(platform::System& system);

}  // namespace vellumin::trim
