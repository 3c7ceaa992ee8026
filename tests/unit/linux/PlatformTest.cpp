#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/Privileges.h"

namespace vellumin::platform::linux_backend {
namespace {

namespace fs = std::filesystem;

TEST(Capabilities, NeedsRawIoAndSysAdminInTheEffectiveSet) {
    EXPECT_TRUE(HasRawDiskCapabilities("Name:\tx\nCapPrm:\t0\nCapEff:\t000001fffeffffff\n"));
    EXPECT_TRUE(HasRawDiskCapabilities("CapEff:\t0000000000220000"));     // exactly bits 17, 21
    EXPECT_FALSE(HasRawDiskCapabilities("CapEff:\t0000000000200000\n"));  // admin only
    EXPECT_FALSE(HasRawDiskCapabilities("CapEff:\t0000000000020000\n"));  // raw I/O only
    EXPECT_FALSE(HasRawDiskCapabilities("CapPrm:\t000001ffffffffff\nCapEff:\t0000000000000000\n"));
    EXPECT_FALSE(HasRawDiskCapabilities("XCapEff:\t000001ffffffffff\n"));
    EXPECT_FALSE(HasRawDiskCapabilities("CapEff:\tzz\n"));
    EXPECT_FALSE(HasRawDiskCapabilities(""));
}

TEST(Relaunch, PassesOnlyTheSetDisplayVariables) {
    auto lookup = [](const char* name) -> const char* {
        std::string n = name;
        return n == "DISPLAY" ? ":0" : n == "XDG_RUNTIME_DIR" ? "/run/user/1000" : nullptr;
    };
    std::vector<std::string> expected{"pkexec",          "/usr/bin/env",
                                      "DISPLAY=:0",      "XDG_RUNTIME_DIR=/run/user/1000",
                                      "/opt/v/vellumin", "runas"};
    EXPECT_EQ(BuildRelaunchCommand("/opt/v/vellumin", {"runas"}, lookup), expected);
}

TEST(Relaunch, TheInstalledProgramLeavesTheDisplayToItsPolicy) {
    auto lookup = [](const char*) -> const char* { return ":0"; };
    std::vector<std::string> expected{"pkexec", "/usr/bin/vellumin", "runas"};
    EXPECT_EQ(BuildRelaunchCommand("/usr/bin/vellumin", {"runas"}, lookup, PolkitAction::Installed),
              expected);

    const auto policy =
        fs::temp_directory_path() / ("vellumin-policy-" + std::to_string(::getpid()));
    std::ofstream(policy) << "<policyconfig/>";
    const std::string installed = "/usr/bin/vellumin";
    EXPECT_EQ(FindPolkitAction(installed, installed, policy.string()), PolkitAction::Installed);
    // A build tree, or an installed program whose policy is gone, keeps passing the display.
    EXPECT_EQ(FindPolkitAction("/home/u/vellumin/build/vellumin", installed, policy.string()),
              PolkitAction::Generic);
    EXPECT_EQ(FindPolkitAction(installed, installed, policy.string() + ".missing"),
              PolkitAction::Generic);
    EXPECT_EQ(FindPolkitAction(installed, "", policy.string()), PolkitAction::Generic);
    fs::remove(policy);
}

class FakeDevRoot : public ::testing::Test {
protected:
    void SetUp() override {
        m_root = fs::temp_directory_path() / ("vellumin-dev-" + std::to_string(::getpid()));
        fs::create_directories(m_root);
    }
    void TearDown() override { fs::remove_all(m_root); }
    std::unique_ptr<Platform> Make() {
        return CreateLinuxPlatform({m_root.string(), "/proc", "/sys"});
    }
    fs::path m_root;
};

TEST_F(FakeDevRoot, OpensOnlyExistingBlockDevicesInRange) {
    std::ofstream(m_root / "sda") << "not a disk";
    auto platform = Make();
    EXPECT_EQ(platform->Drives().OpenPhysicalDrive(0), nullptr);  // a regular file
    EXPECT_EQ(platform->Drives().OpenPhysicalDrive(1), nullptr);  // missing
    EXPECT_EQ(platform->Drives().OpenPhysicalDrive(-1), nullptr);
    EXPECT_EQ(platform->Drives().OpenPhysicalDrive(16), nullptr);
}

TEST_F(FakeDevRoot, BlockDeviceWithoutScsiLayerDeliversNothing) {
    // A loop device is a block device that does not speak SG_IO.
    if (!fs::exists("/dev/loop0") || ::access("/dev/loop0", R_OK | W_OK) != 0) {
        GTEST_SKIP() << "no usable /dev/loop0";
    }
    fs::create_symlink("/dev/loop0", m_root / "sdc");
    auto drive = Make()->Drives().OpenPhysicalDrive(2);
    ASSERT_NE(drive, nullptr);
    ata::AtaPassThroughRequest identify;
    identify.currentTaskFile.command = 0xEC;
    identify.currentTaskFile.features = 0x77;
    identify.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    EXPECT_FALSE(drive->PassThrough(identify));
    EXPECT_EQ(identify.currentTaskFile.features, 0x77);  // nothing came back, nothing written
    EXPECT_TRUE(drive->SectorCount().has_value());
}

}  // namespace
}  // namespace vellumin::platform::linux_backend
