// The shell's pure rules: the operating-system gate, the hover ranges, the clone tool's place.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "app/Shell.h"
#include "ata/IdentifyBlock.h"

namespace vellumin::app {

namespace {

using namespace vellumin::app;
using vellumin::platform::OsVersionRecord;

OsVersionRecord Windows(uint32_t platformId, uint32_t major, uint32_t minor = 0) {
    return OsVersionRecord{true, platformId, major, minor, 0, "", 1, ""};
}

TEST(OsGate, PassesNtAboveVersionFourOnly) {
    EXPECT_TRUE(PassesOsGate(Windows(2, 5, 0)));   // 2000
    EXPECT_TRUE(PassesOsGate(Windows(2, 6, 1)));   // 7
    EXPECT_TRUE(PassesOsGate(Windows(2, 10, 0)));
    EXPECT_FALSE(PassesOsGate(Windows(2, 4, 0)));  // NT 4
    EXPECT_FALSE(PassesOsGate(Windows(2, 0, 0)));  // an all-zero record after a failed call
    EXPECT_FALSE(PassesOsGate(Windows(1, 5, 0)));  // the old non-NT family
    EXPECT_FALSE(PassesOsGate(Windows(0, 6, 1)));
    EXPECT_FALSE(PassesOsGate(std::nullopt));      // the request failed
    OsVersionRecord linux;
    linux.windows = false;
    linux.major = 6;
    linux.name = "Debian GNU/Linux 12 (bookworm)";
    EXPECT_TRUE(PassesOsGate(linux));
}

TEST(HoverRanges, EachBarHasItsRowsAndTheGapsChangeNothing) {
    struct Case {
        int x, y;
        std::optional<int> shown;
    };
    const Case cases[] = {
        {543, 107, 1044}, {789, 138, 1044}, {600, 139, std::nullopt}, {600, 144, std::nullopt},
        {600, 145, 1045}, {600, 175, 1045}, {600, 176, std::nullopt}, {600, 184, 1046},
        {600, 217, 1046}, {600, 225, 1043}, {600, 256, 1043}, {600, 265, 1047},
        {600, 296, 1047}, {600, 305, 1048}, {600, 333, 1048}, {600, 342, 1049},
        {600, 370, 1049}, {600, 371, std::nullopt}, {542, 120, std::nullopt},
        {790, 120, std::nullopt}, {600, 106, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HoverDescriptionAt(c.x, c.y), c.shown) << c.x << "," << c.y;
    }
}

TEST(CloneTool, LooksInTheProgramsFolderForTheToolOfItsWidth) {
    const CloneTool tool64 = CloneToolFor("/opt/vellumin", true);
    EXPECT_EQ(tool64.file, "/opt/vellumin/Twinara/Twinara64.exe");
    EXPECT_EQ(tool64.folder, "/opt/vellumin/Twinara/");
    EXPECT_EQ(tool64.missingMessage, "Twinara64.exe does not exist.");
    const CloneTool tool32 = CloneToolFor("/opt/vellumin/", false);
    EXPECT_EQ(tool32.file, "/opt/vellumin/Twinara/Twinara32.exe");
    EXPECT_EQ(tool32.missingMessage, "Twinara32.exe does not exist.");
    if (sizeof(void*) == 8) {
        EXPECT_TRUE(Is64BitSystem());
    }
}

TEST(RestrictedModels, AnyOfTheThreeSeriesAnywhereInTheModel) {
    EXPECT_TRUE(vellumin::ata::IsModelSeries("VQ KD5508 128GB"));
    EXPECT_TRUE(vellumin::ata::IsModelSeries("VQKM5508"));
    EXPECT_TRUE(vellumin::ata::IsModelSeries("KD3308"));
    EXPECT_FALSE(vellumin::ata::IsModelSeries("VQ kd5508"));
    EXPECT_FALSE(vellumin::ata::IsModelSeries("VQ KD550"));
}

}  // namespace

namespace {

// The host defaults of System, as a backend that overrides neither gets them.
class HostSystem : public vellumin::platform::System {
public:
    bool IsAdministrator() override { return false; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
};

TEST(HostSystem, ReportsItselfAsNotWindowsAndStartsAnExecutableInItsFolder) {
    HostSystem host;
    const auto version = host.OsVersion();
    ASSERT_TRUE(version.has_value());
    EXPECT_FALSE(version->windows);
    EXPECT_FALSE(version->name.empty());
    EXPECT_TRUE(vellumin::app::PassesOsGate(version));

    const auto folder = std::filesystem::temp_directory_path() / "vellumin-opener-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    const auto tool = folder / "tool.exe";
    std::ofstream(tool) << "#!/bin/sh\necho started > marker\n";
    std::filesystem::permissions(tool, std::filesystem::perms::owner_all);
    EXPECT_TRUE(host.OpenWithShell(tool.string(), folder.string()));
    for (int i = 0; i < 500 && !std::filesystem::exists(folder / "marker"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(std::filesystem::exists(folder / "marker"));  // written in the working folder
    EXPECT_FALSE(host.OpenWithShell(tool.string(), (folder / "missing").string()));
    std::filesystem::remove_all(folder);
}

}  // namespace

}  // namespace vellumin::app
