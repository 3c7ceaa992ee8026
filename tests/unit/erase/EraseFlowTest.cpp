#include <gtest/gtest.h>

#include <algorithm>

#include "tests/unit/erase/EraseTestUtil.h"
#include "transport/Transport.h"

namespace vellumin::erase::test {
namespace {

using M = MessageId;
using E = EraseEnding;

// The first sectors as the drive returns them now: all zero once erased.
bool ReadsBackErased(SimPlatform& lab, int slot) {
    auto handle = ata::OpenPhysicalDrive(lab.Drives(), slot);
    std::vector<uint8_t> data(8 * 512, 0xEE);
    ata::AtaPassThroughRequest read = ata::ReadDmaRequest(0, 8 * 512, data.data());
    return ata::AtaPassThrough(handle.get(), read) && read.currentTaskFile.status() == 0x50 &&
           std::all_of(data.begin(), data.end(), [](uint8_t b) { return b == 0; });
}

// One row per ending; slot 0 holds C: (the boot drive), slot 1 is the drive under test.
TEST(EraseFlow, EveryEndingOnTheLab) {
    struct Case {
        const char* name;
        EraseFlowKind flow;
        int slot;
        std::function<void(DriveDescription&)> setup;
        std::deque<Answer> answers;
        E ending;
        std::vector<MessageId> messages;
        std::string hooks;
    };
    auto frozen = [](DriveDescription& d) { d.security.startFrozen = true; };
    auto smi = [](DriveDescription& d) { d.smart.controller = "SMI2242"; };
    const Case cases[] = {
        {"identify fails",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.undeliveredCommands = {0xEC}; },
         {},
         E::IdentifyFailed,
         {},
         ""},
        {"held by another program",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.heldByAnotherProgram = true; },
         {},
         E::DriveBusy,
         {M::DriveBusy},
         ""},
        {"boot drive in a repeated pass",
         EraseFlowKind::Security,
         0,
         frozen,
         {},
         E::BootDriveOnRepeat,
         {M::Frozen, M::BootDrive},
         ""},
        {"No in a repeated confirmation",
         EraseFlowKind::Security,
         1,
         frozen,
         {Answer::No},
         E::DeclinedOnRepeat,
         {M::Frozen, M::Confirmation},
         "Q"},
        {"check fails",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.security.startExpired = true; },
         {},
         E::CheckFailed,
         {M::CheckFailed},
         ""},
        {"security: cannot open for the run",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.openFailsAfter = 3; },
         {},
         E::NotOpened,
         {M::SecureEraseFail, M::PasswordLeft},  // DISABLE PASSWORD cannot open it either
         "LU"},
        {"vendor: cannot open for the run",
         EraseFlowKind::Vendor,
         1,
         [&](DriveDescription& d) {
             smi(d);
             d.transport.openFailsAfter = 0;
         },
         {},
         E::NotOpened,
         {},
         "LU"},
        {"prepare not delivered",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.undeliveredCommands = {0xF3}; },
         {},
         E::PrepareNotDelivered,
         {M::PrepareFail, M::SecureEraseFail, M::PasswordRemoved},
         "LSTU"},
        {"unit not delivered",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.undeliveredCommands = {0xF4}; },
         {},
         E::EraseNotDelivered,
         {M::EraseFail, M::SecureEraseFail, M::PasswordRemoved},
         "LSTU"},
        {"unit aborted",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.abortedCommands = {0xF4}; },
         {},
         E::EraseAborted,
         {M::EraseAborted, M::PasswordRemoved},
         "LSTU"},
        {"unit aborted, and the password will not come off",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.abortedCommands = {0xF4, 0xF6}; },
         {},
         E::EraseAborted,
         {M::EraseAborted, M::DisableAborted, M::PasswordLeft},
         "LSTU"},
        {"set password not delivered",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.undeliveredCommands = {0xF1}; },
         {},
         E::EraseAborted,
         {M::LockFail, M::EraseAborted, M::SecureEraseFail},
         "LSTU"},
        {"set password aborted",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.transport.abortedCommands = {0xF1}; },
         {},
         E::EraseAborted,
         {M::LockAborted, M::EraseAborted},
         "LSTU"},
        {"someone else's password",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) {
             d.security.userPassword = platform::sim::PasswordFromText("theirs");
         },
         {},
         E::EraseAborted,
         {M::UnlockAborted, M::DisableAborted, M::LockAborted, M::EraseAborted},
         "LSTU"},
        {"vendor not delivered",
         EraseFlowKind::Vendor,
         1,
         [&](DriveDescription& d) {
             smi(d);
             d.transport.undeliveredSmartFeatures = {0xE3};
         },
         {},
         E::VendorNotDelivered,
         {M::VendorFail},
         "LSTU"},
        {"vendor aborted",
         EraseFlowKind::Vendor,
         1,
         [&](DriveDescription& d) {
             smi(d);
             d.smart.vendorEraseCodes = std::vector<uint8_t>{};
         },
         {},
         E::VendorAborted,
         {M::VendorAborted},
         "LSTU"},
        {"security erase done",
         EraseFlowKind::Security,
         1,
         [](DriveDescription&) {},
         {},
         E::Done,
         {M::Completion},
         "LSTU"},
        {"left locked by an earlier run",
         EraseFlowKind::Security,
         1,
         [](DriveDescription& d) { d.security.userPassword = ErasePassword(); },
         {},
         E::Done,
         {M::Completion},
         "LSTU"},
        {"vendor erase done", EraseFlowKind::Vendor, 1, smi, {}, E::Done, {M::Completion}, "LSTU"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveDescription d = LabDrive();
        d.readData = platform::sim::ReadData::Content;
        c.setup(d);
        platform::sim::LabDescription labDescription;
        labDescription.drives[0] = LabDrive("VQ SYSTEM SSD");
        labDescription.drives[1] = LabDrive("VQ BYSTANDER");
        labDescription.drives[c.slot] = d;
        labDescription.volumes = {{"C", 0, false}, {"E", 1, false}};
        SimPlatform lab(labDescription);
        SimDevice& target = *lab.Device(c.slot);
        SimDevice& bystander = *lab.Device(1 - c.slot);
        const auto before = Snapshot(bystander);

        ScriptedPrompter prompter(c.answers);
        RecordingHooks hooks;
        const EraseTarget t = TargetOf(lab, c.slot, 0xE3);
        const EraseFlowResult r = c.flow == EraseFlowKind::Security
                                      ? SecurityEraseFlow(lab, t, prompter, hooks)
                                      : VendorEraseFlow(lab, t, prompter, hooks);
        EXPECT_EQ(r.ending, c.ending);
        EXPECT_EQ(prompter.Ids(), c.messages);
        EXPECT_EQ(r.messages.size(), prompter.seen.size());
        EXPECT_EQ(hooks.calls, c.hooks);
        EXPECT_EQ(r.restartRequested, c.ending == E::Done);
        EXPECT_EQ(lab.Machine().restartRequested, c.ending == E::Done);
        EXPECT_EQ(target.MediaBlank(), c.ending == E::Done);
        EXPECT_EQ(Snapshot(bystander), before) << "no other drive is touched";
        if (c.ending == E::Done) {
            EXPECT_FALSE(target.Security().enabled) << "no password is left behind";
            EXPECT_TRUE(ReadsBackErased(lab, c.slot));
        }
        // Whatever the ending, the erase password is never left on the drive unsaid: after
        // the next power-up it would lock the drive.
        target.PowerCycle();
        const bool oursLeft = target.Security().userPassword == ErasePassword();
        EXPECT_EQ(r.passwordLeft, oursLeft);
        const auto ids = prompter.Ids();
        EXPECT_EQ(std::count(ids.begin(), ids.end(), M::PasswordLeft) == 1, oursLeft);
    }
}

