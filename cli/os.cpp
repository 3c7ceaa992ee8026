// vellumin-cli os: the operating-system line of the TRIM page and whether it offers TRIM.

#include <CLI/CLI.hpp>

#include "cli/Command.h"
#include "cli/Output.h"
#include "pages/trim/OsIdentity.h"

namespace vellumin::cli {
namespace {

int RunOs(Context& context) {
    const trim::OsIdentity os = trim::IdentifyOperatingSystem(context.SystemPlatform().Sys());
    if (context.json) {
        context.PrintJson(
            {{"displayLine", JsonText(os.displayLine)}, {"trimOffered", os.trimOffered}});
    } else {
        context.out() << os.displayLine << "\nTRIM offered: " << (os.trimOffered ? "yes" : "no")
                      << '\n';
    }
    return ExitOk;
}

const Registrar osCommand(80, [](CLI::App& app, Context& context) {
    auto* os = app.add_subcommand(
        "os", "Name the operating system and say whether the TRIM switch is offered");
    context.OnRun(os, [&context] { return RunOs(context); });
});

}  // namespace
}  // namespace vellumin::cli
