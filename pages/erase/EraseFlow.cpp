#include "pages/erase/EraseFlow.h"

#include <chrono>
#include <cstdio>

#include "transport/Transport.h"

namespace vellumin::erase {
namespace {

using ata::AtaPassThroughRequest;
using ata::AtaTaskFile;
using platform::DriveHandle;
using platform::DriveHandlePtr;
using platform::DriveSystem;

// Every command the flow sends passes through here, so the list is what went to the drive,
// not what the flow meant to send.
class RecordingHandle final : public platform::ForwardingDriveHandle {
public:
    RecordingHandle(DriveHandlePtr inner, std::vector<SentCommand>& log)
        : ForwardingDriveHandle(std::move(inner)), m_log(log) {}

    platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        SentCommand sent;
        sent.flags = request.flags;
        sent.dataLength = request.dataLength;
        sent.timeOutSeconds = request.timeOutSeconds;
        sent.input = request.currentTaskFile;
        auto result = ForwardingDriveHandle::PassThrough(request);
        sent.delivered = result.delivered();
        sent.failure = result.failure();
        if (sent.delivered) {
            sent.output = request.currentTaskFile;
        }
        m_log.push_back(sent);
        return result;
    }

private:
    std::vector<SentCommand>& m_log;
};

class RecordingDrives final : public platform::ForwardingDriveSystem {
public:
    RecordingDrives(DriveSystem& inner, std::vector<SentCommand>& log,
                    std::vector<platform::TransportFailure>& failedOpens)
        : ForwardingDriveSystem(inner), m_log(log), m_failedOpens(failedOpens) {}

    DriveHandlePtr WrapHandle(DriveHandlePtr handle) override {
        return std::make_unique<RecordingHandle>(std::move(handle), m_log);
    }
    platform::DriveOpening OpenDrive(int number) override {
        return Recorded(ForwardingDriveSystem::OpenDrive(number));
    }
    platform::DriveOpening ClaimDrive(int number) override {
        return Recorded(ForwardingDriveSystem::ClaimDrive(number));
    }

private:
    platform::DriveOpening Recorded(platform::DriveOpening opening) {
        if (!opening.handle) {
            m_failedOpens.push_back(opening.failure);
        }
        return opening;
    }

    std::vector<SentCommand>& m_log;
    std::vector<platform::TransportFailure>& m_failedOpens;
};

class RecordingPrompter final : public ErasePrompter {
public:
    RecordingPrompter(ErasePrompter& inner, std::vector<EraseMessage>& log)
        : m_inner(inner), m_log(log) {}
    Answer Ask(const EraseMessage& message) override {
        m_log.push_back(message);
        return m_inner.Ask(message);
    }

private:
    ErasePrompter& m_inner;
    std::vector<EraseMessage>& m_log;
};

// One flow's world: the drive as the target names it, seen through the recorders.
struct FlowScope {
    FlowScope(platform::Platform& platform, const EraseTarget& target, ErasePrompter& prompter,
              EraseHooks& hooks, const EraseFlowOptions& options, EraseFlowKind kind)
        : platform(platform),
          target(target),
          hooks(hooks),
          options(options),
          drives(platform.Drives(), result.commands, result.failedOpens),
          prompter(prompter, result.messages),
          security{drives, target.driveNumber, this->prompter, &platform.Sys()} {
        result.flow = kind;
    }

    void Show(MessageId id) { prompter.Ask(MessageFor(id)); }

    platform::Platform& platform;
    const EraseTarget target;  // a copy: nothing the page does later reaches this flow
    EraseHooks& hooks;
    const EraseFlowOptions options;
    EraseFlowResult result;
    RecordingDrives drives;
    RecordingPrompter prompter;
    SecurityContext security;
};

// The main window is locked for exactly as long as the run lasts, whatever path ends it.
class MainWindowLock {
public:
    explicit MainWindowLock(EraseHooks& hooks) : m_hooks(hooks) { m_hooks.LockMainWindow(); }
    ~MainWindowLock() { m_hooks.UnlockAfterRun(); }
    MainWindowLock(const MainWindowLock&) = delete;
    MainWindowLock& operator=(const MainWindowLock&) = delete;

private:
    EraseHooks& m_hooks;
};

class ElapsedTimer {
public:
    explicit ElapsedTimer(EraseHooks& hooks) : m_hooks(hooks) { m_hooks.StartElapsed(); }
    ~ElapsedTimer() { Stop(); }
    double Stop() {
        if (m_running) {
            m_running = false;
            m_hooks.StopElapsed();
            m_seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
        }
        return m_seconds;
    }

private:
    EraseHooks& m_hooks;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    bool m_running = true;
    double m_seconds = 0;
};

enum class RunCommand { Security, Vendor };

// Messages held back while the run talks to the drive, shown after the run's own.
class HeldMessages final : public ErasePrompter {
public:
    Answer Ask(const EraseMessage& message) override {
        held.push_back(message);
        return Answer::Ok;  // only Ok-only messages come here
    }
    std::vector<EraseMessage> held;
};

// A run that did not finish on a drive that took the erase password leaves that password on
// it, and the drive locks at its next power-up. It is still unlocked now: DISABLE PASSWORD
// takes the password off at once, before anyone reads a message.
struct PasswordTakeBack {
    bool armed = false;  // SET PASSWORD was accepted
    bool sent = false;
    bool removed = false;
    HeldMessages messages;

