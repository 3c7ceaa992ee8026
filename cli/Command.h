#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/Platform.h"

// The commands' tests run RunCli without the weight of the parser's header.
namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace vellumin::cli {

// Exit statuses shared by every command (also listed in --help).
enum ExitCode : int {
    ExitOk = 0,
    ExitFailure = 1,   // the operation ran and reports a failure (e.g. scan found an error)
    ExitUsage = 2,     // bad arguments, malformed lab file
    ExitNoRights = 3,  // may not open raw disks
    ExitNoDrive = 4,   // drive number without a (readable) drive
    ExitStopped = 5,   // stopped by the user (Ctrl-C)
};

// What every command gets: the global options and, on first use, the platform.
class Context {
public:
    bool json = false;
    bool verbose = false;  // say why a command was not delivered
    std::optional<std::string> simulate;  // set: run on the lab ("" = default lab)

    // Creates the platform the options choose. Throws CommandError with the exit status
    // (e.g. no rights for the real backend, a malformed lab).
    platform::Platform& Platform();
    // The same for commands that open no drive (operating system, TRIM): the real backend is
    // created without asking for the rights raw disks need.
    platform::Platform& SystemPlatform();

    std::ostream& out();
    std::ostream& err();
    // Where out() and err() write (std::cout / std::cerr unless RunCli was given others).
    std::ostream* outStream = nullptr;
    std::ostream* errStream = nullptr;
    // Where a command reads the user's answers (std::cin unless RunCli was given another).
    std::istream& in();
    std::istream* inStream = nullptr;
    // --save-lab FILE: after the command, the lab as it stands is written there.
    std::optional<std::string> saveLab;

    // Prints a JSON document (with --json).
    void PrintJson(const nlohmann::json& document);

    // Binds a subcommand to its action, run after parsing when the subcommand was given; the
    // action returns the exit status and may throw CommandError.
    void OnRun(CLI::App* subcommand, std::function<int()> action);

    std::vector<std::pair<CLI::App*, std::function<int()>>> m_actions;

    std::unique_ptr<platform::Platform> m_platform;
};

struct CommandError : std::runtime_error {
    CommandError(int code, const std::string& message) : std::runtime_error(message), code(code) {}
    int code;
};

// A command file registers itself with a static Registrar; `order` fixes --help order.
using CommandSetup = std::function<void(CLI::App& app, Context& context)>;
struct Registrar {
    Registrar(int order, CommandSetup setup);
};

// Parses the arguments (without the program name), runs the chosen command and returns the
// exit status. `platform`, when given, is used instead of the one the options would create.
int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           std::unique_ptr<platform::Platform> platform = nullptr);
// The same, reading the user's answers from `in`.
int RunCli(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err,
           std::unique_ptr<platform::Platform> platform = nullptr);

}  // namespace vellumin::cli