TEST(EraseFlow, MessageTexts) {
    EXPECT_EQ(MessageFor(M::Completion).text,
              "Secure Erase complete. Please close any open applications and "
              "click\xE2\x80\x9COK\xE2\x80\x9Dto "
              "restart your PC.");
    EXPECT_EQ(MessageFor(M::Completion).caption, "Success");
    EXPECT_EQ(MessageFor(M::CheckFailed, "Security_Expired").text,
              "Secure Erase check failed!!\nSecurity_Expired");
    EXPECT_EQ(MessageFor(M::BootDrive, "VQ X").text,
              "The selected drive VQ X is the boot drive and cannot use this functionive");
    EXPECT_EQ(MessageFor(M::VendorAborted).icon, MessageIcon::Error);
    EXPECT_EQ(ConfirmationText("VQ X", {"E", "F"}),
              "Are you sure you want to erase this drive?\nDrive:VQ X\nVolume: E: F:");
    EXPECT_EQ(ConfirmationText("VQ X", {"/", "/mnt/data"}),
              "Are you sure you want to erase this drive?\nDrive:VQ X\nVolume: / /mnt/data");
    EXPECT_EQ(ConfirmationText("VQ X", {}),
              "Are you sure you want to erase this drive?\nDrive:VQ X\nVolume: Not "
              "recognized volume");
}

