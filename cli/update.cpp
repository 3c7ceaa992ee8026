// vellumin-cli update DRIVE [--download DIR] [--yes]: the firmware-update check and download.

#include <chrono>
#include <cstdio>
#include <iostream>

#include <CLI/CLI.hpp>

#include "transport/Transport.h"
#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "pages/fwupdate/DownloadEngine.h"
#include "pages/fwupdate/UpdateQuery.h"
#include "platform/HostIo.h"

namespace vellumin::cli {
namespace {

using Clock = std::chrono::steady_clock;

// A newer firmware is offered but was not downloaded (declined, or no --download).
constexpr int kExitUpdateOffered = 6;
constexpr const char* kAhciNote =
    "If you want to update firmware, please turn on AHCI mode and make sure that AHCI is supported "
    "on the "
    "motherboard.";

std::atomic<int> g_cancel{0};

std::string Bytes(uint64_t bytes) {
    char text[32];
    if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024.0 * 1024.0));
    }
    return text;
}

// One terminal line a few times a second: bar, percent, bytes and speed.
class TerminalDownloadProgress : public fwupdate::DownloadObserver {
public:
    TerminalDownloadProgress(std::ostream& out, bool enabled) : m_out(out), m_enabled(enabled) {}

    void OnLength(uint64_t total) override { m_total = total; }
    void OnBlock(uint64_t received) override {
        m_received = received;
        const auto now = Clock::now();
        if (!m_enabled || now - m_lastDraw < std::chrono::milliseconds(100)) {
            return;
        }
        m_lastDraw = now;
        const double seconds = std::chrono::duration<double>(now - m_start).count();
        const int percent = m_total == 0 ? 100 : static_cast<int>(received * 100 / m_total);
        constexpr int kWidth = 30;
        const int filled = percent * kWidth / 100;
        char speed[32];
        std::snprintf(speed, sizeof speed, "%.1f MB/s",
                      seconds > 0 ? received / seconds / 1e6 : 0.0);
        m_out << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '-') << "] "
             << percent << " %  " << Bytes(received) << " / " << Bytes(m_total) << "  " << speed
             << "\x1b[K" << std::flush;
    }
    void End() {
        if (m_enabled && m_lastDraw != Clock::time_point{}) {
            m_out << "\r\x1b[K" << std::flush;
        }
    }
    uint64_t Received() const { return m_received; }

private:
    std::ostream& m_out;
    bool m_enabled;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDraw{};
    uint64_t m_total = 0;
    uint64_t m_received = 0;
};

const char* EndingName(fwupdate::QueryEnding ending) {
    switch (ending) {
        case fwupdate::QueryEnding::Silent:
            return "silent";
        case fwupdate::QueryEnding::Latest:
            return "latest";
        case fwupdate::QueryEnding::Offer:
            return "offer";
        case fwupdate::QueryEnding::Unreadable:
            return "unreadable";
        case fwupdate::QueryEnding::Failed:
            return "failed";
    }
    return "failed";
}

const char* EndingName(fwupdate::DownloadEnding ending) {
    switch (ending) {
        case fwupdate::DownloadEnding::Completed:
            return "completed";
        case fwupdate::DownloadEnding::NotOffered:
            return "not-offered";
        case fwupdate::DownloadEnding::Refused:
            return "refused";
        case fwupdate::DownloadEnding::Failed:
            return "failed";
        case fwupdate::DownloadEnding::Cancelled:
            return "cancelled";
    }
    return "failed";
}

struct UpdateOptions {
    std::string drive;
    std::string folder;
    bool yes = false;
};

bool Confirm(Context& context, bool yes) {
    context.err() << fwupdate::kConfirmationText << "\n\n";
    if (yes) {
        return true;
    }
    context.err() << "Continue? [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        return false;
    }
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

