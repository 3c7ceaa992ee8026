// vellumin-cli identify DRIVE [--raw]: a drive's identity from its IDENTIFY DEVICE data.

#include <CLI/CLI.hpp>

#include "transport/Discovery.h"
#include "cli/Command.h"
#include "cli/Output.h"

namespace vellumin::cli {
namespace {

int RunIdentify(Context& context, const BlockCommandOptions& options) {
    const int drive = ParseDrive(options.drive);
    ata::IdentifyBlock block{};
    if (const auto result = ata::IdentifyDevice(context.Platform().Drives(), drive, block); !result) {
        ThrowNoDrive(context, drive, "IDENTIFY DEVICE", result);
    }
    if (options.raw) {
        PrintRawBlock(context, drive, "identifyHex", block.data(), block.size());
        return ExitOk;
    }
    const std::string prefix = ata::PrefixText(block);
    const std::string rotation = ata::RotationText(block);
    const bool compatible = ata::IsCompatible(prefix, rotation);
    const Rows rows = {
        {"Model Number", ata::ModelNumber(block)},
        {"Serial Number", ata::SerialNumber(block)},
        {"Firmware Version", ata::FirmwareRevision(block)},
        {"Rotation Rate", rotation},
        {"Model Prefix", prefix},
        {"Compatible", compatible ? "yes" : "no"},
    };
    PrintRows(context, rows, {{"drive", drive}, {"compatible", compatible}});
    return ExitOk;
}

const BlockCommandRegistrar identifyCommand(
    20, "identify", "Show a drive's model, serial number, firmware and rotation rate",
    "Print the 512 identify bytes as a hex dump, 16 per line; with --json as one identifyHex "
    "string for a lab file",
    RunIdentify);

}  // namespace
}  // namespace vellumin::cli
