#include "cli/Output.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <ostream>

#include <CLI/CLI.hpp>

#include "transport/Transport.h"

namespace vellumin::cli {

CLI::Option* AddDriveArgument(CLI::App* command, std::string& drive) {
    return command->add_option("DRIVE", drive, "Physical drive number, 0 to 15")->required();
}

BlockCommandRegistrar::BlockCommandRegistrar(int order, const char* name, const char* description,
                                             const char* rawHelp, BlockCommand run)
    : Registrar(order, [=](CLI::App& app, Context& context) {
          auto* command = app.add_subcommand(name, description);
          auto options = std::make_shared<BlockCommandOptions>();
          AddDriveArgument(command, options->drive);
          command->add_flag("--raw", options->raw, rawHelp);
          context.OnRun(command, [&context, options, run] { return run(context, *options); });
      }) {}

int ParseDrive(const std::string& text) {
    int number = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, number);
    if (error == std::errc::result_out_of_range ||
        (error == std::errc() && stop == end && (number < 0 || number >= ata::kMaxDrives))) {
        throw CommandError(ExitNoDrive, "Physical drive " + text +
                                            " is out of range: drives are numbered 0 to 15.");
    }
    if (error != std::errc() || stop != end) {
        throw CommandError(ExitUsage,
                           "DRIVE must be a physical drive number, 0 to 15, not '" + text + "'.");
    }
    return number;
}

void ThrowNoDrive(int drive) {
    throw CommandError(ExitNoDrive, "Physical drive " + std::to_string(drive) +
                                        " is not present or cannot be opened.");
}

void ThrowNoDrive(Context& context, int drive, const char* command,
                  const platform::PassThroughResult& result) {
    if (result.failure() && result.failure()->stage == platform::TransportStage::Open) {
        command = "open";
    }
    ReportTransportReason(context, drive, command, result);
    const std::string message =
        "Physical drive " + std::to_string(drive) + " is not present or cannot be opened.";
    if (context.json) {
        nlohmann::json document = {{"drive", drive}, {"error", message}};
        document["notDelivered"].push_back(TransportJson(command, result));
        context.PrintJson(document);
    }
    throw CommandError(ExitNoDrive, message);
}

int ReportUndeliveredRead(Context& context, int drive, const char* command,
                          const platform::PassThroughResult& result, bool rowsFollow) {
    if (result.failure() && result.failure()->stage == platform::TransportStage::Open) {
        ThrowNoDrive(context, drive, command, result);
    }
    context.err() << "Physical drive " << drive << ": " << command << " was not delivered"
                  << (rowsFollow ? "; the rows show empty values.\n" : ".\n");
    ReportTransportReason(context, drive, command, result);
    return ExitFailure;
}

void ReportTransportReason(Context& context, int drive, const char* command, const platform::PassThroughResult& result) {
    if (context.verbose && result.failure()) {
        context.err() << platform::NotDeliveredSentence(drive, command, *result.failure()) << '\n';
    }
}

nlohmann::json TransportJson(const char* command, const platform::PassThroughResult& result) {
    return TransportJson(command, result.failure().value_or(platform::TransportFailure{}));
}

nlohmann::json TransportJson(const char* command, const platform::TransportFailure& failure) {
    nlohmann::json json = {{"command", command},
            {"stage", platform::StageText(failure.stage)},
            {"reason", platform::Describe(failure)},
            {"errno", failure.osError},
            {"hostStatus", failure.hostStatus},
            {"driverStatus", failure.driverStatus},
            {"scsiStatus", failure.scsiStatus},
            {"senseKey", failure.senseKey},
            {"asc", failure.asc},
            {"ascq", failure.ascq},
            {"residual", failure.residual}};
    if (failure.stage == platform::TransportStage::Open) {
        json["openError"] = platform::OpenErrorName(platform::OpenErrorOf(failure));
    }
    return json;
}

void PrintTable(std::ostream& out, const Rows& rows) {
    std::size_t width = 0;
    for (const auto& row : rows) {
        width = std::max(width, row.label.size());
    }
    for (const auto& row : rows) {
        out << row.label << std::string(width - row.label.size() + 2, ' ') << row.value << '\n';
    }
}

std::string JsonText(const std::string& text) {
    std::string utf8;
    utf8.reserve(text.size());
    for (unsigned char c : text) {
        if (c < 0x80) {
            utf8 += static_cast<char>(c);
        } else {
            utf8 += static_cast<char>(0xC0 | (c >> 6));
            utf8 += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return utf8;
}

namespace {

// The length of the UTF-8 sequence at `at` that is no control character; 0 when there is none.
size_t PrintableSequence(std::string_view text, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    uint32_t code = 0;
    if (lead >= 0x20 && lead < 0x7F) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(at + i) & 0x3F);
    }
    constexpr uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    const bool valid = code >= kShortest[length] && code <= 0x10FFFF &&
                       !(code >= 0xD800 && code <= 0xDFFF) && !(code >= 0x80 && code <= 0x9F);
    return valid ? length : 0;
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (size_t at = 0; at < text.size();) {
        if (const size_t length = PrintableSequence(text, at); length != 0) {
            shown.append(text, at, length);
            at += length;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
        shown += escaped;
        ++at;
    }
    return shown;
}

nlohmann::json RowsJson(const Rows& rows) {
    auto array = nlohmann::json::array();
    for (const auto& row : rows) {
        array.push_back({{"label", JsonText(row.label)}, {"value", JsonText(row.value)}});
    }
    return array;
}

void PrintRows(Context& context, const Rows& rows, nlohmann::json document) {
    if (context.json) {
        document["rows"] = RowsJson(rows);
        context.PrintJson(document);
    } else {
        PrintTable(context.out(), rows);
    }
}

std::string HexBytes(const uint8_t* data, std::size_t size) {
    std::string text;
    text.reserve(3 * size);
    for (std::size_t i = 0; i < size; ++i) {
        char byte[4];
        std::snprintf(byte, sizeof byte, i ? " %02X" : "%02X", data[i]);
        text += byte;
    }
    return text;
}

std::vector<std::string> HexDumpLines(const uint8_t* data, std::size_t size) {
    std::vector<std::string> lines;
    for (std::size_t offset = 0; offset < size; offset += 16) {
        char text[24];
        std::snprintf(text, sizeof text, "%04zX:", offset);
        std::string line = text;
        for (std::size_t i = offset; i < std::min(size, offset + 16); ++i) {
            std::snprintf(text, sizeof text, " %02X", data[i]);
            line += text;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

void PrintHexDump(std::ostream& out, const uint8_t* data, std::size_t size) {
    for (const auto& line : HexDumpLines(data, size)) {
        out << line << '\n';
    }
}

void PrintRawBlock(Context& context, int drive, const char* hexKey, const uint8_t* data,
                   std::size_t size) {
    if (context.json) {
        context.PrintJson({{"drive", drive}, {hexKey, HexBytes(data, size)}});
    } else {
        PrintHexDump(context.out(), data, size);
    }
}

}  // namespace vellumin::cli
