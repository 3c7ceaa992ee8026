// Running a helper program hidden, its output in a file of our own: CreateProcess with the
// file as its standard output, never a command line that names a path.
#include "platform/CommandRunner.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <utility>

#include "host/HostTrim.h"
#include "platform/Win32Text.h"

namespace vellumin::platform {
namespace {

HANDLE OsHandle(int fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

// A handle the child inherits, duplicated from ours; nullptr when there is none.
HANDLE Inheritable(HANDLE handle) {
    HANDLE copy = nullptr;
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
        !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                         DUPLICATE_SAME_ACCESS)) {
        return nullptr;
    }
    return copy;
}

class CreateProcessRunner final : public CommandRunner {
public:
    bool Run(const std::vector<std::string>& argv, int outputFd) override {
        if (argv.empty() || outputFd < 0) {
            return false;
        }
        std::string commandLine;
        for (const std::string& argument : argv) {
            commandLine += (commandLine.empty() ? "" : " ") + windows_backend::QuoteArgument(argument);
        }
        SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
        // Hidden: nothing to read from a console, so a prompt cannot hang the wait.
        HANDLE input = CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   &inherit, OPEN_EXISTING, 0, nullptr);
        HANDLE output = Inheritable(OsHandle(outputFd));
        HANDLE error = Inheritable(GetStdHandle(STD_ERROR_HANDLE));
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.wShowWindow = SW_HIDE;
        startup.hStdInput = input != INVALID_HANDLE_VALUE ? input : nullptr;
        startup.hStdOutput = output;
        startup.hStdError = error;
        PROCESS_INFORMATION process{};
        const bool started = output != nullptr &&
                             CreateProcessA(argv[0].c_str(), commandLine.data(), nullptr, nullptr,
                                            TRUE, 0, nullptr, nullptr, &startup, &process) != 0;
        for (HANDLE h : {startup.hStdInput, output, error}) {
            if (h != nullptr) {
                CloseHandle(h);
            }
        }
        if (!started) {
            return false;
        }
        WaitForSingleObject(process.hProcess, INFINITE);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return true;
    }
};

}  // namespace

// In the user's temporary folder under a random name, created only if new, shared with no one,
// deleted by the system when the last handle closes: nobody can open, replace or link it and
// nothing is left behind.
std::optional<TempFile> TempFile::Create() {
    char folder[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof folder, folder);
    if (length == 0 || length > MAX_PATH) {
        return std::nullopt;
    }
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "vellumin-%08x%08x.tmp", random(), random());
        const std::string path = std::string(folder) + name;
        HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | FILE_APPEND_DATA | DELETE, 0, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                                  nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) {
                continue;
            }
            return std::nullopt;
        }
        const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
        if (fd < 0) {
            CloseHandle(file);
            return std::nullopt;
        }
        return TempFile(fd);
    }
    return std::nullopt;
}

TempFile::TempFile(TempFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            _close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

TempFile::~TempFile() {
    if (m_fd >= 0) {
        _close(m_fd);
    }
}

std::optional<std::string> TempFile::ReadFromStart(std::size_t maxBytes) const {
    std::string text(maxBytes, '\0');
    std::size_t done = 0;
    while (done < maxBytes) {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(done);
        DWORD n = 0;
        if (!ReadFile(OsHandle(m_fd), text.data() + done, static_cast<DWORD>(maxBytes - done), &n, &at)) {
            if (GetLastError() == ERROR_HANDLE_EOF) {
                break;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    text.resize(done);
    return text;
}

CommandRunner& SpawnRunner() {
    static CreateProcessRunner runner;
    return runner;
}

std::vector<std::string> EchoCommandLine(const std::string& line) {
    const std::string shell = platform::windows_backend::SystemDirectory() + "\\cmd.exe";
    if (line.empty()) {
        return {shell, "/d", "/c", "rem"};
    }
    // Word by word, so that no argument is quoted: cmd.exe would print the quotes.
    std::vector<std::string> argv{shell, "/d", "/c", "echo"};
    size_t start = 0;
    while (start < line.size()) {
        const size_t end = std::min(line.find(' ', start), line.size());
        if (end > start) {
            argv.push_back(line.substr(start, end - start));
        }
        start = end + 1;
    }
    return argv;
}

// fsutil from the system directory, so no other program of that name can be found first; its
// answer ("DisableDeleteNotify = 0", on later systems once per file system) is read by its
// first "=".
}  // namespace vellumin::platform

namespace vellumin::host {

std::vector<std::string> HostTrimCommandLine(platform::TrimCommand command) {
    using platform::TrimCommand;
    const std::string fsutil = platform::windows_backend::SystemDirectory() + "\\fsutil.exe";
    if (command == TrimCommand::Query) {
        return {fsutil, "behavior", "query", "DisableDeleteNotify"};
    }
    return {fsutil, "behavior", "set", "DisableDeleteNotify", command == TrimCommand::TurnOn ? "0" : "1"};
}

}  // namespace vellumin::host

namespace vellumin::platform {

bool System::RunTrimCommand(TrimCommand command, int outputFd) {
    return Runner().Run(host::HostTrimCommandLine(command), outputFd);
}

CommandRunner& System::Runner() { return SpawnRunner(); }

}  // namespace vellumin::platform
