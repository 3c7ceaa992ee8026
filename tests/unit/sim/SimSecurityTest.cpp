#include <gtest/gtest.h>

#include "tests/unit/sim/SimTestUtil.h"

namespace vellumin::platform::sim::test {
namespace {

uint16_t Word128(SimDevice& d) { return ata::Word(d.IdentifyData(), 128); }

bool ReadOk(SimDevice& d) {
    Command r = Read(0, 1);
    return Send(d, r) && r.Ok();
}

// Runs PREPARE then UNIT with `password`; true when the unit was accepted.
bool Erase(SimDevice& d, const std::string& password, Who who = Who::User, uint16_t control = 0) {
    Command prepare = ErasePrepare();
    Command unit = Security(ata::cmd::kSecurityEraseUnit, password, who, control);
    return Send(d, prepare) && Send(d, unit) && unit.Ok();
}

TEST(SimSecurity, PasswordLocksAfterPowerCycleAndUnlockOpensMedia) {
    SimDevice d(SmallDrive());
    EXPECT_EQ(Word128(d), 0x0001);

    Command set = Security(ata::cmd::kSecuritySetPassword, "secret");
    ASSERT_TRUE(Send(d, set));
    EXPECT_TRUE(set.Ok());
    EXPECT_EQ(Word128(d), 0x0003);  // enabled, still unlocked until power-off
    EXPECT_TRUE(ata::Word(d.IdentifyData(), 85) & 0x0002);
    EXPECT_TRUE(ReadOk(d));

    d.PowerCycle();
    EXPECT_EQ(Word128(d), 0x0007);
    Command read = Read(0, 1);
    ASSERT_TRUE(Send(d, read));
    EXPECT_TRUE(read.Aborted()) << "a locked drive refuses media access";
    Command freeze(ata::cmd::kSecurityFreezeLock);
    Send(d, freeze);
    EXPECT_TRUE(freeze.Aborted()) << "FREEZE LOCK is refused while locked";

    Command unlock = Security(ata::cmd::kSecurityUnlock, "secret");
    Send(d, unlock);
    EXPECT_TRUE(unlock.Ok());
    EXPECT_EQ(Word128(d), 0x0003);
    EXPECT_TRUE(ReadOk(d));

    Command disable = Security(ata::cmd::kSecurityDisablePassword, "secret");
    Send(d, disable);
    EXPECT_TRUE(disable.Ok());
    EXPECT_EQ(Word128(d), 0x0001);
    d.PowerCycle();
    EXPECT_EQ(Word128(d), 0x0001) << "no password: not locked at power-on";
}

TEST(SimSecurity, FiveFailedAttemptsExpireTheCounterUntilPowerCycle) {
    DriveDescription desc = SmallDrive();
    desc.security.userPassword = PasswordFromText("right");
    SimDevice d(desc);
    ASSERT_EQ(Word128(d), 0x0007);

    for (int attempt = 1; attempt <= 5; ++attempt) {
        Command wrong = Security(ata::cmd::kSecurityUnlock, "wrong");
        ASSERT_TRUE(Send(d, wrong));
        EXPECT_TRUE(wrong.Aborted());
        EXPECT_EQ(d.Security().attemptsLeft, 5 - attempt);
        EXPECT_EQ(d.Security().expired, attempt == 5);
    }
    EXPECT_EQ(Word128(d), 0x0017);
    Command right = Security(ata::cmd::kSecurityUnlock, "right");
    Send(d, right);
    EXPECT_TRUE(right.Aborted()) << "the right password is refused once expired";
    EXPECT_FALSE(Erase(d, "right"));

    d.PowerCycle();
    EXPECT_EQ(Word128(d), 0x0007);
    Command again = Security(ata::cmd::kSecurityUnlock, "right");
    Send(d, again);
    EXPECT_TRUE(again.Ok());
}

TEST(SimSecurity, EraseUnitOnlyStraightAfterPrepare) {
    SimDevice d(SmallDrive());
    Command set = Security(ata::cmd::kSecuritySetPassword, "pw");
    Send(d, set);

    Command alone = Security(ata::cmd::kSecurityEraseUnit, "pw");
    Send(d, alone);
    EXPECT_TRUE(alone.Aborted()) << "no PREPARE";

    Command prepare = ErasePrepare();
    Command identify = Identify();
    Command unit = Security(ata::cmd::kSecurityEraseUnit, "pw");
    Send(d, prepare);
    Send(d, identify);
    Send(d, unit);
    EXPECT_TRUE(unit.Aborted()) << "a command between PREPARE and UNIT cancels the preparation";

    Command undelivered = Identify();
    d.SetUndelivered(ata::cmd::kIdentify, true);
    Command prepareAgain = ErasePrepare();
    Send(d, prepareAgain);
    EXPECT_FALSE(Send(d, undelivered));
    Command unitAfterRefused = Security(ata::cmd::kSecurityEraseUnit, "pw");
    Send(d, unitAfterRefused);
    EXPECT_TRUE(unitAfterRefused.Ok()) << "a command that never reached the drive changes nothing";
    EXPECT_TRUE(d.MediaBlank());
}

TEST(SimSecurity, EraseClearsMediaAndPassword) {
    DriveDescription desc = SmallDrive();
    desc.readData = ReadData::Content;
    SimDevice d(desc);
    Command before = Read(7, 1);
    Send(d, before);
    EXPECT_EQ(before.data[0], 7) << "unerased sectors carry their LBA";

    Command set = Security(ata::cmd::kSecuritySetPassword, "pw");
    Send(d, set);
    EXPECT_FALSE(Erase(d, "other")) << "wrong password";
    EXPECT_EQ(d.Security().attemptsLeft, 4);
    EXPECT_FALSE(d.MediaBlank());

    EXPECT_TRUE(Erase(d, "pw"));
    EXPECT_TRUE(d.MediaBlank());
    EXPECT_EQ(d.Erases(), std::vector<EraseKind>{EraseKind::SecurityNormal});
    EXPECT_EQ(Word128(d), 0x0001);
    EXPECT_FALSE(d.Security().userPassword);
    d.PowerCycle();
    Command after = Read(7, 1);
    Send(d, after);
    EXPECT_TRUE(after.Ok()) << "not locked after the erase and a power cycle";
    EXPECT_EQ(after.data[0], 0);
    EXPECT_EQ(after.data[511], 0);
}

TEST(SimSecurity, EnhancedEraseAndMasterPassword) {
    DriveDescription desc = SmallDrive();
    desc.security.masterPassword = PasswordFromText("factory");
    SimDevice plain(desc);
    Command set = Security(ata::cmd::kSecuritySetPassword, "user");
    Send(plain, set);
    EXPECT_FALSE(Erase(plain, "user", Who::User, 0x0002)) << "enhanced erase not supported";
    EXPECT_TRUE(Erase(plain, "factory", Who::Master)) << "the master password erases";

    desc.security.enhancedEraseSupported = true;
    desc.security.eraseTime = 2;
    desc.security.enhancedEraseTime = 4;
    desc.security.userPassword = PasswordFromText("user");
    desc.security.level = SecurityLevel::Maximum;
    SimDevice maximum(desc);
    EXPECT_EQ(Word128(maximum), 0x0127);
    EXPECT_EQ(ata::Word(maximum.IdentifyData(), 89), 2);
    EXPECT_EQ(ata::Word(maximum.IdentifyData(), 90), 4);
    Command masterUnlock = Security(ata::cmd::kSecurityUnlock, "factory", Who::Master);
    Send(maximum, masterUnlock);
    EXPECT_TRUE(masterUnlock.Aborted()) << "at level Maximum the master password does not unlock";
    EXPECT_TRUE(Erase(maximum, "factory", Who::Master, 0x0002));
    EXPECT_EQ(maximum.Erases(), std::vector<EraseKind>{EraseKind::SecurityEnhanced});
    EXPECT_EQ(Word128(maximum), 0x0021);
}

TEST(SimSecurity, FrozenDriveRefusesEverySecurityCommandButFreeze) {
    DriveDescription desc = SmallDrive();
    desc.security.startFrozen = true;
    SimDevice d(desc);
    EXPECT_EQ(Word128(d), 0x0009);
    for (uint8_t cmd : {ata::cmd::kSecuritySetPassword, ata::cmd::kSecurityUnlock, ata::cmd::kSecurityEraseUnit,
                        ata::cmd::kSecurityDisablePassword}) {
        Command c = Security(cmd, "pw");
        ASSERT_TRUE(Send(d, c));
        EXPECT_TRUE(c.Aborted()) << std::hex << int(cmd);
    }
    Command prepare = ErasePrepare();
    Send(d, prepare);
    EXPECT_TRUE(prepare.Aborted());
    Command freeze(ata::cmd::kSecurityFreezeLock);
    Send(d, freeze);
    EXPECT_TRUE(freeze.Ok());

    d.PowerCycle();
    EXPECT_EQ(Word128(d), 0x0001) << "a lab freeze thaws at power-on";
    Command freezeAgain(ata::cmd::kSecurityFreezeLock);
    Send(d, freezeAgain);
    EXPECT_EQ(Word128(d), 0x0009);

    desc.security.startFrozen = false;
    desc.security.frozenAtPowerOn = true;
    SimDevice bios(desc);
    bios.PowerCycle();
    EXPECT_EQ(Word128(bios), 0x0009) << "frozen at every power-on";
}

TEST(SimSecurity, LabStartStatesAndUnsupported) {
    DriveDescription desc = SmallDrive();
    desc.security.userPassword = PasswordFromText("x");
    desc.security.startUnlocked = true;
    EXPECT_EQ(Word128(*std::make_unique<SimDevice>(desc)), 0x0003);
    desc.security.startUnlocked = false;
    desc.security.startExpired = true;
    EXPECT_EQ(Word128(*std::make_unique<SimDevice>(desc)), 0x0017);

    DriveDescription none = SmallDrive();
    none.security.supported = false;
    none.security.userPassword = PasswordFromText("ignored");
    SimDevice d(none);
    EXPECT_EQ(Word128(d), 0x0000);
    EXPECT_FALSE(ata::Word(d.IdentifyData(), 82) & 0x0002);
    Command set = Security(ata::cmd::kSecuritySetPassword, "pw");
    Send(d, set);
    EXPECT_TRUE(set.Aborted());
    EXPECT_TRUE(ReadOk(d));
}

TEST(SimSecurity, DataOutCommandsNeedTheirBlock) {
    SimDevice d(SmallDrive());
    Command shortBlock = Security(ata::cmd::kSecuritySetPassword, "pw");
    shortBlock.request.dataLength = 256;
    EXPECT_FALSE(Send(d, shortBlock)) << "a short data-out block is refused by the transport";
    Command noFlag = Security(ata::cmd::kSecuritySetPassword, "pw");
    noFlag.request.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    EXPECT_FALSE(Send(d, noFlag));
    EXPECT_EQ(Word128(d), 0x0001);
}

}  // namespace
}  // namespace vellumin::platform::sim::test
