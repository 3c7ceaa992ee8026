#include "cli/Interrupt.h"

namespace vellumin::cli {
namespace {

std::atomic<std::atomic<int32_t>*> g_request{nullptr};
std::atomic<const char*> g_note{nullptr};
static_assert(std::atomic<int32_t>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<std::atomic<int32_t>*>::is_always_lock_free, "read in a signal handler");

void OnInterrupt() {
    if (auto* request = g_request.load(std::memory_order_relaxed)) {
        request->store(1, std::memory_order_relaxed);
    }
    if (const char* note = g_note.load(std::memory_order_relaxed)) {
        platform::WriteToStandardError(note);
    }
}

std::atomic<int32_t>& Arm(std::atomic<int32_t>& request, const char* note) {
    g_request.store(&request);
    g_note.store(note);
    return request;
}

}  // namespace

// The globals are set before the hook exists, so the first Ctrl-C already finds them.
InterruptAsRequest::InterruptAsRequest(std::atomic<int32_t>& request, const char* note)
    : m_hook((Arm(request, note), OnInterrupt), platform::InterruptHook::Repeat::Once) {}

InterruptAsRequest::~InterruptAsRequest() {
    g_request.store(nullptr);
    g_note.store(nullptr);
}

}  // namespace vellumin::cli
