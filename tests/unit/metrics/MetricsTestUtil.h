#pragma once

// Shared by the metrics tests: a scratch folder under the build tree that is the state folder
// while it lives, a reader of the exposition format, and running the real tools.

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/Command.h"

extern char** environ;

namespace vellumin::test {

namespace fs = std::filesystem;

class StateFolder {
public:
    StateFolder() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_path = fs::path(VELLUMIN_TEST_TMP) / (std::string(info->test_suite_name()) + "." +
                                                info->name() + "." + std::to_string(getpid()));
        fs::remove_all(m_path);
        fs::create_directories(m_path / "state");
        setenv("VELLUMIN_STATE_DIR", (m_path / "state").c_str(), 1);
    }
    ~StateFolder() {
        unsetenv("VELLUMIN_STATE_DIR");
        fs::remove_all(m_path);
    }
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;
    const fs::path& path() const { return m_path; }
    fs::path state() const { return m_path / "state"; }

private:
    fs::path m_path;
};

struct CliRun {
    explicit CliRun(const std::vector<std::string>& args) : code(cli::RunCli(args, out, err)) {}
    std::ostringstream out, err;
    int code;
};

// Series -> value. A series is written name{a=x,b=y} with the labels sorted by name and their
// values unescaped, whatever order and number format the producer used.
inline std::map<std::string, double> ParseSamples(const std::string& text) {
    std::map<std::string, double> samples;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        size_t i = line.find_first_of("{ ");
        const std::string name = line.substr(0, i);
        std::map<std::string, std::string> labels;
        if (line[i] == '{') {
            ++i;
            while (line[i] != '}') {
                const size_t eq = line.find('=', i);
                std::string label = line.substr(i, eq - i), value;
                for (i = eq + 2; line[i] != '"'; ++i) {
                    if (line[i] == '\\') {
                        ++i;
                        value += line[i] == 'n' ? '\n' : line[i];
                    } else {
                        value += line[i];
                    }
                }
                labels[label] = value;
                i += line[i + 1] == ',' ? 2 : 1;
            }
            ++i;
        }
        std::string key = name + "{";
        for (const auto& [label, value] : labels) {
            key += (key.back() == '{' ? "" : ",") + label + "=" + value;
        }
        samples[key + "}"] = std::stod(line.substr(i + 1));
    }
    return samples;
}

// Runs a program with its standard input from `input` (or /dev/null); its exit status, with
// what it wrote in `output`.
inline int RunTool(const std::vector<std::string>& args, const fs::path& input,
                   std::string& output) {
    const fs::path log = fs::path(VELLUMIN_TEST_TMP) / ("tool." + std::to_string(getpid()));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, input.empty() ? "/dev/null" : input.c_str(),
                                     O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    std::vector<char*> argv;
    for (const auto& a : args) {
        argv.push_back(const_cast<char*>(a.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = -1;
    if (spawned == 0) {
        waitpid(pid, &status, 0);
    }
    std::ifstream in(log);
    output.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(log);
    return spawned == 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline bool Installed(const char* program) {
    return access(program, X_OK) == 0;
}

inline constexpr const char* kPromtool = "/usr/bin/promtool";

}  // namespace vellumin::test
