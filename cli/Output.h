#pragma once

// Helpers every command shares: the DRIVE argument, the (label, value) report as an aligned
// table or as JSON, and hex dumps.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "cli/Command.h"

namespace vellumin::cli {

// Adds the positional DRIVE argument (physical drive number 0-15) to a command.
CLI::Option* AddDriveArgument(CLI::App* command, std::string& drive);

// A command over one drive's 512-byte block that can also dump it (identify, smart), registered
// as Registrar does: DRIVE and --raw, then `run`.
struct BlockCommandOptions {
    std::string drive;
    bool raw = false;
};
using BlockCommand = int (*)(Context& context, const BlockCommandOptions& options);
struct BlockCommandRegistrar : Registrar {
    BlockCommandRegistrar(int order, const char* name, const char* description, const char* rawHelp,
                          BlockCommand run);
};

// "0".."15" -> the number. Throws CommandError: ExitUsage when the text is not a whole
// number, ExitNoDrive when it is outside 0-15.
int ParseDrive(const std::string& text);

// Throws CommandError(ExitNoDrive) for a drive that did not answer.
[[noreturn]] void ThrowNoDrive(int drive);
// The same, keeping why `command` (or the open, when that failed) was not delivered: with
// --verbose its reason goes to standard error first; with --json standard output gets
// {"drive", "error", "notDelivered": [TransportJson]}.
[[noreturn]] void ThrowNoDrive(Context& context, int drive, const char* command,
                               const platform::PassThroughResult& result);

// After a drive's own read was not delivered: throws CommandError(ExitNoDrive) when the drive
// cannot even be opened; otherwise says on standard error which read failed ("IDENTIFY
// DEVICE", "SMART READ DATA") and returns ExitFailure, for the rows shown from the empty block.
// With --verbose, a second line gives the transport's reason.
int ReportUndeliveredRead(Context& context, int drive, const char* command,
                          const platform::PassThroughResult& result, bool rowsFollow = true);

// With --verbose: "Physical drive N: COMMAND: <reason>" on standard error (nothing when it was
// delivered).
void ReportTransportReason(Context& context, int drive, const char* command, const platform::PassThroughResult& result);

// {"command", "stage", "reason", "errno", "hostStatus", "driverStatus", "scsiStatus", "senseKey",
// "asc", "ascq", "residual"} for the JSON of a command that was not delivered; a failed open
// adds "openError" ("missing", "busy", "noRights", "other").
nlohmann::json TransportJson(const char* command, const platform::PassThroughResult& result);
nlohmann::json TransportJson(const char* command, const platform::TransportFailure& failure);

struct Row {
    std::string label;
    std::string value;
};
using Rows = std::vector<Row>;

// Labels padded to the widest one plus two blanks; values exactly as given (trailing blanks
// kept), one row per line.
void PrintTable(std::ostream& out, const Rows& rows);

// The rows as a JSON array of {"label": ..., "value": ...}, in order, texts via JsonText.
nlohmann::json RowsJson(const Rows& rows);

// With --json: prints `document` with the rows added under "rows"; otherwise the table.
void PrintRows(Context& context, const Rows& rows, nlohmann::json document = nlohmann::json::object());

// An 8-bit drive text as a JSON string: each byte is one character code (bytes 0x80-0xFF
// become the same code points in UTF-8), so nothing is lost or rejected.
std::string JsonText(const std::string& text);

// A text from the network as it may reach a terminal: control characters (C0, DEL, C1) and
// bytes that are not UTF-8 are shown as "\xNN", so none of them can act on the terminal.
std::string TerminalText(std::string_view text);

// The bytes as upper-case hex separated by blanks ("40 00 FF"), the form a lab file's
// identifyHex / smartHex takes.
std::string HexBytes(const uint8_t* data, std::size_t size);

// 16 bytes per line: "0000: 40 00 FF ..." (offset in hex, upper-case hex bytes).
std::vector<std::string> HexDumpLines(const uint8_t* data, std::size_t size);
void PrintHexDump(std::ostream& out, const uint8_t* data, std::size_t size);

// A --raw block: the hex dump, or with --json {"drive": drive, <hexKey>: HexBytes}, the one
// string a lab file takes as it stands.
void PrintRawBlock(Context& context, int drive, const char* hexKey, const uint8_t* data,
                   std::size_t size);

}  // namespace vellumin::cli