    void Run(FlowScope& flow) {
        if (!armed || flow.result.ending == EraseEnding::Done) {
            return;
        }
        sent = true;
        const SecurityContext quiet{flow.drives, flow.target.driveNumber, messages};
        removed = SecurityDisablePassword(quiet).outcome == PasswordOutcome::Accepted;
    }
    // After the run's messages: the command's own message, then what the drive is left with.
    void Report(FlowScope& flow) {
        if (!sent) {
            return;
        }
        for (const EraseMessage& message : messages.held) {
            flow.prompter.Ask(message);
        }
        flow.result.passwordLeft = !removed;
        flow.Show(removed ? MessageId::PasswordRemoved : MessageId::PasswordLeft);
    }
};

// The erase run; true when the command was delivered (done or aborted).
bool EraseRun(FlowScope& flow, RunCommand command, PasswordTakeBack* takeBack = nullptr) {
    MainWindowLock lock(flow.hooks);
    DriveHandlePtr handle = ata::OpenDrive(flow.drives, flow.target.driveNumber).handle;
    if (!handle) {
        flow.result.ending = EraseEnding::NotOpened;
        if (takeBack) {
            takeBack->Run(flow);
        }
        return false;
    }
    MessageId message = MessageId::Completion;
    {
        ElapsedTimer timer(flow.hooks);
        if (command == RunCommand::Security) {
            switch (SecurityErase(handle.get())) {
                case SecurityEraseOutcome::PrepareNotDelivered:
                    flow.result.ending = EraseEnding::PrepareNotDelivered;
                    message = MessageId::PrepareFail;
                    break;
                case SecurityEraseOutcome::EraseNotDelivered:
                    flow.result.ending = EraseEnding::EraseNotDelivered;
                    message = MessageId::EraseFail;
                    break;
                case SecurityEraseOutcome::EraseAborted:
                    flow.result.ending = EraseEnding::EraseAborted;
                    message = MessageId::EraseAborted;
                    break;
                case SecurityEraseOutcome::EraseDone:
                    flow.result.ending = EraseEnding::Done;
                    break;
            }
        } else {
            switch (VendorErase(handle.get(), flow.target.vendorCode)) {
                case VendorEraseOutcome::NotDelivered:
                    flow.result.ending = EraseEnding::VendorNotDelivered;
                    message = MessageId::VendorFail;
                    break;
                case VendorEraseOutcome::Aborted:
                    flow.result.ending = EraseEnding::VendorAborted;
                    message = MessageId::VendorAborted;
                    break;
                case VendorEraseOutcome::Done:
                    flow.result.ending = EraseEnding::Done;
                    break;
            }
        }
        flow.result.eraseSeconds = timer.Stop();
    }
    handle.reset();  // DISABLE PASSWORD opens the drive itself
    if (takeBack) {
        takeBack->Run(flow);
    }
    flow.Show(message);
    if (flow.result.ending == EraseEnding::Done && flow.options.restart) {
        // Only after the user has pressed OK on the completion message.
        flow.result.restartRequested = true;
        flow.result.restartRefused = !flow.platform.Sys().RestartComputer();
    }
    const EraseEnding ending = flow.result.ending;
    return ending != EraseEnding::PrepareNotDelivered && ending != EraseEnding::EraseNotDelivered &&
           ending != EraseEnding::VendorNotDelivered;
}

// Claims the drive for the flow. A drive another program holds ends the flow, and the user is
// told; one the claim cannot open for another reason (gone, no rights) goes on unclaimed: the
// flow's own first open fails the same way and ends the flow as it always has.
bool ClaimForFlow(FlowScope& flow, platform::DriveOpening& claim) {
    claim.handle.reset();  // a claim still held would refuse its own successor
    claim = ata::ClaimDrive(flow.drives, flow.target.driveNumber);
    if (claim.handle || platform::OpenErrorOf(claim.failure) != platform::OpenError::Busy) {
        return true;
    }
    flow.result.ending = EraseEnding::DriveBusy;
    flow.Show(MessageId::DriveBusy);
    return false;
}

// The drive at the target's number is the one the user confirmed; otherwise the flow says
// which drive that was and ends.
bool RefuseOtherDrive(FlowScope& flow, const ata::IdentifyBlock& identify) {
    if (IdentityOf(identify) == flow.target.identity && !flow.target.identity.model.empty()) {
        return false;
    }
    flow.prompter.Ask(MessageFor(MessageId::OtherDrive, DescribeIdentity(flow.target.identity)));
    flow.result.ending = EraseEnding::OtherDrive;
    return true;
}

std::string Hex2(uint8_t value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", value);
    return text;
}

}  // namespace

