#include "cli/Interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <initializer_list>
#include <vector>

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

using Dispositions = std::vector<std::pair<int, struct sigaction>>;

// Installs `handler` for each signal not inherited as ignored; returns what it replaced. System
// calls the signal interrupts start again: a report cut short by EINTR would be lost.
Dispositions Install(std::initializer_list<int> signals, void (*handler)(int), int flags) {
    Dispositions previous;
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

void Restore(Dispositions& previous) {
    for (const auto& [signal, action] : previous) {
        sigaction(signal, &action, nullptr);
    }
    previous.clear();
}

}  // namespace

struct InterruptAsRequest::Previous {
    Dispositions dispositions;
};

InterruptAsRequest::InterruptAsRequest(std::atomic<int32_t>& request, const char* note,
                                       EndingSignals signals)
    : m_previous(std::make_unique<Previous>()) {
    g_request.store(&request);
    g_note.store(note);
    m_previous->dispositions =
        signals == EndingSignals::All ? Install({SIGINT, SIGTERM, SIGHUP}, OnInterrupt, SA_RESETHAND | SA_RESTART)
                                      : Install({SIGINT}, OnInterrupt, SA_RESETHAND | SA_RESTART);
}

InterruptAsRequest::~InterruptAsRequest() {
    Restore(m_previous->dispositions);
    g_request.store(nullptr);
    g_note.store(nullptr);
}

struct SignalHold::Previous {
    Dispositions dispositions;
};

SignalHold::SignalHold(const char* note) : m_note(note) {}

SignalHold::~SignalHold() { Release(); }

void SignalHold::Begin() {
    if (Holding()) {
        return;
    }
    g_note.store(m_note);
    g_noteSaid.store(false);
    m_previous = std::make_unique<Previous>();
    m_previous->dispositions = Install({SIGINT, SIGTERM, SIGHUP}, OnHeld, SA_RESTART);
}

void SignalHold::Release() {
    if (Holding()) {
        Restore(m_previous->dispositions);
        m_previous.reset();
        g_note.store(nullptr);
    }
}

int TakeDeferredSignal() {
    return g_deferred.exchange(0);
}

}  // namespace vellumin::cli
