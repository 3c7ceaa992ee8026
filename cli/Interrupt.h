#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/Platform.h"

namespace vellumin::cli {

// A signal inherited as ignored (a background job, nohup) stays ignored by all of these: the
// user who started the program chose that.

// Which signals end the work: Ctrl-C alone, or also SIGTERM and SIGHUP (on Windows: Ctrl-C
// and Ctrl-Break, the only console events a program may answer at leisure).
enum class EndingSignals { InterruptOnly, All };

// Signals as the Stop or Cancel button of the work in progress: the first sets `request` and
// prints `note` on standard error; a second of the same kind gets the default action back and
// quits at once. SIGTERM and SIGHUP are also a request to end the program: once the work has
// stopped and said so, EndByDeferredSignal ends it. The handler reaches the request through a
// global, so one is armed at a time.
class InterruptAsRequest {
public:
    InterruptAsRequest(std::atomic<int32_t>& request, const char* note,
                       EndingSignals signals = EndingSignals::InterruptOnly);
    ~InterruptAsRequest();
    InterruptAsRequest(const InterruptAsRequest&) = delete;
    InterruptAsRequest& operator=(const InterruptAsRequest&) = delete;

private:
    struct Previous;  // the handling it replaced, per system
    std::unique_ptr<Previous> m_previous;
};

// SIGINT, SIGTERM and SIGHUP held while a drive is being changed: a program ended half-way
// would leave the drive with our password set. From Begin on, the first of them prints `note`
// once; the first one held ends the program by EndByDeferredSignal after the work's report.
class SignalHold {
public:
    explicit SignalHold(const char* note);
    ~SignalHold();
    SignalHold(const SignalHold&) = delete;
    SignalHold& operator=(const SignalHold&) = delete;

    void Begin();  // again while held: nothing
    void Release();
    bool Holding() const { return m_previous != nullptr; }

private:
    struct Previous;
    const char* m_note;
    std::unique_ptr<Previous> m_previous;
};

// The platform with its drives behind `hold`: the first command that starts a change the
// program must see through to its end (SECURITY SET PASSWORD, a vendor erase) begins it.
class HoldWhileChanging final : public platform::Platform, private platform::ForwardingDriveSystem {
public:
    HoldWhileChanging(platform::Platform& inner, SignalHold& hold)
        : ForwardingDriveSystem(inner.Drives()), m_inner(inner), m_hold(hold) {}
    platform::DriveSystem& Drives() override { return *this; }
    platform::System& Sys() override { return m_inner.Sys(); }

private:
    platform::DriveHandlePtr WrapHandle(platform::DriveHandlePtr handle) override;

    platform::Platform& m_inner;
    SignalHold& m_hold;
};

// The signal deferred by a hold or a request to end the program (0: none), cleared.
int TakeDeferredSignal();
// Ends the program by the deferred signal with its default action; returns when there is none.
void EndByDeferredSignal();

}  // namespace vellumin::cli
