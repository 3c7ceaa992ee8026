#include <gtest/gtest.h>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/Volumes.h"

namespace vellumin::platform::linux_backend {
namespace {

const std::string kFixtures = std::string(VELLUMIN_FIXTURES) + "/linux";

TEST(SystemDrives, SystemVolumesAndSwapMapToDrives) {
    struct Case {
        const char* proc;
        std::vector<int> disks;
    } cases[] = {
        {"machine/proc", {0}},              // / on sda1, no /usr or /boot of its own, no swap file
        {"boot/split/proc", {0, 1, 4, 5}},  // / sda, /usr dm over sdb, /boot sde, swap on sdf and /
        {"boot/md/proc", {-1}},             // / on md over two disks: every drive counts
        {"boot/ram/proc", {}},              // running from memory: no drive holds the system
        {"boot/none/proc", {-1}},           // no mountinfo at all: nothing can be ruled out
    };
    for (const auto& c : cases) {
        VolumeTable table(kFixtures + "/" + c.proc, kFixtures + "/machine/sys");
        EXPECT_EQ(table.SystemDiskNumbers(), c.disks) << c.proc;
    }
}

TEST(SystemDrives, RestartRunsSystemctlRebootThroughTheSeam) {
    std::vector<std::vector<std::string>> ran;
    bool answer = false;
    LinuxRoots roots{"/nonexistent", kFixtures + "/machine/proc", kFixtures + "/machine/sys"};
    auto platform = CreateLinuxPlatform(roots, [&](const std::vector<std::string>& command) {
        ran.push_back(command);
        return answer;
    });
    EXPECT_FALSE(platform->Sys().RestartComputer()) << "a failed reboot leaves the program open";
    answer = true;
    EXPECT_TRUE(platform->Sys().RestartComputer());
    const std::vector<std::string> reboot{"systemctl", "reboot"};
    EXPECT_EQ(ran, (std::vector<std::vector<std::string>>{reboot, reboot}));
    EXPECT_EQ(platform->Drives().SystemDiskNumbers(), std::vector<int>{0});
}

// Never the machine's own suspend: the recorder stands in for rtcwake.
TEST(SystemDrives, SuspendRunsRtcwakeThroughTheSeamWhereTheKernelOffersMem) {
    std::vector<std::vector<std::string>> ran;
    bool answer = false;
    auto recorder = [&](const std::vector<std::string>& command) {
        ran.push_back(command);
        return answer;
    };
    auto platform = CreateLinuxPlatform(
        {"/nonexistent", kFixtures + "/machine/proc", kFixtures + "/machine/sys"}, recorder);
    EXPECT_TRUE(platform->Sys().CanSuspend());
    EXPECT_FALSE(platform->Sys().SuspendAndResume(10)) << "rtcwake failed: no suspend happened";
    answer = true;
    EXPECT_TRUE(platform->Sys().SuspendAndResume(7));
    EXPECT_EQ(ran, (std::vector<std::vector<std::string>>{{"rtcwake", "-m", "mem", "-s", "10"},
                                                          {"rtcwake", "-m", "mem", "-s", "7"}}));
    auto noSys = CreateLinuxPlatform({"/nonexistent", kFixtures + "/machine/proc", "/nonexistent"},
                                     recorder);
    EXPECT_FALSE(noSys->Sys().CanSuspend());
}

TEST(SystemDrives, RunCheckedReportsTheExitStatus) {
    EXPECT_TRUE(RunChecked({"true"}));
    EXPECT_FALSE(RunChecked({"false"}));
    EXPECT_FALSE(RunChecked({"/nonexistent/program"}));
    EXPECT_FALSE(RunChecked({}));
}

}  // namespace
}  // namespace vellumin::platform::linux_backend
