// vellumin-cli trim [status|on|off]: the TRIM page's status line and its switch.

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/Command.h"
#include "cli/Output.h"
#include "pages/trim/OsIdentity.h"
#include "pages/trim/TrimSetting.h"

namespace vellumin::cli {
namespace {

// The state is the exit status, so scripts need not parse the line.
constexpr int kExitTrimDisabled = 10;
constexpr int kExitTrimNotOffered = 11;
constexpr int kExitTrimUnknown = 12;

int RunTrim(Context& context, const std::string& action) {
    platform::System& system = context.SystemPlatform().Sys();
    const trim::OsIdentity os = trim::IdentifyOperatingSystem(system);
    trim::TrimOutcome outcome;
    if (os.trimOffered) {
        outcome =
            action == "status" ? trim::QueryTrim(system) : trim::SetTrim(system, action == "on");
        for (const std::string& message : trim::TrimMessages(outcome)) {
            context.err() << trim::kErrorCaption << ": " << message << '\n';
        }
    }
    const std::string line =
        os.trimOffered ? trim::TrimStatusLine(outcome.result) : trim::kNotSupported;
    const char* state = !os.trimOffered                         ? "not offered"
                        : outcome.result == trim::kTrimEnabled  ? "enabled"
                        : outcome.result == trim::kTrimDisabled ? "disabled"
                                                                : "unknown";
    if (context.json) {
        context.PrintJson({{"displayLine", JsonText(os.displayLine)},
                           {"trimOffered", os.trimOffered},
                           {"state", state},
                           {"status", line}});
    } else {
        context.out() << line << '\n';
    }
    if (!os.trimOffered) {
        return kExitTrimNotOffered;
    }
    switch (outcome.result) {
        case trim::kTrimEnabled:
            return ExitOk;
        case trim::kTrimDisabled:
            return kExitTrimDisabled;
        default:
            return kExitTrimUnknown;
    }
}

const Registrar trimCommand(85, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "trim",
        "Show the system's TRIM state (status) or switch TRIM on or off, as the TRIM page does");
    auto action = std::make_shared<std::string>("status");
    command->add_option("ACTION", *action, "status (default), on or off")
        ->check(CLI::IsMember({"status", "on", "off"}));
    command->footer(
        "Exit status: 0 TRIM enabled, 10 disabled, 11 not offered on this system (nothing\n"
        "is run), 12 the state could not be read; after a switch, the state read then.");
    context.OnRun(command, [&context, action] { return RunTrim(context, *action); });
});

}  // namespace
}  // namespace vellumin::cli
