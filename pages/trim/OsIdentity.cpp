#include "pages/trim/OsIdentity.h"

#include <string_view>

namespace vellumin::trim {
namespace {

constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kWorkstation = 1;
constexpr uint16_t kAmd64 = 9;

enum class Edition : uint8_t { Any, Workstation };

// One row of the decision table; the first row that matches names the system. A name without
// service-pack text is "Unknown OS".
struct OsRow {
    uint32_t major;
    uint32_t minor;
    Edition edition;
    bool needsAmd64;             // 5.2 only
    bool needsServerR2Zero;      // 5.2 only
    std::string_view wmiPrefix;  // 6.2 only: the WMI text's first three characters; "" any
    std::string_view name;
    bool trim;
};

// The names are the ones the system has always shown, spelling included.
constexpr OsRow kOsTable[] = {
    {5, 0, Edition::Any, false, false, "", "Windows 2000 ", false},
    {5, 1, Edition::Any, false, false, "", "Windows XP ", false},
    {5, 2, Edition::Workstation, true, false, "", "Windows XP Profession X64 Edition ", false},
    {5, 2, Edition::Any, false, true, "", "Windows Server 2003 ", false},
    {5, 2, Edition::Any, false, false, "", "Windows Server 2003 R2 ", false},
    {6, 0, Edition::Workstation, false, false, "", "Windows Vista ", false},
    {6, 0, Edition::Any, false, false, "", "Windows Serser 2008 ", false},
    {6, 1, Edition::Workstation, false, false, "", "Windows 7 ", true},
    {6, 1, Edition::Any, false, false, "", "Windows Serser 2008 R2 ", false},
    // The version call says 6.2 on every later system too; WMI tells the truth.
    {6, 2, Edition::Workstation, false, false, "6.3", "Windows 8.1 ", true},
    {6, 2, Edition::Any, false, false, "6.3", "Windows Serser 2012 R2 ", false},
    {6, 2, Edition::Workstation, false, false, "6.2", "Windows 8 ", true},
    {6, 2, Edition::Any, false, false, "6.2", "Windows Serser 2012 ", false},
    {6, 3, Edition::Workstation, false, false, "", "Windows 8.1 ", true},
    {6, 3, Edition::Any, false, false, "", "Windows Serser 2012 R2 ", false},
};

bool Matches(const OsRow& row, const platform::OsVersionRecord& v, const OsFacts& facts) {
    if (row.major != v.major || row.minor != v.minor) {
        return false;
    }
    const bool workstation = v.productType == kWorkstation;
    if (row.edition == Edition::Workstation && !workstation) {
        return false;
    }
    if (row.needsAmd64 && facts.processorArchitecture != kAmd64) {
        return false;
    }
    if (row.needsServerR2Zero && facts.serverR2 != 0) {
        return false;
    }
    return row.wmiPrefix.empty() ||
           std::string_view(facts.wmiVersion).substr(0, 3) == row.wmiPrefix;
}

bool IsVersion(const platform::OsVersionRecord& v, uint32_t major, uint32_t minor) {
    return v.windows && v.platformId == kPlatformNt && v.major == major && v.minor == minor;
}

}  // namespace

OsIdentity IdentifyOperatingSystem(const OsFacts& facts) {
    OsIdentity identity{kOsLinePrefix, false};
    // A failed version call reads as an all-zero record.
    const platform::OsVersionRecord v =
        facts.version.value_or(platform::OsVersionRecord{true, 0, 0, 0, 0, {}, 0, {}});
    if (!v.windows) {
        identity.displayLine += v.name.empty() ? kUnknownOs : v.name;
        identity.trimOffered = facts.trimService;
        return identity;
    }
    if (v.platformId == kPlatformNt && v.major > 4) {
        for (const OsRow& row : kOsTable) {
            if (Matches(row, v, facts)) {
                identity.displayLine.append(row.name).append(v.servicePack);
                identity.trimOffered = row.trim;
                return identity;
            }
        }
    }
    identity.displayLine += kUnknownOs;
    return identity;
}

OsIdentity IdentifyOperatingSystem(platform::System& system) {
    OsFacts facts;
    facts.version = system.OsVersion();
    if (facts.version) {
        const platform::OsVersionRecord& v = *facts.version;
        if (!v.windows) {
            facts.trimService = system.HasTrimService();
        } else if (IsVersion(v, 5, 2)) {
            facts.processorArchitecture = system.ProcessorArchitecture();
            facts.serverR2 = system.ServerR2Metric();
        } else if (IsVersion(v, 6, 2)) {
            facts.wmiVersion = system.WmiOsVersion();
        }
    }
    return IdentifyOperatingSystem(facts);
}

}  // namespace vellumin::trim
