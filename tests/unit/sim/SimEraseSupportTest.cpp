#include <gtest/gtest.h>

#include "tests/unit/sim/SimTestUtil.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::platform::sim::test {
namespace {

const std::string kLab = R"({
  "machine": {"restartSucceeds": false, "restartRequested": false},
  "volumes": [{"name": "C", "disk": 0, "diskAfterReplug": 1}, {"name": "E", "disk": 1}],
  "drives": [
    {"model": "VQ A", "sectors": 1000, "security": {"startFrozen": true, "staysFrozen": true}},
    {"model": "VQ B", "sectors": 1000, "security": {"startFrozen": true},
     "transport": {"openFailsAfter": "2", "undeliveredSmart": ["0xE3"]}}
  ]
})";

TEST(SimEraseSupport, ReplugOpensAndRestartFollowTheLabFile) {
    SimPlatform lab(ParseLab(kLab, "lab.json"));
    DriveSystem& drives = lab.Drives();
    EXPECT_EQ(drives.SystemDiskNumbers(), (std::vector<int>{0, 0}));

    drives.UserPowerCycled(0);
    drives.UserPowerCycled(1);
    EXPECT_TRUE(lab.Device(0)->Security().frozen) << "staysFrozen";
    EXPECT_FALSE(lab.Device(1)->Security().frozen) << "a re-plug thaws";
    EXPECT_EQ(drives.VolumeDiskNumber("C"), 1) << "the re-plug moved C:";
    EXPECT_EQ(drives.SystemDiskNumbers(), (std::vector<int>{1, 1}));

    EXPECT_TRUE(drives.OpenPhysicalDrive(1));
    EXPECT_TRUE(drives.OpenPhysicalDrive(1));
    EXPECT_FALSE(drives.OpenPhysicalDrive(1)) << "only two opens succeed";

    Command smart = SmartRead();
    Command vendor = VendorErase(ata::cmd::kVendorEraseFull);
    EXPECT_TRUE(lab.Device(1)->Execute(smart.request));
    EXPECT_FALSE(lab.Device(1)->Execute(vendor.request)) << "this SMART sub-command never arrives";

    EXPECT_FALSE(lab.Sys().RestartComputer());
    EXPECT_TRUE(lab.Machine().restartRequested) << "asked, though refused";
}

// A re-plug that renumbers the disks: the drive comes back at its slotAfterReplug and the drive
// there takes its old number, once; a saved lab keeps each drive's state under its own entry.
TEST(SimEraseSupport, ReplugSwapsTheDrivesOnceAndSavesEachAsItStood) {
    SimPlatform lab(ParseLab(R"({"drives": [
        {"model": "VQ A", "sectors": 1000, "slotAfterReplug": 2, "security": {"startFrozen": true}},
        {"slot": 2, "model": "VQ B", "sectors": 1000, "security": {"userPassword": "b"}}]})",
                             "lab.json"));
    lab.Drives().UserPowerCycled(0);
    ASSERT_EQ(lab.Device(0)->Description().model, "VQ B");
    ASSERT_EQ(lab.Device(2)->Description().model, "VQ A");
    EXPECT_FALSE(lab.Device(2)->Security().frozen) << "the re-plugged drive thawed";
    lab.Drives().UserPowerCycled(2);
    EXPECT_EQ(lab.Device(2)->Description().model, "VQ A") << "only the first re-plug moves it";

    EXPECT_EQ(lab.CloneAsItStands()->Device(2)->Description().model, "VQ A");
    const LabDescription saved = ParseLab(lab.SaveLab(), "saved.json");
    EXPECT_FALSE(saved.drives[0]->security.startFrozen);
    EXPECT_TRUE(saved.drives[2]->security.userPassword.has_value());
}

TEST(SimEraseSupport, SavedLabReadsBackAsItStood) {
    SimPlatform lab(DefaultLab());
    // Slot 3 gets a password and keeps it unlocked, slot 1 is erased, slot 6 thaws.
    Command set = Security(ata::cmd::kSecuritySetPassword, "pw");
    ASSERT_TRUE(lab.Device(3)->Execute(set.request));
    Command erase = VendorErase(ata::cmd::kVendorEraseFull);
    ASSERT_TRUE(lab.Device(1)->Execute(erase.request));
    lab.Drives().UserPowerCycled(6);

    SimPlatform saved(ParseLab(lab.SaveLab(), "saved.json"));
    for (int slot = 0; slot < kSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        ASSERT_EQ(saved.Device(slot) != nullptr, lab.Device(slot) != nullptr);
        if (!lab.Device(slot)) {
            continue;
        }
        const SecurityState a = lab.Device(slot)->Security();
        const SecurityState b = saved.Device(slot)->Security();
        EXPECT_EQ(std::tie(a.supported, a.enabled, a.locked, a.frozen, a.expired, a.userPassword),
                  std::tie(b.supported, b.enabled, b.locked, b.frozen, b.expired, b.userPassword));
        EXPECT_EQ(lab.Device(slot)->MediaBlank(), saved.Device(slot)->MediaBlank());
        EXPECT_EQ(lab.Device(slot)->IdentifyData(), saved.Device(slot)->IdentifyData());
    }
    EXPECT_FALSE(saved.Machine().restartRequested);

    lab.Sys().RestartComputer();
    SimPlatform restarted(ParseLab(lab.SaveLab(), "saved.json"));
    EXPECT_TRUE(restarted.Machine().restartRequested);
    EXPECT_TRUE(restarted.Device(3)->Security().locked) << "the restart locked the new password";

    EXPECT_THROW(SimPlatform(LabDescription{}).SaveLab(), LabError);
}

}  // namespace
}  // namespace vellumin::platform::sim::test
