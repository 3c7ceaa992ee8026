#include "pages/erase/SecurityCommands.h"

#include <algorithm>

#include "transport/Transport.h"
#include "pages/erase/EraseFlow.h"

namespace vellumin::erase {
namespace {

using ata::AtaPassThroughRequest;


ata::AtaPassThroughRequest DataOutRequest(uint8_t command, uint32_t timeOutSeconds,
                                     PasswordBlock& block) {
    ata::AtaPassThroughRequest request;
    request.flags = ata::ATA_FLAGS_DATA_OUT;
    request.dataLength = static_cast<uint32_t>(block.size());
    request.timeOutSeconds = timeOutSeconds;
    request.dataBuffer = block.data();
    request.currentTaskFile.command = command;
    return request;
}

struct PasswordCommand {
    uint8_t command;
    MessageId fail;
    MessageId aborted;
};

constexpr PasswordCommand kDisable{ata::cmd::kSecurityDisablePassword, MessageId::DisableFail,
                                   MessageId::DisableAborted};
constexpr PasswordCommand kUnlock{ata::cmd::kSecurityUnlock, MessageId::UnlockFail,
                                  MessageId::UnlockAborted};
constexpr PasswordCommand kSetPassword{ata::cmd::kSecuritySetPassword, MessageId::LockFail,
                                       MessageId::LockAborted};

bool Aborted(const ata::AtaPassThroughRequest& request) {
    return request.currentTaskFile.status() & ata::kStatusErr;
}

}  // namespace

PasswordBlock BuildPasswordBlock() {
    PasswordBlock block;
    block.fill(0xFF);
    block[0] = block[1] = 0x00;
    std::copy(kErasePassword.begin(), kErasePassword.end(), block.begin() + 2);
    return block;
}

ata::AtaPassThroughRequest PasswordCommandRequest(uint8_t command, PasswordBlock& block) {
    return DataOutRequest(command, kPasswordTimeOutSeconds, block);
}

ata::AtaPassThroughRequest ErasePrepareRequest() {
    ata::AtaPassThroughRequest request;
    request.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    request.timeOutSeconds = kPrepareTimeOutSeconds;
    request.currentTaskFile.command = ata::cmd::kSecurityErasePrepare;
    return request;
}

ata::AtaPassThroughRequest EraseUnitRequest(PasswordBlock& block) {
    return DataOutRequest(ata::cmd::kSecurityEraseUnit, kEraseUnitTimeOutSeconds, block);
}

ata::AtaPassThroughRequest VendorEraseRequest(uint8_t code, std::array<uint8_t, 512>& scratch) {
    ata::AtaPassThroughRequest request;
    request.flags = ata::ATA_FLAGS_DATA_IN;
    request.dataLength = static_cast<uint32_t>(scratch.size());
    request.timeOutSeconds = kVendorEraseTimeOutSeconds;
    request.dataBuffer = scratch.data();
    request.currentTaskFile.features = code;
    request.currentTaskFile.sectorCount = 1;
    request.currentTaskFile.lbaLow = code == ata::cmd::kVendorEraseFull ? 0xFF : 0x00;
    request.currentTaskFile.lbaMid = ata::cmd::kSmartLbaMid;
    request.currentTaskFile.lbaHigh = ata::cmd::kSmartLbaHigh;
    request.currentTaskFile.command = ata::cmd::kSmart;
    return request;
}

const char* CheckResultName(CheckResult result) {
    switch (result) {
        case CheckResult::Ready:
            return "";
        case CheckResult::Unsupported:
            return "Security_Unsupported";
        case CheckResult::Locked:
            return "Security_Locked";
        case CheckResult::Frozen:
            return "Security_Frozen";
        case CheckResult::Expired:
            return "Security_Expired";
    }
    return "";
}

PasswordResult SendPasswordCommand(const SecurityContext& context, uint8_t command) {
    const PasswordCommand* found = nullptr;
    for (const PasswordCommand* known : {&kDisable, &kUnlock, &kSetPassword}) {
        if (known->command == command) {
            found = known;
        }
    }
    if (found == nullptr) {
        return {};  // not a password command: nothing is sent
    }
    const PasswordCommand& texts = *found;
    auto [handle, openFailure] = ata::OpenDrive(context.drives, context.driveNumber);
    if (!handle) {
        return {PasswordOutcome::NotOpened, NotDeliveredReason{"open", openFailure}};
    }
    PasswordBlock block = BuildPasswordBlock();
    ata::AtaPassThroughRequest request = PasswordCommandRequest(texts.command, block);
    const ata::AtaTaskFile input = request.currentTaskFile;
    if (const auto sent = ata::AtaPassThrough(handle.get(), request); !sent) {
        context.prompter.Ask(MessageFor(texts.fail));
        return {PasswordOutcome::NotDelivered, NotDeliveredReason{CommandName(input), *sent.failure()}};
    }
    if (Aborted(request)) {
        context.prompter.Ask(MessageFor(texts.aborted));
        return {PasswordOutcome::Aborted, std::nullopt};
    }
    return {PasswordOutcome::Accepted, std::nullopt};
}

PasswordResult SecurityDisablePassword(const SecurityContext& context) {
    return SendPasswordCommand(context, ata::cmd::kSecurityDisablePassword);
}
PasswordResult SecurityUnlock(const SecurityContext& context) {
    return SendPasswordCommand(context, ata::cmd::kSecurityUnlock);
}
PasswordResult SecuritySetPassword(const SecurityContext& context) {
    return SendPasswordCommand(context, ata::cmd::kSecuritySetPassword);
}

std::optional<ReleaseOutcome> ReleaseRefusal(uint8_t status) {
    if (!(status & ata::sec::kSupported)) {
        return ReleaseOutcome::Unsupported;
    }
    if (!(status & ata::sec::kEnabled)) {
        return ReleaseOutcome::NoPassword;
    }
    if (status & ata::sec::kFrozen) {
        return ReleaseOutcome::Frozen;
    }
    if (status & ata::sec::kExpired) {
        return ReleaseOutcome::Expired;
    }
    return std::nullopt;
}

ReleaseResult ReleaseErasePassword(const SecurityContext& context, uint8_t status) {
    if (const auto refusal = ReleaseRefusal(status)) {
        return {*refusal, std::nullopt};
    }
    const platform::DriveOpening claim = ata::ClaimDrive(context.drives, context.driveNumber);
    if (!claim.handle) {
        const bool busy = platform::OpenErrorOf(claim.failure) == platform::OpenError::Busy;
        return {busy ? ReleaseOutcome::Busy : ReleaseOutcome::NotDelivered,
                NotDeliveredReason{"open", claim.failure}};
    }
    auto release = [](const PasswordResult& sent) {
        return ReleaseResult{sent.outcome == PasswordOutcome::Aborted ? ReleaseOutcome::Refused
                                                                      : ReleaseOutcome::NotDelivered,
                             sent.notDelivered};
    };
    if (status & ata::sec::kLocked) {
        if (const auto unlock = SecurityUnlock(context); unlock.outcome != PasswordOutcome::Accepted) {
            return release(unlock);
        }
    }
    const auto disable = SecurityDisablePassword(context);
    return disable.outcome == PasswordOutcome::Accepted ? ReleaseResult{ReleaseOutcome::Released, std::nullopt}
                                                        : release(disable);
}

namespace {

// The user's way out of the frozen state: re-plugging the drive's power, or a suspend to RAM,
// which cuts it for them.
void ThawFrozenDrive(const SecurityContext& context) {
    EraseMessage frozen = MessageFor(MessageId::Frozen);
    frozen.suspendOffered = context.system != nullptr && context.system->CanSuspend();
    if (context.prompter.Ask(frozen) == Answer::Suspend && frozen.suspendOffered) {
        if (!context.system->SuspendAndResume(kThawSuspendSeconds)) {
            context.prompter.Ask(MessageFor(MessageId::SuspendFailed));
        }
        return;
    }
    context.drives.UserPowerCycled(context.driveNumber);
}

}  // namespace

CheckResult CheckSecurityState(const SecurityContext& context, uint8_t status) {
    if (!(status & ata::sec::kSupported)) {
        return CheckResult::Unsupported;
    }
    if (status & ata::sec::kFrozen) {
        ThawFrozenDrive(context);
        return CheckResult::Frozen;
    }
    if (status & ata::sec::kExpired) {
        return CheckResult::Expired;
    }
    if (status & ata::sec::kEnabled) {
        bool delivered = true;
        if (status & ata::sec::kLocked) {
            delivered = SecurityUnlock(context).delivered();
        }
        // Disable goes out whatever the unlock did: the drive decides.
        delivered = SecurityDisablePassword(context).delivered() && delivered;
        return delivered ? CheckResult::Ready : CheckResult::Locked;
    }
    return CheckResult::Ready;
}

SecurityEraseOutcome SecurityErase(platform::DriveHandle* handle) {
    ata::AtaPassThroughRequest prepare = ErasePrepareRequest();
    if (!ata::AtaPassThrough(handle, prepare)) {
        return SecurityEraseOutcome::PrepareNotDelivered;
    }
    PasswordBlock block = BuildPasswordBlock();
    ata::AtaPassThroughRequest unit = EraseUnitRequest(block);
    if (!ata::AtaPassThrough(handle, unit)) {
        return SecurityEraseOutcome::EraseNotDelivered;
    }
    return Aborted(unit) ? SecurityEraseOutcome::EraseAborted : SecurityEraseOutcome::EraseDone;
}

VendorEraseOutcome VendorErase(platform::DriveHandle* handle, uint8_t code) {
    std::array<uint8_t, 512> scratch{};
    ata::AtaPassThroughRequest request = VendorEraseRequest(code, scratch);
    if (!ata::AtaPassThrough(handle, request)) {
        return VendorEraseOutcome::NotDelivered;
    }
    return Aborted(request) ? VendorEraseOutcome::Aborted : VendorEraseOutcome::Done;
}

}  // namespace vellumin::erase
