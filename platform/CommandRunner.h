#pragma once

// Running a helper program hidden and collecting what it prints, without ever pasting a path
// or a user's text into a command line.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vellumin::platform {

// A private file for one command's output: created fresh for every run (mkstemp, mode 0600)
// in $TMPDIR or /tmp. Its name is removed the moment it exists, so nobody can open, replace
// or link it, an earlier run's output cannot be read back, and nothing is left behind
// whatever happens next; the file itself lives until the object is destroyed.
class TempFile {
public:
    // nullopt when no file could be created.
    static std::optional<TempFile> Create();

    TempFile(TempFile&& other) noexcept;
    TempFile& operator=(TempFile&& other) noexcept;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile();

    // Open for reading and appending; close-on-exec, a runner hands it over explicitly.
    int Fd() const { return m_fd; }
    // Up to `maxBytes` from the start of the file; nullopt when it cannot be read.
    std::optional<std::string> ReadFromStart(std::size_t maxBytes) const;

private:
    explicit TempFile(int fd) : m_fd(fd) {}
    int m_fd = -1;
};

// How SpawnAndWait starts a program.
struct SpawnOptions {
    bool searchPath = false;  // argv[0] found on PATH; otherwise it is a path
    int outputFd = -1;        // standard output appended there when given; else inherited
    bool inputFromNull = false;  // standard input from /dev/null: a prompt cannot hang the wait
};

// Starts argv[0] with this process's environment and waits for it to end, without a time-out
// (an interrupted wait is resumed). The wait status (WIFEXITED etc.), or nullopt when the
// program could not be started or waited for.
std::optional<int> SpawnAndWait(const std::vector<std::string>& argv, const SpawnOptions& options = {});
// The program ran and exited with 0.
bool ExitedZero(const std::optional<int>& waitStatus);

class CommandRunner {
public:
    virtual ~CommandRunner() = default;
    // Starts argv[0] (an absolute path) with the argument vector `argv`, standard input from
    // /dev/null, standard output appended to `outputFd`, standard error inherited, and waits
    // for it to end, without a time-out. False when the program could not be started.
    virtual bool Run(const std::vector<std::string>& argv, int outputFd) = 0;
};

// The runner of this machine: posix_spawn (CreateProcess on Windows).
CommandRunner& SpawnRunner();

// The argument vector of a child that prints `line` and a line break on its standard output,
// or nothing at all when `line` is empty: the system's shell, which the lab uses to answer in
// place of a real command. `line` holds no shell metacharacters.
std::vector<std::string> EchoCommandLine(const std::string& line);

}  // namespace vellumin::platform