int RunUpdateCommand(Context& context, const UpdateOptions& options) {
    const int drive = ParseDrive(options.drive);
    ata::IdentifyBlock identify{};
    if (const auto read = ata::IdentifyDevice(context.Platform().Drives(), drive, identify); !read) {
        ThrowNoDrive(context, drive, "IDENTIFY DEVICE", read);
    }
    const std::string host = context.Platform().Sys().UpdateServiceHost();
    const fwupdate::QueryOutcome query = fwupdate::RunUpdateQuery(identify, host);
    nlohmann::json summary{{"drive", drive},
                           {"wono", JsonText(fwupdate::WonoValue(identify))},
                           {"query", EndingName(query.ending)}};
    // What the network sent reaches a terminal only escaped; JSON escapes it itself.
    const auto shown = [&](const std::string& text) {
        return context.json ? text : TerminalText(text);
    };
    const auto finish = [&](int status, const std::string& text) {
        if (context.json) {
            summary["status"] = JsonText(text);
            summary["exitStatus"] = status;
            context.PrintJson(summary);
        } else if (!text.empty()) {
            (status == ExitOk || status == kExitUpdateOffered ? context.out() : context.err())
                << text << '\n';
        }
        return status;
    };

    switch (query.ending) {
        case fwupdate::QueryEnding::Failed:
            return finish(ExitFailure, "Error: " + shown(query.error));
        case fwupdate::QueryEnding::Silent:
            return finish(ExitFailure, "The update service sent an empty reply.");
        case fwupdate::QueryEnding::Unreadable:
            return finish(ExitFailure, fwupdate::StatusText(query));
        case fwupdate::QueryEnding::Latest:
            return finish(ExitOk, fwupdate::StatusText(query));
        case fwupdate::QueryEnding::Offer:
            break;
    }
    summary["url"] = JsonText(query.url);
    if (!Confirm(context, options.yes)) {
        return finish(kExitUpdateOffered, fwupdate::kLatestText);
    }
    if (options.folder.empty()) {
        return finish(kExitUpdateOffered, "A newer firmware is offered: " + shown(query.url) +
                                              "\nRun again with --download DIR to store it.");
    }

    const bool terminal = !context.json && &context.err() == &std::cerr && platform::StandardErrorIsTerminal();
    TerminalDownloadProgress progress(context.err(), terminal);
    const auto start = Clock::now();
    g_cancel.store(0);
    fwupdate::DownloadOutcome download;
    {
        // SIGTERM and SIGHUP cancel as Ctrl-C does, so the partial file goes, then end the program.
        InterruptAsRequest interrupt(g_cancel,
                                     "\nCancelling the download (Ctrl-C again quits at once).\n",
                                     EndingSignals::All);
        download = fwupdate::RunDownload(query.url, options.folder, g_cancel, progress);
    }
    progress.End();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    summary["download"] = {{"ending", EndingName(download.ending)},
                           {"path", JsonText(download.path)},
                           {"bytes", download.received},
                           {"seconds", seconds},
                           {"mbPerSecond", seconds > 0 ? download.received / seconds / 1e6 : 0.0}};
    const std::string status = shown(download.statusText);
    switch (download.ending) {
        case fwupdate::DownloadEnding::Completed:
            return finish(ExitOk, status + "\n" + kAhciNote);
        case fwupdate::DownloadEnding::Cancelled:
            return finish(ExitStopped, status);
        case fwupdate::DownloadEnding::Failed:
            return finish(ExitFailure, "Error: " + status);
        case fwupdate::DownloadEnding::NotOffered:
        case fwupdate::DownloadEnding::Refused:
            break;
    }
    return finish(ExitFailure, status);
}

const Registrar updateCommand(70, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand("update",
                                       "Ask the firmware-update service about a drive and download "
                                       "a newer firmware file (it is stored, never flashed)");
    auto options = std::make_shared<UpdateOptions>();
    AddDriveArgument(command, options->drive);
    command->add_option("--download", options->folder, "Folder to store the firmware file in");
    command->add_flag("--yes", options->yes, "Answer Yes to the confirmation");
    command->footer(
        "The host is the build's update service, or VELLUMIN_UPDATE_HOST (host[:port]); with "
        "--simulate the\n"
        "lab's loopback service. Ctrl-C cancels a download; nothing of it is left (SIGTERM and\n"
        "SIGHUP as well, and then end the program).\n"
        "Exit status: 0 no update needed or the file is downloaded, 1 the query or the download "
        "failed,\n"
        "4 the drive cannot be read, 5 download cancelled, 6 a newer firmware is offered but not "
        "downloaded.");
    context.OnRun(command, [&context, options] { return RunUpdateCommand(context, *options); });
});

}  // namespace
}  // namespace vellumin::cli
