#include "platform/HostIo.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace vellumin::platform {
namespace {

std::atomic<InterruptHook::Handler> g_handler{nullptr};

void OnSignal(int) {
    if (auto handler = g_handler.load(std::memory_order_relaxed)) {
        handler();
    }
}

}  // namespace

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

bool SyncToDisk(int fd) { return ::fsync(fd) == 0; }

void MakeReadableByAll(int fd) { ::fchmod(fd, 0644); }

bool RenameOnto(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

struct InterruptHook::Previous {
    struct sigaction action {};
    Handler handler = nullptr;
};

InterruptHook::InterruptHook(Handler handler, Repeat repeat)
    : m_previous(std::make_unique<Previous>()) {
    m_previous->handler = g_handler.exchange(handler);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    action.sa_flags = repeat == Repeat::Once ? SA_RESETHAND : 0;
    sigemptyset(&action.sa_mask);
    m_installed = sigaction(SIGINT, &action, &m_previous->action) == 0;
}

InterruptHook::~InterruptHook() {
    if (m_installed) {
        sigaction(SIGINT, &m_previous->action, nullptr);
    }
    g_handler.store(m_previous->handler);
}

std::string SystemErrorText(int code) {
    return "errno " + std::to_string(code) + ": " + std::strerror(code);
}

void WriteToStandardError(const char* text) {
    [[maybe_unused]] auto written = ::write(STDERR_FILENO, text, std::strlen(text));
}

}  // namespace vellumin::platform
