#include <gtest/gtest.h>

#include "pages/trim/OsIdentity.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::trim {
namespace {

using platform::OsVersionRecord;

OsVersionRecord Windows(uint32_t major, uint32_t minor, uint8_t productType,
                        std::string servicePack = {}, uint32_t platformId = 2) {
    return {true, platformId, major, minor, 0, std::move(servicePack), productType, {}};
}

struct OsCase {
    std::optional<OsVersionRecord> version;
    uint16_t architecture;
    int serverR2;
    std::string wmi;
    std::string name;  // after "Operating System: "
    bool trim;
};

TEST(IdentifyOperatingSystem, DecisionTable) {
    constexpr uint8_t ws = 1, server = 3;
    const OsCase cases[] = {
        {Windows(6, 1, ws, "Service Pack 1", 1), 9, 0, "-1", "Unknown OS", false},  // old family
        {Windows(4, 0, ws, "Service Pack 6"), 9, 0, "-1", "Unknown OS", false},
        {std::nullopt, 9, 0, "-1", "Unknown OS", false},  // the version call failed
        {Windows(5, 0, ws, "Service Pack 4"), 0, 0, "-1", "Windows 2000 Service Pack 4", false},
        {Windows(5, 1, ws, "Service Pack 3"), 0, 0, "-1", "Windows XP Service Pack 3", false},
        {Windows(5, 2, ws, "Service Pack 2"), 9, 0, "-1",
         "Windows XP Profession X64 Edition Service Pack 2", false},
        {Windows(5, 2, ws), 0, 0, "-1", "Windows Server 2003 ", false},  // a 32-bit workstation
        {Windows(5, 2, server), 9, 0, "-1", "Windows Server 2003 ", false},
        {Windows(5, 2, server, "Service Pack 1"), 9, 1, "-1",
         "Windows Server 2003 R2 Service Pack 1", false},
        {Windows(6, 0, ws), 9, 0, "-1", "Windows Vista ", false},
        {Windows(6, 0, server), 9, 0, "-1", "Windows Serser 2008 ", false},
        {Windows(6, 1, ws, "Service Pack 1"), 9, 0, "-1", "Windows 7 Service Pack 1", true},
        {Windows(6, 1, server, "Service Pack 1"), 9, 0, "-1",
         "Windows Serser 2008 R2 Service Pack 1", false},
        {Windows(6, 2, ws), 9, 0, "6.3.9600", "Windows 8.1 ", true},
        {Windows(6, 2, server), 9, 0, "6.3.9600", "Windows Serser 2012 R2 ", false},
        {Windows(6, 2, ws), 9, 0, "6.2.9200", "Windows 8 ", true},
        {Windows(6, 2, server), 9, 0, "6.2.9200", "Windows Serser 2012 ", false},
        {Windows(6, 2, ws), 9, 0, "10.0.19045", "Unknown OS", false},
        {Windows(6, 2, ws, "Service Pack 1"), 9, 0, "-1", "Unknown OS", false},
        {Windows(6, 2, ws), 9, 0, "6.", "Unknown OS", false},
        {Windows(6, 3, ws), 9, 0, "-1", "Windows 8.1 ", true},
        {Windows(6, 3, server), 9, 0, "-1", "Windows Serser 2012 R2 ", false},
        {Windows(10, 0, ws), 9, 0, "10.0", "Unknown OS", false},
        {OsVersionRecord{false, 0, 6, 1, 0, {}, 0, "Debian GNU/Linux 12 (bookworm)"}, 9, 0, "-1",
         "Debian GNU/Linux 12 (bookworm)", false},
    };
    for (const OsCase& c : cases) {
        const OsIdentity identity =
            IdentifyOperatingSystem(OsFacts{c.version, c.architecture, c.serverR2, c.wmi, false});
        EXPECT_EQ(identity.displayLine, "Operating System: " + c.name) << c.name;
        EXPECT_EQ(identity.trimOffered, c.trim) << c.name;
    }
}

// The lab file reaches every input the platform gathers.
TEST(IdentifyOperatingSystem, GathersTheLabsFacts) {
    struct LabCase {
        const char* os;
        const char* line;
        bool trim;
    };
    const LabCase cases[] = {
        {R"({"major": 6, "minor": 2, "productType": 3, "servicePack": "", "wmiVersion": "6.3.9600"})",
         "Operating System: Windows Serser 2012 R2 ", false},
        {R"({"major": 5, "minor": 2, "productType": 1, "servicePack": "", "is64Bit": false, "serverR2": 1})",
         "Operating System: Windows Server 2003 R2 ", false},
        {R"({"versionCallFails": true})", "Operating System: Unknown OS", false},
        {R"({"windows": false, "name": "Lab Linux 1", "trimService": true})",
         "Operating System: Lab Linux 1", true},
    };
    for (const LabCase& c : cases) {
        platform::sim::SimPlatform lab(platform::sim::ParseLab(
            std::string(R"({"machine": {"os": )") + c.os + "}}", "lab.json"));
        const OsIdentity identity = IdentifyOperatingSystem(lab.Sys());
        EXPECT_EQ(identity.displayLine, c.line);
        EXPECT_EQ(identity.trimOffered, c.trim) << c.line;
    }
}

}  // namespace
}  // namespace vellumin::trim
