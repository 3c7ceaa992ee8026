// vellumin-cli erase DRIVE --quick|--full [--yes] [--restart] [--rehearse] [--suspend-to-thaw]:
// the secure erase on the terminal, through the same gates, boot-drive test, confirmation and
// flows as the page.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include <CLI/CLI.hpp>

#include "transport/Discovery.h"
#include "transport/Transport.h"
#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "cli/Output.h"
#include "pages/erase/EraseFlow.h"
#include "pages/erase/EraseGates.h"
#include "rehearsal/EraseRehearsal.h"
#include "platform/HostIo.h"

namespace vellumin::cli {
namespace {

using erase::Answer;
using erase::EraseEnding;
using erase::EraseMessage;
using erase::MessageId;

constexpr int kExitRefused = 6;   // the gates or the boot-drive test refuse the drive
constexpr int kExitDeclined = 7;  // the confirmation was not given

struct EraseOptions {
    std::string drive;
    bool quick = false;
    bool full = false;
    bool yes = false;
    bool restart = false;
    bool rehearse = false;
    bool suspendToThaw = false;
};

constexpr const char* kSuspendPrompt =
    "Enter after re-plugging, or S and Enter to suspend the computer for a few seconds to thaw "
    "the drive";

// Messages go to the terminal as they come; the user answers the confirmation by typing the
// model text and the frozen message with Enter, or S and Enter where the computer can suspend.
class TerminalPrompter final : public erase::ErasePrompter {
public:
    TerminalPrompter(Context& context, const EraseOptions& options, std::string model)
        : m_context(context), m_options(options), m_model(std::move(model)) {}

    Answer Ask(const EraseMessage& message) override {
        std::ostream& out = Out();
        out << message.caption << ": " << message.text << '\n';
        if (message.id == MessageId::Frozen) {
            return AnswerFrozen(message, out);
        }
        if (message.buttons != erase::MessageButtons::YesNo) {
            return Answer::Ok;
        }
        if (m_noMoreInput) {
            out << "(no answer: nothing is erased)\n";
            return Answer::No;
        }
        if (m_options.yes) {
            out << "(--yes)\n";
            return Answer::Yes;
        }
        out << "Type the drive's model text \"" << m_model
            << "\" to erase it (anything else stops): " << std::flush;
        std::string line;
        if (!std::getline(m_context.in(), line)) {
            m_noMoreInput = true;
            out << '\n';
            return Answer::No;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        return line == m_model ? Answer::Yes : Answer::No;
    }

    std::ostream& Out() { return m_context.json ? m_context.err() : m_context.out(); }

private:
    Answer AnswerFrozen(const EraseMessage& message, std::ostream& out) {
        // The option answers once: a drive still frozen after a suspend is not thawed by
        // suspending it again and again, so from then on the user decides.
        if (m_options.suspendToThaw && !m_suspendAnswered) {
            if (message.suspendOffered) {
                m_suspendAnswered = true;
                out << (m_options.rehearse ? "(--suspend-to-thaw: the copy counts as power-cycled)\n"
                                           : "(--suspend-to-thaw: suspending the computer for a "
                                             "few seconds)\n");
                return Answer::Suspend;
            }
            if (!m_options.rehearse) {
                out << "(--suspend-to-thaw: this computer cannot be suspended)\n";
            }
        }
        // The rehearsal takes the same answers as the real run, so that it ends the same way.
        if (m_options.rehearse) {
            out << "(rehearsal: the copy counts as re-plugged, nothing needs unplugging)\n";
        }
        out << (message.suspendOffered
                    ? kSuspendPrompt
                    : "Press Enter once the drive's power has been unplugged and plugged in again")
            << ": " << std::flush;
        std::string line;
        // Without an answer nobody re-plugged the drive: the flow must not go round again.
        m_noMoreInput = !std::getline(m_context.in(), line);
        if (m_noMoreInput) {
            out << '\n';
            return Answer::Ok;
        }
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (message.suspendOffered && (line == "S" || line == "s")) {
            out << "Suspending the computer for a few seconds...\n" << std::flush;
            return Answer::Suspend;
        }
        return Answer::Ok;
    }

    Context& m_context;
    const EraseOptions& m_options;
    std::string m_model;
    bool m_noMoreInput = false;
    bool m_suspendAnswered = false;
};

// The elapsed time is redrawn once a second on a terminal while the erase command runs.
class TerminalHooks final : public erase::EraseHooks {
public:
    TerminalHooks(std::ostream& err, bool terminal) : m_err(err), m_terminal(terminal) {}
    ~TerminalHooks() override { StopElapsed(); }

