// vellumin-cli scan DRIVE --quick|--full [--fast]: the read scan on the terminal.

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>

#include <CLI/CLI.hpp>

#include "transport/Transport.h"
#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "cli/ScanRecord.h"
#include "pages/scan/ScanEngine.h"
#include "pages/scan/ScanProgress.h"
#include "pages/scan/ScanTexts.h"
#include "platform/HostIo.h"

namespace vellumin::cli {
namespace {

using Clock = std::chrono::steady_clock;

scan::StopRequest g_stop{0};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Redraws one line on a terminal a few times a second; silent when stderr is not a terminal.
class TerminalProgress : public scan::ScanObserver {
public:
    TerminalProgress(std::ostream& out, bool enabled, Clock::time_point start)
        : m_out(out), m_enabled(enabled), m_start(start) {}

    void OnRange(uint64_t total) override { m_progress.total = total; }
    void OnChunk(uint64_t lba) override {
        scan::CountChunk(m_progress, lba);
        if (!m_enabled) {
            return;
        }
        const auto now = Clock::now();
        if (now - m_lastDraw >= std::chrono::milliseconds(100)) {
            m_lastDraw = now;
            m_progress.seconds = std::chrono::duration<double>(now - m_start).count();
            m_out << '\r' << scan::ProgressLine(m_progress, 30) << "\x1b[K" << std::flush;
        }
    }
    void OnEnd(const scan::ScanOutcome&) override {
        if (m_enabled && m_lastDraw != Clock::time_point{}) {
            m_out << "\r\x1b[K" << std::flush;
        }
    }

private:
    std::ostream& m_out;
    bool m_enabled;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw{};
    scan::ScanProgress m_progress;
};

int ExitStatus(scan::ScanEnding ending) {
    switch (ending) {
        case scan::ScanEnding::Completed:
            return ExitOk;
        case scan::ScanEnding::Failed:
            return ExitFailure;
        case scan::ScanEnding::Stopped:
            return ExitStopped;
        case scan::ScanEnding::NotOpened:
        case scan::ScanEnding::NoSize:
            return ExitNoDrive;
    }
    return ExitFailure;
}

struct ScanOptions {
    std::string drive;
    bool quick = false;
    bool full = false;
    bool fast = false;
    bool record = false;
};

// Keeps the summary in the state folder under the drive's serial number; false (with the
// reason on stderr) when it could not be kept.
bool RecordScan(Context& context, int drive, const ata::IdentifyBlock* identify,
                const nlohmann::json& summary) {
    const std::string serial = identify ? DriveSerial(*identify) : "";  // UTF-8
    if (serial.empty()) {
        context.err() << "Physical drive " << drive
                      << ": no serial number could be read; the scan is not recorded.\n";
        return false;
    }
    const auto finishedAt = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
    const auto folder = StateDirectory(context.simulate.has_value());
    try {
        std::filesystem::create_directories(folder);
        WriteFileAtomically(folder / ScanRecordName(serial),
                            ScanRecordDocument(summary, serial, finishedAt).dump(2) + "\n");
    } catch (const std::exception& e) {
        context.err() << "The scan is not recorded: " << e.what() << '\n';
        return false;
    }
    return true;
}

int RunScanCommand(Context& context, const ScanOptions& options) {
    const int drive = ParseDrive(options.drive);
    const bool quick = options.quick;
    auto& drives = context.Platform().Drives();
    const auto mode = quick ? scan::ScanMode::Quick : scan::ScanMode::Full;
    // The serial number names the record; read before the scan holds the drive open.
    ata::IdentifyBlock identify{};
    const bool identified = options.record && ata::IdentifyDevice(drives, drive, identify);
    const auto start = Clock::now();
    const bool terminal = !context.json && &context.err() == &std::cerr && platform::StandardErrorIsTerminal();
    TerminalProgress progress(context.err(), terminal, start);
    g_stop.store(0);
    scan::ScanOutcome outcome;
    {
        InterruptAsRequest interrupt(
            g_stop, "\nStopping after the chunk in progress (Ctrl-C again quits at once).\n");
        outcome = scan::RunScan(drives, drive, mode, g_stop, progress,
                                options.fast ? scan::ScanWay::Queued : scan::ScanWay::ReadDma);
    }
    const double seconds = SecondsSince(start);
    const double rate = scan::MegabytesPerSecond(outcome.bytesRead, seconds);
    const bool started =
        outcome.ending != scan::ScanEnding::NotOpened && outcome.ending != scan::ScanEnding::NoSize;

    nlohmann::json summary = {
        {"drive", drive},
        {"mode", quick ? "quick" : "full"},
        {"way", outcome.way == scan::ScanWay::Queued ? "queued" : "read-dma"},
        {"readDmaFrom", outcome.readDmaFrom ? nlohmann::json(*outcome.readDmaFrom) : nlohmann::json()},
        {"ending", scan::EndingName(outcome.ending)},
        {"finalPosition", outcome.finalPosition},
        {"total", outcome.total},
        {"result", outcome.resultText},
        {"chunksRead", outcome.chunksRead},
        {"seconds", seconds},
        {"mbPerSecond", rate},
        {"firstFailingLba", outcome.ending == scan::ScanEnding::Failed
                                ? nlohmann::json(outcome.firstFailingLba)
                                : nlohmann::json()},
    };
    if (outcome.notDelivered) {
        summary["notDelivered"].push_back(TransportJson(outcome.notDeliveredCommand, *outcome.notDelivered));
        if (context.verbose) {
            context.err() << platform::NotDeliveredSentence(drive, outcome.notDeliveredCommand,
                                                            *outcome.notDelivered)
                          << '\n';
        }
    }
    int status = ExitStatus(outcome.ending);
    // A scan asked to be recorded that was not is no success, whatever it found.
    if (options.record && !RecordScan(context, drive, identified ? &identify : nullptr, summary) &&
        status == ExitOk) {
        status = ExitFailure;
    }
    if (context.json) {
        context.PrintJson(summary);
        return status;
    }
    if (!started) {
        context.err() << outcome.resultText << '\n';
        return status;
    }
    auto& out = context.out();
    out << scan::ItemsScannedFinalText(outcome.finalPosition, outcome.total) << '\n'
        << scan::PercentText(scan::ScanPercent(outcome.finalPosition, outcome.total)) << '\n'
        << scan::ElapsedTimeText(static_cast<uint32_t>(seconds)) << '\n';
    if (!outcome.resultText.empty()) {
        out << outcome.resultText << '\n';
    }
    char readText[96];
    std::snprintf(readText, sizeof readText, "Read %.1f MB in %.1f s (%.1f MB/s)",
                  outcome.bytesRead / 1e6, seconds, rate);
    out << readText << '\n';
    if (options.fast && outcome.way != scan::ScanWay::Queued) {
        out << "Read by READ DMA: this drive offers no queued reads.\n";
    } else if (outcome.readDmaFrom) {
        out << "Read by READ DMA from LBA " << *outcome.readDmaFrom << ", where a queued read failed.\n";
    }
    return status;
}

const Registrar scanCommand(50, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "scan", "Read scan of a drive: every chunk (--full) or one in a hundred (--quick)");
    auto options = std::make_shared<ScanOptions>();
    AddDriveArgument(command, options->drive);
    auto* kind = command->add_option_group("scan kind", "exactly one of");
    kind->add_flag("--quick", options->quick, "Read one chunk in a hundred");
    kind->add_flag("--full", options->full, "Read every chunk");
    kind->require_option(1);
    command->add_flag("--fast", options->fast,
                      "Queued direct reads of about 1 MiB through the block device, in the background "
                      "I/O class; READ DMA per chunk over a read that fails, so the result is the same");
    command->add_flag("--record", options->record,
                      "Keep the JSON summary in the state folder (VELLUMIN_STATE_DIR, default "
                      "/var/lib/vellumin) for the metrics command");
    command->footer(
        "Ctrl-C stops the scan after the chunk in progress.\n"
        "Exit status: 0 completed, 1 a read failed (or --record could not keep the result), 4 the "
        "drive cannot be opened or sized, 5 stopped.");
    context.OnRun(command, [&context, options] { return RunScanCommand(context, *options); });
});

}  // namespace
}  // namespace vellumin::cli
