#include "cli/Interrupt.h"

#include <csignal>
#include <cstdlib>
#include <optional>

#include "platform/HostIo.h"

// The console's Ctrl-C and Ctrl-Break stand for SIGINT; Windows has no SIGTERM or SIGHUP a
// console program could hold (closing the console ends it after a few seconds whatever it
// answers), so these hold and cancel on Ctrl-C and Ctrl-Break alone.

namespace vellumin::cli {
namespace {

std::atomic<std::atomic<int32_t>*> g_consoleRequest{nullptr};
std::atomic<const char*> g_consoleNote{nullptr};
std::atomic<bool> g_consoleNoteSaid{false};
std::atomic<int> g_consoleDeferred{0};

void OnConsoleInterrupt() {
    if (auto* request = g_consoleRequest.load()) {
        request->store(1);
    }
    if (const char* note = g_consoleNote.load()) {
        platform::WriteToStandardError(note);
    }
}

void OnConsoleHeld() {
    int none = 0;
    g_consoleDeferred.compare_exchange_strong(none, SIGINT);
    if (!g_consoleNoteSaid.exchange(true)) {
        if (const char* note = g_consoleNote.load()) {
            platform::WriteToStandardError(note);
        }
    }
}

}  // namespace

struct InterruptAsRequest::Previous {
    std::optional<platform::InterruptHook> hook;
};

InterruptAsRequest::InterruptAsRequest(std::atomic<int32_t>& request, const char* note, EndingSignals)
    : m_previous(std::make_unique<Previous>()) {
    // Set before the hook exists, so the first Ctrl-C already finds them.
    g_consoleRequest.store(&request);
    g_consoleNote.store(note);
    m_previous->hook.emplace(OnConsoleInterrupt, platform::InterruptHook::Repeat::Once);
}

InterruptAsRequest::~InterruptAsRequest() {
    m_previous->hook.reset();
    g_consoleRequest.store(nullptr);
    g_consoleNote.store(nullptr);
}

struct SignalHold::Previous {
    std::optional<platform::InterruptHook> hook;
};

SignalHold::SignalHold(const char* note) : m_note(note) {}

SignalHold::~SignalHold() { Release(); }

void SignalHold::Begin() {
    if (Holding()) {
        return;
    }
    g_consoleNote.store(m_note);
    g_consoleNoteSaid.store(false);
    m_previous = std::make_unique<Previous>();
    m_previous->hook.emplace(OnConsoleHeld, platform::InterruptHook::Repeat::Always);
}

void SignalHold::Release() {
    if (Holding()) {
        m_previous.reset();
        g_consoleNote.store(nullptr);
    }
}

int TakeDeferredSignal() {
    return g_consoleDeferred.exchange(0);
}

}  // namespace vellumin::cli
