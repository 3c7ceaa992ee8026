// vellumin-cli info DRIVE: the drive-information report, row for row as the page shows it,
// the drive's connection after the thirteen.

#include <memory>

#include <CLI/CLI.hpp>

#include "cli/Command.h"
#include "cli/Output.h"
#include "cli/ReportRows.h"
#include "pages/driveinfo/DriveInfoReport.h"

namespace vellumin::cli {
namespace {

int RunInfo(Context& context, const std::string& driveText) {
    const int drive = ParseDrive(driveText);
    const pages::DriveBlocks blocks = pages::ReadDriveBlocks(context.Platform().Drives(), drive,
                                                             pages::ReadOrder::IdentifyFirst);
    int status = ExitOk;
    if (!blocks.identifyRead) {
        status = ReportUndeliveredRead(context, drive, "IDENTIFY DEVICE", blocks.identifyResult);
    }
    if (!blocks.smartRead) {
        context.err() << "Physical drive " << drive
                      << ": SMART data could not be read; the TRIM row ignores the controller.\n";
        ReportTransportReason(context, drive, "SMART READ DATA", blocks.smartResult);
    }
    const platform::DriveConnection connection = context.Platform().Drives().Connection(drive);
    pages::ReportRows report = pages::DriveInfoRows(drive, blocks.identify, blocks.smart);
    report.push_back(pages::ConnectionRow(connection));
    const Rows rows = ToRows(report);
    nlohmann::json document = {{"drive", drive}, {"connection", platform::ConnectionKey(connection)}};
    AddUndeliveredReads(document, blocks);
    PrintRows(context, rows, std::move(document));
    return status;
}

const Registrar infoCommand(30, [](CLI::App& app, Context& context) {
    auto* info = app.add_subcommand(
        "info",
        "Show the drive-information report: identity, ATA capabilities, TRIM, transfer mode");
    auto drive = std::make_shared<std::string>();
    AddDriveArgument(info, *drive);
    context.OnRun(info, [&context, drive] { return RunInfo(context, *drive); });
});

}  // namespace
}  // namespace vellumin::cli
