#include "platform/HostIo.h"

#include <windows.h>
#include <io.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "platform/Win32Text.h"

namespace vellumin::platform {
namespace {

std::atomic<InterruptHook::Handler> g_handler{nullptr};
std::atomic<bool> g_once{false};

// Runs on a thread the console starts for the event. Answering FALSE hands the event to the
// next handler, in the end the default one, which ends the process.
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
        return FALSE;
    }
    InterruptHook::Handler handler = g_once.load() ? g_handler.exchange(nullptr) : g_handler.load();
    if (handler == nullptr) {
        return FALSE;
    }
    handler();
    return TRUE;
}

int ErrnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        default:
            return EIO;
    }
}

}  // namespace

bool StandardErrorIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool SyncToDisk(int fd) { return _commit(fd) == 0; }

void MakeReadableByAll(int) {}

bool RenameOnto(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    errno = ErrnoOf(GetLastError());
    return false;
}

struct InterruptHook::Previous {
    Handler handler = nullptr;
    bool once = false;
};

InterruptHook::InterruptHook(Handler handler, Repeat repeat)
    : m_previous(std::make_unique<Previous>()) {
    m_previous->handler = g_handler.exchange(handler);
    m_previous->once = g_once.exchange(repeat == Repeat::Once);
    m_installed = SetConsoleCtrlHandler(OnConsoleControl, TRUE) != 0;
}

InterruptHook::~InterruptHook() {
    if (m_installed) {
        SetConsoleCtrlHandler(OnConsoleControl, FALSE);
    }
    g_handler.store(m_previous->handler);
    g_once.store(m_previous->once);
}

std::string SystemErrorText(int code) {
    return "Windows error " + std::to_string(code) + ": " +
           windows_backend::Win32ErrorMessage(static_cast<DWORD>(code));
}

void WriteToStandardError(const char* text) {
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), text, static_cast<DWORD>(std::strlen(text)), &written,
              nullptr);
}

}  // namespace vellumin::platform