std::string CommandName(const ata::AtaTaskFile& input) {
    switch (input.command) {
        case ata::cmd::kIdentify:
            return "IDENTIFY DEVICE";
        case ata::cmd::kSecuritySetPassword:
            return "SECURITY SET PASSWORD";
        case ata::cmd::kSecurityUnlock:
            return "SECURITY UNLOCK";
        case ata::cmd::kSecurityErasePrepare:
            return "SECURITY ERASE PREPARE";
        case ata::cmd::kSecurityEraseUnit:
            return "SECURITY ERASE UNIT";
        case ata::cmd::kSecurityDisablePassword:
            return "SECURITY DISABLE PASSWORD";
        case ata::cmd::kSmart:
            if (input.features == ata::cmd::kSmartReadData) {
                return "SMART READ DATA";
            }
            return "SMART VENDOR ERASE " + Hex2(input.features);
        default:
            return "COMMAND " + Hex2(input.command);
    }
}

std::string DescribeCommand(const SentCommand& c) {
    const ata::AtaTaskFile& in = c.input;
    std::string text = CommandName(in);
    text.resize(std::max<size_t>(text.size(), 26), ' ');
    text += " cmd=" + Hex2(in.command) + " feat=" + Hex2(in.features) +
            " count=" + Hex2(in.sectorCount) + " lba=" + Hex2(in.lbaHigh) + ":" + Hex2(in.lbaMid) +
            ":" + Hex2(in.lbaLow) + " dev=" + Hex2(in.device);
    if (c.flags & ata::ATA_FLAGS_DATA_OUT) {
        text += " data-out " + std::to_string(c.dataLength) + " B";
    } else if (c.flags & ata::ATA_FLAGS_DATA_IN) {
        text += " data-in " + std::to_string(c.dataLength) + " B";
    } else {
        text += " no data";
    }
    text += ", " + std::to_string(c.timeOutSeconds) + " s";
    return text;
}

DriveIdentity IdentityOf(const ata::IdentifyBlock& identify) {
    DriveIdentity identity{ata::ModelNumber(identify), ata::SerialNumber(identify), {}};
    // Word 87 bits 15-14 = 01 say the word is valid; bit 8 that words 108-111 hold a WWN.
    const uint16_t w87 = ata::Word(identify, 87);
    if ((w87 & 0xC000) == 0x4000 && (w87 & 0x0100)) {
        for (int k = 0; k < 4; ++k) {
            identity.wwn[k] = ata::Word(identify, 108 + k);
        }
    }
    return identity;
}

std::string DescribeIdentity(const DriveIdentity& identity) {
    auto trimmed = [](const std::string& text) {
        const size_t first = text.find_first_not_of(' ');
        return first == std::string::npos ? std::string() : ata::TrimRight(text.substr(first));
    };
    std::string text = trimmed(identity.model) + ", serial " + trimmed(identity.serial);
    if (identity.wwn != std::array<uint16_t, 4>{}) {
        text += ", WWN ";
        for (uint16_t word : identity.wwn) {
            text += Hex2(static_cast<uint8_t>(word >> 8)) + Hex2(static_cast<uint8_t>(word));
        }
    }
    return text;
}

std::vector<std::string> DriveVolumes(DriveSystem& drives, int driveNumber) {
    std::vector<std::string> volumes;
    for (const std::string& name : drives.VolumeNames()) {
        if (drives.VolumeDiskNumber(name) == driveNumber) {
            volumes.push_back(name);
        }
    }
    return volumes;
}

bool IsBootDrive(DriveSystem& drives, int driveNumber) {
    for (int disk : drives.SystemDiskNumbers()) {
        if (disk < 0 || disk == driveNumber) {
            return true;
        }
    }
    return false;
}

bool RefuseBootDrive(DriveSystem& drives, const EraseTarget& target, ErasePrompter& prompter) {
    if (!IsBootDrive(drives, target.driveNumber)) {
        return false;
    }
    prompter.Ask(MessageFor(MessageId::BootDrive, target.modelText));
    return true;
}

bool ConfirmErase(DriveSystem& drives, const EraseTarget& target, ErasePrompter& prompter) {
    const std::string text =
        ConfirmationText(target.modelText, DriveVolumes(drives, target.driveNumber));
    return prompter.Ask(MessageFor(MessageId::Confirmation, text)) == Answer::Yes;
}

