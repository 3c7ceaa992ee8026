#include "cli/Interrupt.h"

#include <unistd.h>

#include <cstring>

namespace vellumin::cli {
namespace {

std::atomic<std::atomic<int32_t>*> g_request{nullptr};
std::atomic<const char*> g_note{nullptr};
static_assert(std::atomic<int32_t>::is_always_lock_free, "set from a signal handler");
static_assert(std::atomic<std::atomic<int32_t>*>::is_always_lock_free, "read in a signal handler");

void OnInterrupt(int) {
    if (auto* request = g_request.load(std::memory_order_relaxed)) {
        request->store(1, std::memory_order_relaxed);
    }
    if (const char* note = g_note.load(std::memory_order_relaxed)) {
        [[maybe_unused]] auto written = write(STDERR_FILENO, note, std::strlen(note));
    }
}

}  // namespace

InterruptAsRequest::InterruptAsRequest(std::atomic<int32_t>& request, const char* note) {
    g_request.store(&request);
    g_note.store(note);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &m_previous);
}

InterruptAsRequest::~InterruptAsRequest() {
    sigaction(SIGINT, &m_previous, nullptr);
    g_request.store(nullptr);
    g_note.store(nullptr);
}

}  // namespace vellumin::cli
