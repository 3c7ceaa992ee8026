#include "cli/Interrupt.h"

#include <csignal>
#include <iostream>

#include "ata/Registers.h"

namespace vellumin::cli {
namespace {

// SECURITY SET PASSWORD must be followed by the erase or by taking the password off again; a
// vendor erase runs on inside the drive whatever the program does. IDENTIFY DEVICE, SMART READ
// DATA and the check's UNLOCK / DISABLE PASSWORD leave a drive no worse for an ending.
bool StartsAChange(const ata::AtaTaskFile& input) {
    return input.command == ata::cmd::kSecuritySetPassword ||
           (input.command == ata::cmd::kSmart && input.features != ata::cmd::kSmartReadData);
}

class HoldingHandle final : public platform::ForwardingDriveHandle {
public:
    HoldingHandle(platform::DriveHandlePtr inner, SignalHold& hold)
        : ForwardingDriveHandle(std::move(inner)), m_hold(hold) {}
    platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
        if (StartsAChange(request.currentTaskFile)) {
            m_hold.Begin();
        }
        return ForwardingDriveHandle::PassThrough(request);
    }

private:
    SignalHold& m_hold;
};

}  // namespace

platform::DriveHandlePtr HoldWhileChanging::WrapHandle(platform::DriveHandlePtr handle) {
    return std::make_unique<HoldingHandle>(std::move(handle), m_hold);
}

void EndByDeferredSignal() {
    const int signal = TakeDeferredSignal();
    if (signal == 0) {
        return;
    }
    std::cout.flush();
    std::cerr.flush();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

}  // namespace vellumin::cli