const char* EndingName(EraseEnding ending) {
    switch (ending) {
        case EraseEnding::IdentifyFailed:
            return "identify-failed";
        case EraseEnding::BootDriveOnRepeat:
            return "boot-drive";
        case EraseEnding::DeclinedOnRepeat:
            return "declined";
        case EraseEnding::CheckFailed:
            return "check-failed";
        case EraseEnding::OtherDrive:
            return "other-drive";
        case EraseEnding::DriveBusy:
            return "drive-busy";
        case EraseEnding::NotOpened:
            return "not-opened";
        case EraseEnding::PrepareNotDelivered:
            return "prepare-not-delivered";
        case EraseEnding::EraseNotDelivered:
            return "erase-not-delivered";
        case EraseEnding::EraseAborted:
            return "erase-aborted";
        case EraseEnding::VendorNotDelivered:
            return "vendor-not-delivered";
        case EraseEnding::VendorAborted:
            return "vendor-aborted";
        case EraseEnding::Done:
            return "done";
    }
    return "";
}

ButtonsAfter ButtonsAfterEnding(EraseEnding ending) {
    switch (ending) {
        case EraseEnding::IdentifyFailed:
        case EraseEnding::BootDriveOnRepeat:
        case EraseEnding::CheckFailed:
        case EraseEnding::OtherDrive:
        case EraseEnding::DriveBusy:
            return ButtonsAfter::BothDisabled;
        case EraseEnding::DeclinedOnRepeat:
            return ButtonsAfter::QuickEnabled;
        default:
            return ButtonsAfter::AllEnabled;
    }
}

EraseFlowResult SecurityEraseFlow(platform::Platform& platform, const EraseTarget& target,
                                  ErasePrompter& prompter, EraseHooks& hooks,
                                  const EraseFlowOptions& options) {
    FlowScope flow(platform, target, prompter, hooks, options, EraseFlowKind::Security);
    EraseFlowResult& result = flow.result;
    const int drive = flow.target.driveNumber;
    platform::DriveOpening claim;
    if (!ClaimForFlow(flow, claim)) {
        return result;
    }

    ata::IdentifyBlock identify{};
    if (!ata::IdentifyDevice(flow.drives, drive, identify)) {
        result.ending = EraseEnding::IdentifyFailed;
        return result;
    }
    if (RefuseOtherDrive(flow, identify)) {
        return result;
    }
    result.check = CheckResult::Frozen;
    result.passes = 0;
    while (result.check == CheckResult::Frozen) {
        if (result.passes > 0) {
            // The drive was re-plugged: ask afresh which drive and volumes go.
            if (RefuseBootDrive(flow.drives, flow.target, flow.prompter)) {
                result.ending = EraseEnding::BootDriveOnRepeat;
                return result;
            }
            if (!ConfirmErase(flow.drives, flow.target, flow.prompter)) {
                hooks.EnableQuickErase();
                result.ending = EraseEnding::DeclinedOnRepeat;
                return result;
            }
            // A re-plugged disk is a new device the old claim does not hold; an automounter
            // may have taken it already.
            if (!ClaimForFlow(flow, claim)) {
                return result;
            }
        }
        // A failed read keeps the last data, which showed the confirmed drive.
        if (ata::IdentifyDevice(flow.drives, drive, identify) && RefuseOtherDrive(flow, identify)) {
            return result;
        }
        result.check = CheckSecurityState(flow.security, ata::SecurityStatusByte(identify));
        ++result.passes;
    }
    if (result.check != CheckResult::Ready) {
        flow.prompter.Ask(MessageFor(MessageId::CheckFailed, CheckResultName(result.check)));
        result.ending = EraseEnding::CheckFailed;
        return result;
    }
    const PasswordResult set = SecuritySetPassword(flow.security);
    PasswordTakeBack takeBack;
    takeBack.armed = set.outcome == PasswordOutcome::Accepted;
    const bool delivered = EraseRun(flow, RunCommand::Security, &takeBack);
    if (!set.delivered() || !delivered) {
        flow.Show(MessageId::SecureEraseFail);
    }
    takeBack.Report(flow);
    return result;
}

EraseFlowResult VendorEraseFlow(platform::Platform& platform, const EraseTarget& target,
                                ErasePrompter& prompter, EraseHooks& hooks,
                                const EraseFlowOptions& options) {
    FlowScope flow(platform, target, prompter, hooks, options, EraseFlowKind::Vendor);
    platform::DriveOpening claim;
    if (ClaimForFlow(flow, claim)) {
        EraseRun(flow, RunCommand::Vendor);
    }
    return flow.result;
}

}  // namespace vellumin::erase
