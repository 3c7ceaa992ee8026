#pragma once

// The few file and console operations whose system calls differ between the hosts the
// command-line program runs on; everything else uses the C and C++ libraries.

#include <memory>
#include <string>

namespace vellumin::platform {

// Whether standard error is a terminal (progress lines are redrawn in place only there).
bool StandardErrorIsTerminal();

// The file's data reach the medium before it is renamed over an older file.
bool SyncToDisk(int fd);
// Mode 0644 where the system has modes (a file created private by mkstemp becomes readable
// as an ordinary file is); nothing to do elsewhere.
void MakeReadableByAll(int fd);
// Puts `from` in the place of `to` in one step, replacing a file of that name.
bool RenameOnto(const std::string& from, const std::string& to);

// Ctrl-C, for as long as the object lives: `handler` runs instead of the default action (from a
// signal handler or from the console's control thread, so it may only touch atomics and write
// to standard error). With Once, the default action is back after the first Ctrl-C, so a
// second one ends the program. The previous handling is restored on destruction.
class InterruptHook {
public:
    enum class Repeat { Once, Always };
    using Handler = void (*)();
    InterruptHook(Handler handler, Repeat repeat);
    ~InterruptHook();
    InterruptHook(const InterruptHook&) = delete;
    InterruptHook& operator=(const InterruptHook&) = delete;
    // False when the system refused the handler.
    bool Installed() const { return m_installed; }

private:
    struct Previous;
    std::unique_ptr<Previous> m_previous;
    bool m_installed = false;
};

// A failed system call's code as "errno 13: Permission denied" (POSIX) or
// "Windows error 5: Access is denied." (Windows).
std::string SystemErrorText(int code);

// Writes `text` to standard error with the system's unbuffered call (safe in a signal handler).
void WriteToStandardError(const char* text);

}  // namespace vellumin::platform
