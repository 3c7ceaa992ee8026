#include <algorithm>
#include <fstream>
#include <iostream>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/Command.h"
#include "platform/Version.h"
#include "platform/HostPlatform.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

std::vector<std::pair<int, CommandSetup>>& Commands() {
    static std::vector<std::pair<int, CommandSetup>> commands;
    return commands;
}

}  // namespace

Registrar::Registrar(int order, CommandSetup setup) {
    Commands().emplace_back(order, std::move(setup));
}

platform::Platform& Context::Platform() {
    if (m_platform) {
        return *m_platform;
    }
    if (simulate) {
        try {
            m_platform = platform::sim::CreateSimPlatform(*simulate);
        } catch (const platform::sim::LabError& e) {
            throw CommandError(ExitUsage, e.what());
        }
    } else {
        m_platform = platform::CreateHostPlatform();
        if (!m_platform->Sys().IsAdministrator()) {
            m_platform.reset();
            throw CommandError(ExitNoRights, "Vellumin requires Administrator Privileges.");
        }
    }
    return *m_platform;
}

platform::Platform& Context::SystemPlatform() {
    if (!m_platform && !simulate) {
        m_platform = platform::CreateHostPlatform();
        return *m_platform;
    }
    return Platform();
}

std::ostream& Context::out() {
    return outStream ? *outStream : std::cout;
}
std::ostream& Context::err() {
    return errStream ? *errStream : std::cerr;
}
std::istream& Context::in() {
    return inStream ? *inStream : std::cin;
}

namespace {

// Writes the lab as the command left it; a platform that is no lab has nothing to save.
int SaveLabAfter(Context& context, int code) {
    auto* lab = dynamic_cast<platform::sim::SimPlatform*>(context.m_platform.get());
    if (!lab) {
        return code;
    }
    try {
        const std::string text = lab->SaveLab();
        std::ofstream file(*context.saveLab, std::ios::binary | std::ios::trunc);
        if (!(file << text) || !file.flush()) {
            context.err() << "vellumin-cli: cannot write the lab to " << *context.saveLab << '\n';
            return code == ExitOk ? ExitFailure : code;
        }
    } catch (const platform::sim::LabError& e) {
        context.err() << e.what() << '\n';
        return code == ExitOk ? ExitUsage : code;
    }
    return code;
}

int RunCliWith(const std::vector<std::string>& arguments, std::istream* in, std::ostream& out, std::ostream& err,
               std::unique_ptr<platform::Platform> platform);

}  // namespace

int RunCli(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out, std::ostream& err,
           std::unique_ptr<platform::Platform> platform) {
    return RunCliWith(arguments, &in, out, err, std::move(platform));
}

void Context::OnRun(CLI::App* subcommand, std::function<int()> action) {
    m_actions.emplace_back(subcommand, std::move(action));
}

void Context::PrintJson(const nlohmann::json& document) {
    // Drive texts are 8-bit; a byte that is not UTF-8 must not abort the output.
    out() << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

int RunCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
           std::unique_ptr<platform::Platform> platform) {
    return RunCliWith(arguments, nullptr, out, err, std::move(platform));
}

namespace {

int RunCliWith(const std::vector<std::string>& arguments, std::istream* in, std::ostream& out, std::ostream& err,
               std::unique_ptr<platform::Platform> platform) {
    CLI::App app{"Vellumin: diagnostics and maintenance for SATA solid-state drives",
                 "vellumin-cli"};
    app.set_version_flag("--version", std::string("vellumin-cli ") + VelluminVersion());
    app.require_subcommand(1);
    app.fallthrough();  // global options may also follow the command
    app.footer(
        "Exit status: 0 ok, 1 the operation reports a failure, 2 bad arguments or lab file,\n"
        "3 no rights to open raw disks, 4 no such drive, 5 stopped by the user.");

    Context context;
    context.outStream = &out;
    context.errStream = &err;
    context.inStream = in;
    context.m_platform = std::move(platform);
    std::string lab;
    // A bare --simulate before the command does not take the command's name as its file: the
    // parser never hands a subcommand name to an option.
    auto* simulate = app.add_option("--simulate", lab,
                                    "Run on the simulated lab (the built-in one, or LAB.json)")
                         ->expected(0, 1)
                         ->type_name("[LAB.json]");
    app.add_flag("--json", context.json, "Print one JSON document instead of text");
    app.add_flag("--verbose", context.verbose,
                 "Say why a command was not delivered (the system call, host adapter, driver or sense data)");
    std::string saveLab;
    auto* saveLabOption = app.add_option("--save-lab", saveLab,
                                         "With --simulate: write the lab as the command left it to FILE, as a lab file")
                              ->type_name("FILE");

    auto& commands = Commands();
    std::stable_sort(commands.begin(), commands.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, setup] : commands) {
        setup(app, context);
    }

    std::vector<std::string> storage;
    storage.reserve(arguments.size() + 1);
    storage.push_back("vellumin-cli");
    storage.insert(storage.end(), arguments.begin(), arguments.end());
    std::vector<const char*> argv;
    for (const auto& a : storage) {
        argv.push_back(a.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e, out, err) == 0 ? ExitOk : ExitUsage;
    }
    if (simulate->count() > 0) {
        context.simulate = lab;
    }
    if (saveLabOption->count() > 0) {
        if (!context.simulate && !context.m_platform) {
            err << "--save-lab needs --simulate\n";
            return ExitUsage;
        }
        context.saveLab = saveLab;
    }
    for (auto& [subcommand, action] : context.m_actions) {
        if (!subcommand->parsed()) {
            continue;
        }
        try {
            const int code = action();
            return context.saveLab ? SaveLabAfter(context, code) : code;
        } catch (const CommandError& e) {
            err << e.what() << '\n';
            return e.code;
        } catch (const std::exception& e) {
            err << "vellumin-cli: " << e.what() << '\n';
            return ExitFailure;
        }
    }
    return ExitUsage;
}

}  // namespace

}  // namespace vellumin::cli
