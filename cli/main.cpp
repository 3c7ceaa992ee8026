#include <algorithm>
#include <iostream>
#include <vector>

#include "cli/Command.h"
#include "platform/Version.h"
#include "platform/linux/LinuxPlatform.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

std::vector<std::pair<int, CommandSetup>>& Commands() {
    static std::vector<std::pair<int, CommandSetup>> commands;
    return commands;
}

}  // namespace

Registrar::Registrar(int order, CommandSetup setup) { Commands().emplace_back(order, std::move(setup)); }

platform::Platform& Context::Platform() {
    if (platform_) {
        return *platform_;
    }
    if (simulate) {
        try {
            platform_ = platform::sim::CreateSimPlatform(*simulate);
        } catch (const platform::sim::LabError& e) {
            throw CommandError(kExitUsage, e.what());
        }
    } else {
        platform_ = platform::linux_backend::CreateLinuxPlatform();
        if (!platform_->Sys().IsAdministrator()) {
            platform_.reset();
            throw CommandError(kExitNoRights, "Vellumin requires Administrator Privileges.");
        }
    }
    return *platform_;
}

std::ostream& Context::out() { return std::cout; }
std::ostream& Context::err() { return std::cerr; }

void Context::OnRun(CLI::App* subcommand, std::function<int()> action) {
    actions_.emplace_back(subcommand, std::move(action));
}

void Context::PrintJson(const nlohmann::json& document) { out() << document.dump(2) << '\n'; }

}  // namespace vellumin::cli

int main(int argc, char** argv) {
    using namespace vellumin::cli;
    CLI::App app{"Vellumin: diagnostics and maintenance for SATA solid-state drives", "vellumin-cli"};
    app.set_version_flag("--version", std::string("vellumin-cli ") + vellumin::VelluminVersion());
    app.require_subcommand(1);
    app.footer(
        "Exit status: 0 ok, 1 the operation reports a failure, 2 bad arguments or lab file,\n"
        "3 no rights to open raw disks, 4 no such drive, 5 stopped by the user.");

    Context context;
    std::string lab;
    auto* simulate = app.add_option("--simulate", lab,
                                    "Run on the simulated lab (the built-in one, or LAB.json)")
                         ->expected(0, 1)
                         ->type_name("LAB.json");
    app.add_flag("--json", context.json, "Print one JSON document instead of text");

    auto& commands = Commands();
    std::stable_sort(commands.begin(), commands.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [order, setup] : commands) {
        setup(app, context);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }
    if (simulate->count() > 0) {
        context.simulate = lab;
    }
    for (auto& [subcommand, action] : context.actions_) {
        if (!subcommand->parsed()) {
            continue;
        }
        try {
            return action();
        } catch (const CommandError& e) {
            std::cerr << e.what() << '\n';
            return e.code;
        }
    }
    return kExitUsage;
}
