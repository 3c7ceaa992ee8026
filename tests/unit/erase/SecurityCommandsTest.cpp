#include <gtest/gtest.h>

#include "tests/unit/erase/EraseTestUtil.h"
#include "transport/Transport.h"

namespace vellumin::erase::test {
namespace {

using ata::AtaPassThroughRequest;
using ata::AtaTaskFile;

TEST(PasswordBlock, ControlWordZeroPasswordThenFF) {
    // Pinned as bytes: drives left with a password by an older build are unlocked only by
    // these same 32 bytes, so a change to the constant must fail here.
    const std::array<uint8_t, 32> pinned = {
        0x56, 0x65, 0x6C, 0x6C, 0x75, 0x6D, 0x69, 0x6E, 0x2D, 0x65, 0x72, 0x61, 0x73, 0x65, 0x2D, 0x6B,
        0x65, 0x79, 0x2D, 0x32, 0x30, 0x32, 0x36, 0x00, 0x5C, 0xA7, 0x13, 0xE9, 0x42, 0x8B, 0x6D, 0xF0};
    const PasswordBlock block = BuildPasswordBlock();
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[1], 0);
    EXPECT_TRUE(std::equal(pinned.begin(), pinned.end(), block.begin() + 2));
    EXPECT_TRUE(std::all_of(block.begin() + 34, block.end(), [](uint8_t b) { return b == 0xFF; }));
}

TEST(SecurityRequests, RegistersFlagsAndTimeOuts) {
    PasswordBlock block = BuildPasswordBlock();
    std::array<uint8_t, 512> scratch{};
    struct Case {
        ata::AtaPassThroughRequest request;
        uint16_t flags;
        uint32_t length;
        uint32_t timeOut;
        ata::AtaTaskFile registers;  // features, count, low, mid, high, device, command
    } cases[] = {
        {PasswordCommandRequest(0xF6, block), 0x04, 512, 5, {0, 0, 0, 0, 0, 0, 0xF6}},
        {PasswordCommandRequest(0xF2, block), 0x04, 512, 5, {0, 0, 0, 0, 0, 0, 0xF2}},
        {PasswordCommandRequest(0xF1, block), 0x04, 512, 5, {0, 0, 0, 0, 0, 0, 0xF1}},
        {ErasePrepareRequest(), 0x01, 0, 1, {0, 0, 0, 0, 0, 0, 0xF3}},
        {EraseUnitRequest(block), 0x04, 512, 36000, {0, 0, 0, 0, 0, 0, 0xF4}},
        {VendorEraseRequest(0xE3, scratch), 0x02, 512, 3600, {0xE3, 1, 0xFF, 0x4F, 0xC2, 0, 0xB0}},
        {VendorEraseRequest(0xE4, scratch), 0x02, 512, 3600, {0xE4, 1, 0x00, 0x4F, 0xC2, 0, 0xB0}},
        {VendorEraseRequest(0xE0, scratch), 0x02, 512, 3600, {0xE0, 1, 0x00, 0x4F, 0xC2, 0, 0xB0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(CommandName(c.request.currentTaskFile));
        EXPECT_EQ(c.request.flags, c.flags);
        EXPECT_EQ(c.request.dataLength, c.length);
        EXPECT_EQ(c.request.timeOutSeconds, c.timeOut);
        EXPECT_EQ(c.request.currentTaskFile, c.registers);
        EXPECT_EQ(c.request.dataBuffer != nullptr, c.length != 0);
    }
}

enum class State {
    Unsupported,
    Plain,
    Frozen,
    EnabledFrozen,
    FrozenExpired,
    Expired,
    OursUnlocked,
    Foreign,
    ForeignUnlocked,
    OursLocked
};

DriveDescription DriveFor(State setup) {
    DriveDescription d = LabDrive();
    auto& sec = d.security;
    switch (setup) {
        case State::Unsupported:
            sec.supported = false;
            break;
        case State::Plain:
            break;
        case State::Frozen:
            sec.startFrozen = true;
            break;
        case State::EnabledFrozen:
            sec.userPassword = ErasePassword();
            sec.startUnlocked = sec.startFrozen = true;
            break;
        case State::FrozenExpired:
            sec.startFrozen = sec.startExpired = true;
            break;
        case State::Expired:
            sec.startExpired = true;
            break;
        case State::OursUnlocked:
            sec.userPassword = ErasePassword();
            sec.startUnlocked = true;
            break;
        case State::Foreign:
            sec.userPassword = platform::sim::PasswordFromText("theirs");
            break;
        case State::ForeignUnlocked:
            sec.userPassword = platform::sim::PasswordFromText("theirs");
            sec.startUnlocked = true;
            break;
        case State::OursLocked:
            sec.userPassword = ErasePassword();
            break;
    }
    return d;
}

TEST(CheckSecurityState, EachStatusByteOnTheLab) {
    using M = MessageId;
    struct Case {
        const char* name;
        State setup;
        uint8_t status;
        std::vector<uint8_t> undelivered;
        bool openFails;
        CheckResult result;
        std::vector<uint8_t> sent;  // command bytes that reached the transport
        std::vector<MessageId> messages;
        bool enabledAfter;
    } cases[] = {
        {"unsupported",
         State::Unsupported,
         0x00,
         {},
         false,
         CheckResult::Unsupported,
         {},
         {},
         false},
        {"frozen", State::Frozen, 0x09, {}, false, CheckResult::Frozen, {}, {M::Frozen}, false},
        {"frozen wins over enabled",
         State::EnabledFrozen,
         0x0B,
         {},
         false,
         CheckResult::Frozen,
         {},
         {M::Frozen},
         true},
        {"frozen and expired",
         State::FrozenExpired,
         0x19,
         {},
         false,
         CheckResult::Frozen,
         {},
         {M::Frozen},
         false},
        {"expired", State::Expired, 0x11, {}, false, CheckResult::Expired, {}, {}, false},
        {"enabled: disabled",
         State::OursUnlocked,
         0x03,
         {},
         false,
         CheckResult::Ready,
         {0xF6},
         {},
         false},
        {"enabled, drive aborts",
         State::ForeignUnlocked,
         0x03,
         {},
         false,
         CheckResult::Ready,
         {0xF6},
         {M::DisableAborted},
         true},
        {"enabled, not delivered",
         State::OursUnlocked,
         0x03,
         {0xF6},
         false,
         CheckResult::Locked,
         {0xF6},
         {M::DisableFail},
         true},
        {"enabled, cannot open",
         State::OursUnlocked,
         0x03,
         {},
         true,
         CheckResult::Locked,
         {},
         {},
         true},
        {"locked: unlock, disable",
         State::OursLocked,
         0x07,
         {},
         false,
         CheckResult::Ready,
         {0xF2, 0xF6},
         {},
         false},
        {"locked by someone else",
         State::Foreign,
         0x07,
         {},
         false,
         CheckResult::Ready,
         {0xF2, 0xF6},
         {M::UnlockAborted, M::DisableAborted},
         true},
        {"unlock not delivered",
         State::OursLocked,
         0x07,
         {0xF2},
         false,
         CheckResult::Locked,
         {0xF2, 0xF6},
         {M::UnlockFail, M::DisableAborted},
         true},
        {"supported", State::Plain, 0x01, {}, false, CheckResult::Ready, {}, {}, false},
        {"supported, stray locked bit",
         State::Plain,
         0x05,
         {},
         false,
         CheckResult::Ready,
         {},
         {},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveDescription d = DriveFor(c.setup);
        d.transport.undeliveredCommands = c.undelivered;
        d.transport.openFails = c.openFails;
        auto lab = LabWith(d);
        SimDevice& device = *lab->Device(1);
        device.SetLogging(true);
        ScriptedPrompter prompter;
        EXPECT_EQ(CheckSecurityState({lab->Drives(), 1, prompter}, c.status), c.result);
        std::vector<uint8_t> sent;
        for (const auto& record : device.TakeLog()) {
            sent.push_back(record.input.command);
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(prompter.Ids(), c.messages);
        EXPECT_EQ(device.Security().enabled, c.enabledAfter);
        // The user's answer to the frozen message counts as re-plugging: the drive thaws.
        EXPECT_FALSE(device.Security().frozen);
    }
}

TEST(EraseCommands, OutcomesOnAnOpenHandle) {
    struct Case {
        const char* name;
        std::vector<uint8_t> undelivered;
        bool passwordSet;
        SecurityEraseOutcome outcome;
        std::vector<uint8_t> sent;
    } cases[] = {
        {"done", {}, true, SecurityEraseOutcome::EraseDone, {0xF3, 0xF4}},
        {"no password: aborted", {}, false, SecurityEraseOutcome::EraseAborted, {0xF3, 0xF4}},
        {"prepare not delivered", {0xF3}, true, SecurityEraseOutcome::PrepareNotDelivered, {0xF3}},
        {"unit not delivered", {0xF4}, true, SecurityEraseOutcome::EraseNotDelivered, {0xF3, 0xF4}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DriveDescription d = LabDrive();
        d.transport.undeliveredCommands = c.undelivered;
        if (c.passwordSet) {
            d.security.userPassword = ErasePassword();
            d.security.startUnlocked = true;
        }
        auto lab = LabWith(d);
        SimDevice& device = *lab->Device(1);
        device.SetLogging(true);
        auto handle = ata::OpenPhysicalDrive(lab->Drives(), 1);
        EXPECT_EQ(SecurityErase(handle.get()), c.outcome);
        std::vector<uint8_t> sent;
        for (const auto& record : device.TakeLog()) {
            sent.push_back(record.input.command);
        }
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(device.MediaBlank(), c.outcome == SecurityEraseOutcome::EraseDone);
    }
}

TEST(EraseCommands, VendorEraseOutcomes) {
    struct Case {
        const char* controller;
        uint8_t code;
        std::vector<uint8_t> undeliveredSmart;
        VendorEraseOutcome outcome;
    } cases[] = {
        {"SMI2242", 0xE3, {}, VendorEraseOutcome::Done},
        {"SMI2242", 0xE4, {}, VendorEraseOutcome::Done},
        {"JMF612", 0xE0, {}, VendorEraseOutcome::Done},
        {"SMI2242", 0xE0, {}, VendorEraseOutcome::Aborted},
        {"SMI2242", 0xE3, {0xE3}, VendorEraseOutcome::NotDelivered},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.controller) + " " + std::to_string(c.code));
        DriveDescription d = LabDrive();
        d.smart.controller = c.controller;
        d.transport.undeliveredSmartFeatures = c.undeliveredSmart;
        auto lab = LabWith(d);
        auto handle = ata::OpenPhysicalDrive(lab->Drives(), 1);
        EXPECT_EQ(VendorErase(handle.get(), c.code), c.outcome);
        EXPECT_EQ(lab->Device(1)->MediaBlank(), c.outcome == VendorEraseOutcome::Done);
        ata::SmartBlock smart{};
        EXPECT_TRUE(ata::SmartReadData(lab->Drives(), 1, smart))
            << "SMART READ DATA still goes through";
    }
    EXPECT_EQ(VendorErase(nullptr, 0xE3), VendorEraseOutcome::NotDelivered);
}

}  // namespace
}  // namespace vellumin::erase::test
