#include "cli/Interrupt.h"

#include <unistd.h>

#include <cstring>
#include <iostream>

#include "ata/Registers.h"

namespace vellumin::cli {
namespace {

std::atomic<std::atomic<int32_t>*> g_request{nullptr};
std::atomic<const char*> g_note{nullptr};
std::atomic<bool> g_noteSaid{false};
std::atomic<int> g_deferred{0};
static_assert(std::atomic<int32_t>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<std::atomic<int32_t>*>::is_always_lock_free, "read in a signal handler");
static_assert(std::atomic<int>::is_always_lock_free, "set from a signal handler");

void Say(const char* note) {
    if (note != nullptr) {
        [[maybe_unused]] auto written = write(STDERR_FILENO, note, std::strlen(note));
    }
}

void Defer(int signal) {
    int none = 0;
    g_deferred.compare_exchange_strong(none, signal, std::memory_order_relaxed);
}

void OnInterrupt(int signal) {
    if (auto* request = g_request.load(std::memory_order_relaxed)) {
        request->store(1, std::memory_order_relaxed);
    }
    if (signal != SIGINT) {
        Defer(signal);
    }
    Say(g_note.load(std::memory_order_relaxed));
}

void OnHeld(int signal) {
    Defer(signal);
    if (!g_noteSaid.exchange(true, std::memory_order_relaxed)) {
        Say(g_note.load(std::memory_order_relaxed));
    }
}

// Installs `handler` for each signal not inherited as ignored; returns what it replaced. System
// calls the signal interrupts start again: a report cut short by EINTR would be lost.
std::vector<std::pair<int, struct sigaction>> Install(std::initializer_list<int> signals,
                                                      void (*handler)(int), int flags) {
    std::vector<std::pair<int, struct sigaction>> previous;
    for (int signal : signals) {
        struct sigaction current {};
        if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = handler;
        action.sa_flags = flags;
        sigemptyset(&action.sa_mask);
        for (int other : signals) {
            sigaddset(&action.sa_mask, other);
        }
        if (sigaction(signal, &action, &current) == 0) {
            previous.emplace_back(signal, current);
        }
    }
    return previous;
}

void Restore(std::vector<std::pair<int, struct sigaction>>& previous) {
    for (const auto& [signal, action] : previous) {
        sigaction(signal, &action, nullptr);
    }
    previous.clear();
}

// SECURITY SET PASSWORD must be followed by the erase or by taking the password off again; a
// vendor erase runs on inside the drive whatever the program does. IDENTIFY DEVICE, SMART READ
// DATA and the check's UNLOCK / DISABLE PASSWORD leave a drive no worse for an ending.
bool StartsAChange(const platform::AtaTaskFile& input) {
    return input.command == ata::cmd::kSecuritySetPassword ||
           (input.command == ata::cmd::kSmart && input.features != ata::cmd::kSmartReadData);
}

class HoldingHandle final : public platform::DriveHandle {
public:
    HoldingHandle(platform::DriveHandlePtr inner, SignalHold& hold)
        : m_inner(std::move(inner)), m_hold(hold) {}
    platform::PassThroughResult PassThrough(platform::AtaPassThroughRequest& request) override {
        if (StartsAChange(request.currentTaskFile)) {
            m_hold.Begin();
        }
        return m_inner->PassThrough(request);
    }
    std::optional<uint64_t> SectorCount() override { return m_inner->SectorCount(); }
    bool Flush() override { return m_inner->Flush(); }

private:
    platform::DriveHandlePtr m_inner;
    SignalHold& m_hold;
};

}  // namespace

InterruptAsRequest::InterruptAsRequest(std::atomic<int32_t>& request, const char* note,
                                       std::initializer_list<int> signals) {
    g_request.store(&request);
    g_note.store(note);
    m_previous = Install(signals, OnInterrupt, SA_RESETHAND | SA_RESTART);
}

InterruptAsRequest::~InterruptAsRequest() {
    Restore(m_previous);
    g_request.store(nullptr);
    g_note.store(nullptr);
}

void SignalHold::Begin() {
    if (Holding()) {
        return;
    }
    g_note.store(m_note);
    g_noteSaid.store(false);
    m_previous = Install({SIGINT, SIGTERM, SIGHUP}, OnHeld, SA_RESTART);
}

void SignalHold::Release() {
    if (Holding()) {
        Restore(m_previous);
        g_note.store(nullptr);
    }
}

platform::DriveHandlePtr HoldWhileChanging::WrapHandle(platform::DriveHandlePtr handle) {
    return std::make_unique<HoldingHandle>(std::move(handle), m_hold);
}

int TakeDeferredSignal() {
    return g_deferred.exchange(0);
}

void EndByDeferredSignal() {
    const int signal = TakeDeferredSignal();
    if (signal == 0) {
        return;
    }
    std::cout.flush();
    std::cerr.flush();
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    raise(signal);
}

}  // namespace vellumin::cli