TEST(EraseFlow, RecoversADriveLeftLockedByAnEarlierRun) {
    DriveDescription d = LabDrive();
    d.readData = platform::sim::ReadData::Content;
    auto lab = LabWith(d);
    SimDevice& device = *lab->Device(1);
    // The power fails straight after SET PASSWORD: the drive is gone when the run opens it.
    device.SetObserver([&](const platform::sim::CommandRecord& record) {
        if (record.input.command == ata::cmd::kSecuritySetPassword) {
            device.SetPresent(false);
        }
    });
    ScriptedPrompter prompter;
    RecordingHooks hooks;
    EXPECT_EQ(SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks).ending, E::NotOpened);
    device.SetObserver({});
    device.SetPresent(true);
    device.PowerCycle();
    ASSERT_EQ(ata::Word(device.IdentifyData(), 128) & 0xFF, 0x07)
        << "locked with the erase password";

    const EraseFlowResult r = SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks);
    EXPECT_EQ(CommandBytes(r.commands),
              (std::vector<uint8_t>{0xEC, 0xEC, 0xF2, 0xF6, 0xF1, 0xF3, 0xF4}));
    EXPECT_EQ(r.ending, E::Done);
    EXPECT_FALSE(device.Security().enabled);
    EXPECT_TRUE(ReadsBackErased(*lab, 1));
}

// Nothing else may take the drive while the flow works on it, across a re-plug too.
TEST(EraseFlow, HoldsTheDriveClaimedForEveryCommand) {
    DriveDescription d = LabDrive();
    d.security.startFrozen = true;
    auto lab = LabWith(d);
    SimDevice& device = *lab->Device(1);
    std::vector<bool> claimed;
    device.SetObserver([&](const platform::sim::CommandRecord&) { claimed.push_back(device.Claimed()); });
    ScriptedPrompter prompter({Answer::Yes});
    RecordingHooks hooks;
    EXPECT_EQ(SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks).ending, E::Done);
    EXPECT_EQ(claimed, std::vector<bool>(6, true));  // IDENTIFY twice, re-plug, IDENTIFY, F1, F3, F4
    EXPECT_FALSE(device.Claimed());
}

