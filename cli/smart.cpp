// vellumin-cli smart DRIVE [--raw]: the SMART report decoded by the drive's controller family.

#include <CLI/CLI.hpp>

#include "cli/Command.h"
#include "cli/Output.h"
#include "cli/ReportRows.h"
#include "pages/smart/SmartDispatch.h"

namespace vellumin::cli {
namespace {

const char* DecoderName(pages::SmartDecoder decoder) {
    switch (decoder) {
        case pages::SmartDecoder::Smi:
            return "SMI";
        case pages::SmartDecoder::Sm2246:
            return "SM2246";
        case pages::SmartDecoder::Jmf667:
            return "JMF667";
        case pages::SmartDecoder::Jmf612:
            return "JMF612";
        case pages::SmartDecoder::ModelSeries:
            return "model series";
        case pages::SmartDecoder::None:
            break;
    }
    return "none";
}

int RunSmart(Context& context, const BlockCommandOptions& options) {
    const int drive = ParseDrive(options.drive);
    const pages::DriveBlocks blocks =
        pages::ReadDriveBlocks(context.Platform().Drives(), drive, pages::ReadOrder::SmartFirst);
    int status = ExitOk;
    if (!blocks.smartRead) {
        // A dump of the empty block would pass for the drive's data: none is printed.
        status = ReportUndeliveredRead(context, drive, "SMART READ DATA", blocks.smartResult, !options.raw);
        if (options.raw) {
            return status;
        }
    } else if (options.raw) {
        PrintRawBlock(context, drive, "smartHex", blocks.smart.data(), blocks.smart.size());
        return ExitOk;
    }
    if (!blocks.identifyRead) {
        context.err()
            << "Physical drive " << drive
            << ": identify data could not be read; firmware and model are taken as empty.\n";
        ReportTransportReason(context, drive, "IDENTIFY DEVICE", blocks.identifyResult);
    }

    const pages::SmartReport report = pages::DecodeSmart(blocks.smart, blocks.identify);
    const Rows rows = ToRows(report.rows);
    if (context.json) {
        nlohmann::json document = {
            {"drive", drive},
            {"controller", JsonText(pages::ControllerName(blocks.smart))},
            {"decoder", DecoderName(report.dispatch.decoder)},
            {"modelSeries", report.dispatch.modelSeries},
            {"message", report.showMessage ? nlohmann::json(report.message) : nlohmann::json()},
        };
        AddUndeliveredReads(document, blocks);
        PrintRows(context, rows, std::move(document));
        return status;
    }
    PrintTable(context.out(), rows);
    if (report.showMessage) {
        context.out() << (rows.empty() ? "" : "\n") << report.message << '\n';
    }
    if (rows.empty() && !report.showMessage && blocks.smartRead) {
        context.err() << "Physical drive " << drive
                      << ": no SMART layout is known for this drive's controller or firmware.\n";
    }
    return status;
}

const BlockCommandRegistrar smartCommand(
    40, "smart", "Show the SMART health figures decoded for the drive's flash controller",
    "Print the 512 SMART bytes as a hex dump (16 per line); with --json one smartHex string for a "
    "lab file",
    RunSmart);

}  // namespace
}  // namespace vellumin::cli