    void StartElapsed() override {
        if (!m_terminal) {
            return;
        }
        m_stop = false;
        m_ticker = std::thread([this] {
            std::unique_lock lock(m_mutex);
            for (int seconds = 1;
                 !m_wake.wait_for(lock, std::chrono::seconds(1), [this] { return m_stop; });
                 ++seconds) {
                m_err << '\r' << erase::ElapsedTimeText(seconds) << "\x1b[K" << std::flush;
            }
        });
    }
    void StopElapsed() override {
        if (!m_ticker.joinable()) {
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_ticker.join();
        m_err << "\r\x1b[K" << std::flush;
    }

private:
    std::ostream& m_err;
    bool m_terminal;
    std::thread m_ticker;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
};

nlohmann::json CommandJson(const erase::SentCommand& c) {
    const auto& in = c.input;
    nlohmann::json j = {
        {"name", erase::CommandName(in)},
        {"command", in.command},
        {"features", in.features},
        {"sectorCount", in.sectorCount},
        {"lbaLow", in.lbaLow},
        {"lbaMid", in.lbaMid},
        {"lbaHigh", in.lbaHigh},
        {"device", in.device},
        {"flags", c.flags},
        {"dataLength", c.dataLength},
        {"timeOutSeconds", c.timeOutSeconds},
        {"delivered", c.delivered},
    };
    if (c.delivered) {
        j["status"] = c.output.status();
        j["error"] = c.output.error();
    } else if (c.failure) {
        j["notDelivered"] = TransportJson(j["name"].get<std::string>().c_str(), *c.failure);
    }
    return j;
}

nlohmann::json MessagesJson(const std::vector<EraseMessage>& messages) {
    nlohmann::json list = nlohmann::json::array();
    for (const auto& m : messages) {
        // The program's texts are UTF-8 already (the completion message's quotes).
        list.push_back({{"caption", m.caption}, {"text", m.text}});
    }
    return list;
}

int ExitStatus(EraseEnding ending) {
    switch (ending) {
        case EraseEnding::Done:
            return ExitOk;
        case EraseEnding::DeclinedOnRepeat:
            return kExitDeclined;
        case EraseEnding::BootDriveOnRepeat:
        case EraseEnding::OtherDrive:
        case EraseEnding::DriveBusy:
            return kExitRefused;
        default:
            return ExitFailure;
    }
}

// Why the page would offer no button for this kind of erase; empty when it offers one.
std::string GateRefusal(const erase::EraseGateView& view, bool full) {
    if (!view.gateMessage.empty()) {
        return view.gateMessage;
    }
    if (view.notSupportedVisible) {
        return view.notSupportedText.value_or(erase::kTextNotSupported);
    }
    if (full && !view.fullVisible) {
        return "Full Erase is not offered for this drive: it is erased through the ATA security "
               "feature "
               "set (--quick).";
    }
    return {};
}

struct Refusal {
    std::string ending;  // "refused", "declined"
    std::vector<EraseMessage> messages;
    int code;
    std::string reason;  // a gate's text
};

int Report(Context& context, const nlohmann::json& head, const Refusal& refusal) {
    if (context.json) {
        nlohmann::json doc = head;
        doc["ending"] = refusal.ending;
        doc["messages"] = MessagesJson(refusal.messages);
        doc["commands"] = nlohmann::json::array();
        if (!refusal.reason.empty()) {
            doc["reason"] = refusal.reason;
        }
        context.PrintJson(doc);
    } else if (refusal.ending == "declined") {
        context.out() << "Nothing erased.\n";
    }
    return refusal.code;
}

// Collects the messages shown before the flow (boot drive, confirmation) for the summary.
class CollectingPrompter final : public erase::ErasePrompter {
public:
    explicit CollectingPrompter(erase::ErasePrompter& inner) : m_inner(inner) {}
    Answer Ask(const EraseMessage& message) override {
        seen.push_back(message);
        return m_inner.Ask(message);
    }
    std::vector<EraseMessage> seen;

private:
    erase::ErasePrompter& m_inner;
};

int RunErase(Context& context, const EraseOptions& options) {
    const int drive = ParseDrive(options.drive);
    platform::Platform& real = context.Platform();
    platform::DriveSystem& drives = real.Drives();

    // The drive list's copy of the drive: its model text and what the gates read from it.
    ata::IdentifyBlock reference{};
    if (const auto read = ata::IdentifyDevice(drives, drive, reference); !read) {
        ThrowNoDrive(context, drive, "IDENTIFY DEVICE", read);
    }
    const std::string model = ata::ModelText(reference);
    nlohmann::json head = {{"drive", drive},
                           {"model", JsonText(model)},
                           {"mode", options.full ? "full" : "quick"},
                           {"rehearsal", options.rehearse},
                           {"connection", platform::ConnectionKey(drives.Connection(drive))}};
    TerminalPrompter terminal(context, options, model);
    CollectingPrompter prompter(terminal);

    // Only drives the drive list shows can be erased, as in the window.
    if (!ata::IsCompatible(ata::PrefixText(reference), ata::RotationText(reference))) {
        const std::string reason =
            "The drive is not a compatible drive; the erase is offered only for the drives the "
            "drive list shows.";
        terminal.Out() << reason << '\n';
        return Report(context, head, {"refused", {}, kExitRefused, reason});
    }
    const auto view = erase::DecideEraseGates(erase::ReadEraseGateInputs(
        drives, drive, &reference, erase::IsEraseUnsupportedOs(real.Sys().OsVersion()), false));
    if (const std::string refusal = GateRefusal(view, options.full); !refusal.empty()) {
        terminal.Out() << refusal << '\n';
        return Report(context, head, {"refused", {}, kExitRefused, refusal});
    }
    const bool security = !options.full && view.quick == erase::QuickEraseRuns::SecurityFlow;
    // The drive the confirmation names is the one the flow may erase, whatever number it has.
    const erase::EraseTarget target{drive, model,
                                    security       ? uint8_t{0}
                                    : options.full ? ata::cmd::kVendorEraseFull
                                                   : view.quickVendorCode,
                                    erase::IdentityOf(reference)};
    head["flow"] = security ? "security" : "vendor";
    if (!security) {
        head["vendorCode"] = target.vendorCode;
    }

    if (erase::RefuseBootDrive(drives, target, prompter)) {
        return Report(context, head, {"refused", prompter.seen, kExitRefused, {}});
    }
    if (!erase::ConfirmErase(drives, target, prompter)) {
        return Report(context, head, {"declined", prompter.seen, kExitDeclined, {}});
    }

    std::unique_ptr<erase::RehearsalPlatform> rehearsal;
    std::vector<std::string> unknowns;
    if (options.rehearse) {
        auto copy = erase::CopyDriveForRehearsal(real, drive);
        if (!copy) {
            ThrowNoDrive(drive);
        }
        unknowns = copy->unknowns;
        rehearsal = std::make_unique<erase::RehearsalPlatform>(real, drive, std::move(*copy));
    }
    // From SECURITY SET PASSWORD (or the vendor erase) to the report, Ctrl-C, SIGTERM and SIGHUP
    // wait for the flow: ended half-way it would leave the drive with our password set.
    SignalHold hold(
        "\nThe erase cannot be interrupted; the program ends when the erase has ended.\n");
    HoldWhileChanging flowPlatform(rehearsal ? static_cast<platform::Platform&>(*rehearsal) : real,
                                   hold);
    const bool tty = &context.err() == &std::cerr && platform::StandardErrorIsTerminal();
    TerminalHooks hooks(context.err(), tty);
    const erase::EraseFlowOptions flowOptions{options.restart};
    const auto start = std::chrono::steady_clock::now();
    erase::EraseFlowResult result =
        security ? erase::SecurityEraseFlow(flowPlatform, target, terminal, hooks, flowOptions)
                 : erase::VendorEraseFlow(flowPlatform, target, terminal, hooks, flowOptions);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    hooks.StopElapsed();

    std::vector<EraseMessage> messages = prompter.seen;
    messages.insert(messages.end(), result.messages.begin(), result.messages.end());
    const bool done = result.ending == EraseEnding::Done;
    const char* restart = !done                      ? "none"
                          : !result.restartRequested ? "needed"
                          : result.restartRefused    ? "refused"
                                                     : "requested";
    // Why a drive another program holds was refused is said also without --verbose.
    if (context.verbose || result.ending == EraseEnding::DriveBusy) {
        for (const auto& failure : result.failedOpens) {
            context.err() << platform::NotDeliveredSentence(drive, "open", failure) << '\n';
        }
    }
    if (context.verbose) {
        for (const auto& c : result.commands) {
            if (c.failure) {
                context.err() << platform::NotDeliveredSentence(drive, erase::CommandName(c.input), *c.failure)
                              << '\n';
            }
        }
    }
    if (context.json) {
        nlohmann::json doc = head;
        nlohmann::json commands = nlohmann::json::array();
        for (const auto& c : result.commands) {
            commands.push_back(CommandJson(c));
        }
        doc["commands"] = commands;
        for (const auto& failure : result.failedOpens) {
            doc["notDelivered"].push_back(TransportJson("open", failure));
        }
        doc["messages"] = MessagesJson(messages);
        doc["ending"] = erase::EndingName(result.ending);
        doc["seconds"] = seconds;
        doc["eraseSeconds"] = result.eraseSeconds;
        doc["restart"] = restart;
        doc["passwordLeft"] = result.passwordLeft;
        if (options.rehearse) {
            doc["unknowns"] = unknowns;
        }
        context.PrintJson(doc);
        return ExitStatus(result.ending);
    }

    auto& out = context.out();
    out << (options.rehearse ? "ATA commands the erase would send to drive "
                             : "ATA commands sent to drive ")
        << drive << ":\n";
    for (const auto& c : result.commands) {
        out << "  " << erase::DescribeCommand(c) << '\n';
    }
    if (options.rehearse) {
        out << "Messages, in order:\n";
        for (const auto& m : messages) {
            std::string text = m.caption + ": " + m.text;
            for (size_t at = text.find('\n'); at != std::string::npos;
                 at = text.find('\n', at + 5)) {
                text.replace(at, 1, "\n    ");
            }
            out << "  " << text << '\n';
        }
    }
    out << "Ending: " << erase::EndingName(result.ending) << '\n';
    if (result.passwordLeft && !options.rehearse) {
        out << "\"vellumin-cli security " << drive
            << " --unlock\" takes the erase password off again, also once the drive is locked.\n";
    }
    if (static_cast<int>(result.eraseSeconds) > 0) {
        out << erase::ElapsedTimeText(static_cast<int>(result.eraseSeconds)) << '\n';
    }
    if (done && !result.restartRequested) {
        out << (options.rehearse ? "The real erase would need" : "The erase needs")
            << " a restart of the computer to finish; restart when you are ready (or give "
               "--restart).\n";
    } else if (done && result.restartRefused) {
        out << "The restart could not be started; restart the computer yourself.\n";
    } else if (done) {
        out << (options.rehearse ? "The real erase would restart the computer now.\n"
                                 : "Restarting the computer.\n");
    }
    if (options.rehearse) {
        out << "What the rehearsal cannot know:\n";
        for (const auto& u : unknowns) {
            out << "  " << u << '\n';
        }
        if (unknowns.empty()) {
            out << "  nothing: the lab's whole state was copied, re-plugs included; the lab itself "
                   "is untouched.\n";
        }
    }
    return ExitStatus(result.ending);
}

const Registrar eraseCommand(60, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "erase", "Secure erase of a drive (destroys all its data), then a restart of the computer");
    auto options = std::make_shared<EraseOptions>();
    AddDriveArgument(command, options->drive);
    auto* kind = command->add_option_group("erase kind", "exactly one of");
    kind->add_flag("--quick", options->quick,
                   "Quick Erase: the ATA security erase, or the controller's quick erase");
    kind->add_flag("--full", options->full,
                   "Full Erase: the controller's full erase (listed controllers only)");
    kind->require_option(1);
    command->add_flag("--yes", options->yes,
                      "Answer the confirmation with yes instead of typing the model text");
    command->add_flag("--restart", options->restart,
                      "Restart the computer after a successful erase");
    command->add_flag("--suspend-to-thaw", options->suspendToThaw,
                      "Answer a frozen drive's message by suspending the computer for a few "
                      "seconds (where it can), instead of re-plugging the drive's power");
    command->add_flag(
        "--rehearse", options->rehearse,
        "Run the erase against a copy of the drive and print every ATA command it would send; "
        "only IDENTIFY DEVICE and SMART READ DATA reach the drive");
    command->footer(
        "Only a drive on a SATA port is erased: not through USB, SAS or RAID controllers.\n"
        "A frozen drive asks for its power to be unplugged and plugged in again, then Enter (also "
        "with --yes), or, where the computer can suspend, S and Enter to suspend it for a few "
        "seconds (--suspend-to-thaw answers so once); then for the confirmation again.\n"
        "From SECURITY SET PASSWORD (or the controller's erase) on, Ctrl-C, SIGTERM and SIGHUP "
        "wait for the erase to end, then end the command.\n"
        "Exit status: 0 erased (or rehearsed to the end), 1 the erase failed or was aborted, 4 no "
        "such "
        "drive, 6 refused (gates, boot drive, not a compatible drive, another drive at the number "
        "after a re-plug, the drive held by another program such as a mounted file system), 7 not "
        "confirmed.");
    context.OnRun(command, [&context, options] { return RunErase(context, *options); });
});

}  // namespace
}  // namespace vellumin::cli