TEST(EraseFlow, FrozenDriveLoopsWithTheConfirmationUntilItThaws) {
    struct Case {
        bool staysFrozen;
        std::deque<Answer> answers;
        E ending;
        int passes;
        std::vector<MessageId> messages;
    } cases[] = {
        {false, {Answer::Yes}, E::Done, 2, {M::Frozen, M::Confirmation, M::Completion}},
        {true,
         {Answer::Yes, Answer::Yes},
         E::DeclinedOnRepeat,
         3,
         {M::Frozen, M::Confirmation, M::Frozen, M::Confirmation, M::Frozen, M::Confirmation}},
    };
    for (const auto& c : cases) {
        DriveDescription d = LabDrive();
        d.security.startFrozen = true;
        d.security.staysFrozen = c.staysFrozen;
        auto lab = LabWith(d);
        ScriptedPrompter prompter(c.answers);
        RecordingHooks hooks;
        const EraseFlowResult r = SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks);
        EXPECT_EQ(r.ending, c.ending);
        EXPECT_EQ(r.passes, c.passes);
        EXPECT_EQ(prompter.Ids(), c.messages);
        EXPECT_EQ(prompter.seen[1].text,
                  "Are you sure you want to erase this drive?\nDrive:VQ TEST SSD\nVolume: E:");
    }
}

// The flow erases only the drive the user confirmed: another drive at its number, before the
// flow or after a re-plug, ends it before any security command, naming the confirmed drive.
TEST(EraseFlow, OnlyTheConfirmedDriveIsErased) {
    auto wwn = [](uint16_t last) {
        return [last](DriveDescription& d) {
            d.identifyWords = {{87, 0x4100}, {108, 0x5002}, {109, 0x538D}, {110, 0x4000}, {111, last}};
        };
    };
    DriveDescription other = LabDrive("VQ OTHER SSD");
    other.serial = "S0002";
    struct Case {
        const char* name;
        std::function<void(DriveDescription&)> confirmed;
        std::function<void(SimPlatform&)> afterConfirmation;
        E ending;
        std::vector<MessageId> messages;
        std::string named;
    } cases[] = {
        {"another drive at the number after the re-plug",
         [](DriveDescription& d) {
             d.security.startFrozen = true;
             d.slotAfterReplug = 2;
         },
         [](SimPlatform&) {},
         E::OtherDrive,
         {M::Frozen, M::Confirmation, M::OtherDrive},
         "(VQ TEST SSD, serial S0001)"},
        {"another drive at the number before the flow",
         [](DriveDescription&) {},
         [&](SimPlatform& lab) { lab.SetDrive(1, other); },
         E::OtherDrive,
         {M::OtherDrive},
         "(VQ TEST SSD, serial S0001)"},
        {"same model and serial, another world-wide name",
         wwn(1),
         [&](SimPlatform& lab) {
             DriveDescription twin = LabDrive();
             wwn(2)(twin);
             lab.SetDrive(1, twin);
         },
         E::OtherDrive,
         {M::OtherDrive},
         "(VQ TEST SSD, serial S0001, WWN 5002538D40000001)"},
        {"the confirmed drive, world-wide name and all", wwn(1), [](SimPlatform&) {}, E::Done,
         {M::Completion}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveDescription d = LabDrive();
        c.confirmed(d);
        platform::sim::LabDescription description;
        description.drives[0] = LabDrive("VQ SYSTEM SSD");
        description.drives[1] = d;
        description.drives[2] = other;
        description.volumes = {{"C", 0, false}, {"E", 1, false}};
        SimPlatform lab(description);
        const EraseTarget target = TargetOf(lab, 1);
        c.afterConfirmation(lab);

        ScriptedPrompter prompter({Answer::Yes});
        RecordingHooks hooks;
        const EraseFlowResult r = SecurityEraseFlow(lab, target, prompter, hooks);
        EXPECT_EQ(r.ending, c.ending);
        EXPECT_EQ(prompter.Ids(), c.messages);
        if (c.ending != E::OtherDrive) {
            continue;
        }
        EXPECT_NE(prompter.seen.back().text.find(c.named), std::string::npos)
            << prompter.seen.back().text;
        EXPECT_EQ(CommandBytes(r.commands), std::vector<uint8_t>(r.commands.size(), 0xEC))
            << "nothing but IDENTIFY DEVICE";
        for (int slot : {1, 2}) {
            EXPECT_FALSE(lab.Device(slot)->Security().enabled || lab.Device(slot)->MediaBlank());
        }
        EXPECT_EQ(hooks.calls, "");
    }
}

TEST(EraseFlow, RefusedRestartLeavesTheProgramOpen) {
    auto lab = LabWith(LabDrive());
    lab->Machine().restartSucceeds = false;
    ScriptedPrompter prompter;
    RecordingHooks hooks;
    const EraseFlowResult r = SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks);
    EXPECT_EQ(r.ending, E::Done);
    EXPECT_TRUE(r.restartRefused);
    EXPECT_EQ(hooks.calls, "LSTU");

    // Without the restart option nothing is asked of the platform.
    auto again = LabWith(LabDrive());
    const EraseFlowResult quiet =
        SecurityEraseFlow(*again, TargetOf(*again, 1), prompter, hooks, {false});
    EXPECT_FALSE(quiet.restartRequested);
    EXPECT_FALSE(again->Machine().restartRequested);
}

