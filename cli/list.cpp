// vellumin-cli list: the compatible drives, as the main window's drive list shows them.

#include <CLI/CLI.hpp>

#include "transport/Discovery.h"
#include "cli/Command.h"
#include "cli/Output.h"

namespace vellumin::cli {
namespace {

int RunList(Context& context) {
    const auto discovery = ata::DiscoverDrives(context.Platform().Drives());
    const auto& table = discovery.table;
    if (context.json) {
        auto drives = nlohmann::json::array();
        for (int row = 0; row < table.count; ++row) {
            const int n = table.rowToDrive[row];
            auto volumes = nlohmann::json::array();
            for (const auto& name : table.volumes[n]) {
                volumes.push_back(JsonText(name));
            }
            drives.push_back({{"row", row},
                              {"drive", n},
                              {"model", JsonText(table.modelText[n])},
                              {"volumes", volumes},
                              {"text", JsonText(discovery.rows[row])}});
        }
        auto list = nlohmann::json::array();
        for (const auto& text : discovery.rows) {
            list.push_back(JsonText(text));
        }
        context.PrintJson({{"count", table.count}, {"drives", drives}, {"list", list}});
        return ExitOk;
    }
    if (table.count == 0) {
        context.out() << discovery.rows.front() << '\n';
        return ExitOk;
    }
    Rows rows;
    for (int row = 0; row < table.count; ++row) {
        rows.push_back({"Drive " + std::to_string(table.rowToDrive[row]), discovery.rows[row]});
    }
    PrintTable(context.out(), rows);
    return ExitOk;
}

const Registrar listCommand(10, [](CLI::App& app, Context& context) {
    auto* list = app.add_subcommand(
        "list", "List the compatible drives (one row per drive, as the drive list shows)");
    context.OnRun(list, [&context] { return RunList(context); });
});

}  // namespace
}  // namespace vellumin::cli
