#include "platform/CommandRunner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

extern char** environ;

namespace vellumin::platform {

std::optional<TempFile> TempFile::Create() {
    const char* folder = std::getenv("TMPDIR");
    std::string name = (folder != nullptr && *folder != '\0') ? folder : "/tmp";
    name += "/vellumin-XXXXXX";
    // mkostemp: exclusive creation (a planted name or link is never followed), mode 0600.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC | O_APPEND);
    if (fd < 0) {
        return std::nullopt;
    }
    ::unlink(name.c_str());
    ::fchmod(fd, S_IRUSR | S_IWUSR);
    return TempFile(fd);
}

TempFile::TempFile(TempFile&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

TempFile& TempFile::operator=(TempFile&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

TempFile::~TempFile() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::optional<std::string> TempFile::ReadFromStart(std::size_t maxBytes) const {
    std::string text(maxBytes, '\0');
    std::size_t done = 0;
    while (done < maxBytes) {
        const ssize_t n =
            ::pread(m_fd, text.data() + done, maxBytes - done, static_cast<off_t>(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return std::nullopt;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    text.resize(done);
    return text;
}

std::optional<int> SpawnAndWait(const std::vector<std::string>& argv, const SpawnOptions& options) {
    if (argv.empty()) {
        return std::nullopt;
    }
    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0) {
        return std::nullopt;
    }
    bool ok = true;
    if (options.inputFromNull) {
        ok = posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0) == 0;
    }
    if (ok && options.outputFd >= 0) {
        ok = posix_spawn_file_actions_adddup2(&actions, options.outputFd, STDOUT_FILENO) == 0;
    }
    pid_t child = 0;
    if (ok) {
        const auto spawn = options.searchPath ? ::posix_spawnp : ::posix_spawn;
        ok = spawn(&child, args[0], &actions, nullptr, args.data(), environ) == 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (!ok) {
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR) {
            return std::nullopt;
        }
    }
    return status;
}

bool ExitedZero(const std::optional<int>& waitStatus) {
    return waitStatus && WIFEXITED(*waitStatus) && WEXITSTATUS(*waitStatus) == 0;
}

namespace {

class SpawnCommandRunner final : public CommandRunner {
public:
    bool Run(const std::vector<std::string>& argv, int outputFd) override {
        if (outputFd < 0) {
            return false;
        }
        // Started is what counts: the command's own output says how it went.
        return SpawnAndWait(argv, {.outputFd = outputFd, .inputFromNull = true}).has_value();
    }
};

}  // namespace

CommandRunner& SpawnRunner() {
    static SpawnCommandRunner runner;
    return runner;
}

std::vector<std::string> EchoCommandLine(const std::string& line) {
    if (line.empty()) {
        return {"/bin/sh", "-c", ":"};
    }
    return {"/bin/sh", "-c", "printf '%s\\n' \"$1\"", "sh", line};
}

}  // namespace vellumin::platform