TEST(EraseFlow, BootDriveAndButtonsAfter) {
    auto lab = LabWith(LabDrive());
    EXPECT_TRUE(IsBootDrive(lab->Drives(), 0));
    EXPECT_FALSE(IsBootDrive(lab->Drives(), 1));
    lab->Machine().systemDirectory = "H:\\Windows\\system32";  // a volume the lab does not know
    EXPECT_TRUE(IsBootDrive(lab->Drives(), 1)) << "an unmappable system volume refuses every drive";

    EXPECT_EQ(ButtonsAfterEnding(E::IdentifyFailed), ButtonsAfter::BothDisabled);
    EXPECT_EQ(ButtonsAfterEnding(E::DriveBusy), ButtonsAfter::BothDisabled);
    EXPECT_EQ(ButtonsAfterEnding(E::DeclinedOnRepeat), ButtonsAfter::QuickEnabled);
    EXPECT_EQ(ButtonsAfterEnding(E::NotOpened), ButtonsAfter::AllEnabled);
}

// The suspend answer in place of the re-plug: the lab power-cycles every drive, and the flow
// goes on with its repeated pass as after a re-plug.
TEST(EraseFlow, FrozenDriveThawsThroughASuspend) {
    struct Case {
        const char* name;
        bool staysFrozen, canSuspend, suspendSucceeds;
        E ending;
        int suspends;
        std::vector<MessageId> messages;
    } cases[] = {
        {"thaws", false, true, true, E::Done, 1, {M::Frozen, M::Confirmation, M::Completion}},
        {"stays frozen", true, true, true, E::DeclinedOnRepeat, 2,
         {M::Frozen, M::Confirmation, M::Frozen, M::Confirmation}},
        {"suspend refused", false, true, false, E::DeclinedOnRepeat, 0,
         {M::Frozen, M::SuspendFailed, M::Confirmation, M::Frozen, M::SuspendFailed,
          M::Confirmation}},
        // Not offered: the answer counts as the re-plug it replaces.
        {"cannot suspend", false, false, true, E::Done, 0,
         {M::Frozen, M::Confirmation, M::Completion}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveDescription d = LabDrive();
        d.security.startFrozen = true;
        d.security.staysFrozen = c.staysFrozen;
        auto lab = LabWith(d);
        lab->Machine().canSuspend = c.canSuspend;
        lab->Machine().suspendSucceeds = c.suspendSucceeds;
        ScriptedPrompter prompter({Answer::Yes});
        prompter.frozen = Answer::Suspend;
        RecordingHooks hooks;
        const EraseFlowResult r = SecurityEraseFlow(*lab, TargetOf(*lab, 1), prompter, hooks);
        EXPECT_EQ(r.ending, c.ending);
        EXPECT_EQ(lab->Machine().suspends, c.suspends);
        EXPECT_EQ(prompter.Ids(), c.messages);
        EXPECT_EQ(prompter.seen[0].suspendOffered, c.canSuspend);
        EXPECT_EQ(lab->Device(1)->Security().frozen, c.ending != E::Done);
        EXPECT_EQ(lab->Device(1)->Erases().size(), c.ending == E::Done ? 1u : 0u);
    }
}

}  // namespace
}  // namespace vellumin::erase::test
