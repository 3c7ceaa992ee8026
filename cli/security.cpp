// vellumin-cli security DRIVE [--unlock [--yes]]: a drive's ATA security state, and the way
// back for a drive an unfinished erase left with the erase password: UNLOCK and DISABLE
// PASSWORD with that password, never an erase.

#include <istream>
#include <memory>
#include <ostream>

#include <CLI/CLI.hpp>

#include "transport/Discovery.h"
#include "transport/Transport.h"
#include "cli/Command.h"
#include "cli/Output.h"
#include "pages/erase/EraseGates.h"
#include "pages/erase/SecurityCommands.h"

namespace vellumin::cli {
namespace {

constexpr int kSecurityExitRefused = 6;   // nothing sent: the drive's state allows no unlock
constexpr int kSecurityExitDeclined = 7;  // the confirmation was not given

struct SecurityOptions {
    std::string drive;
    bool unlock = false;
    bool yes = false;
};

const char* YesNo(bool value) { return value ? "yes" : "no"; }

nlohmann::json Minutes(uint16_t word) {
    const auto minutes = ata::EraseTimeMinutes(word);
    return minutes ? nlohmann::json(*minutes) : nlohmann::json(nullptr);
}

bool MasterRevisionReported(uint16_t revision) { return revision != 0x0000 && revision != 0xFFFF; }

Rows SecurityRows(const ata::SecurityStatus& s) {
    char revision[8];
    std::snprintf(revision, sizeof revision, "0x%04X", s.masterPasswordRevision);
    return {
        {"Security Supported", YesNo(s.supported)},
        {"Security Enabled", YesNo(s.enabled)},
        {"Locked", YesNo(s.locked)},
        {"Frozen", YesNo(s.frozen)},
        {"Attempt Counter Expired", YesNo(s.expired)},
        {"Security Level", s.enabled ? (s.levelMaximum ? "Maximum" : "High") : "-"},
        {"Enhanced Erase Supported", YesNo(s.enhancedEraseSupported)},
        {"Erase Time", ata::EraseTimeText(s.eraseTime)},
        {"Enhanced Erase Time", ata::EraseTimeText(s.enhancedEraseTime)},
        {"Master Password Revision",
         MasterRevisionReported(s.masterPasswordRevision) ? revision : "not reported"},
    };
}

nlohmann::json SecurityJson(const ata::SecurityStatus& s) {
    return {
        {"supported", s.supported},
        {"enabled", s.enabled},
        {"locked", s.locked},
        {"frozen", s.frozen},
        {"expired", s.expired},
        {"level", s.levelMaximum ? "maximum" : "high"},
        {"enhancedEraseSupported", s.enhancedEraseSupported},
        {"eraseMinutes", Minutes(s.eraseTime)},
        {"enhancedEraseMinutes", Minutes(s.enhancedEraseTime)},
        {"eraseTime", ata::EraseTimeText(s.eraseTime)},
        {"enhancedEraseTime", ata::EraseTimeText(s.enhancedEraseTime)},
        {"masterPasswordRevision", MasterRevisionReported(s.masterPasswordRevision)
                                       ? nlohmann::json(s.masterPasswordRevision)
                                       : nlohmann::json(nullptr)},
    };
}

// The security commands' own messages, as they come; kept for the JSON.
class SecurityMessages final : public erase::ErasePrompter {
public:
    explicit SecurityMessages(std::ostream& out) : m_out(out) {}
    erase::Answer Ask(const erase::EraseMessage& message) override {
        m_out << message.caption << ": " << message.text << '\n';
        shown.push_back({{"caption", message.caption}, {"text", message.text}});
        return erase::Answer::Ok;
    }
    nlohmann::json shown = nlohmann::json::array();

private:
    std::ostream& m_out;
};

struct UnlockReport {
    const char* outcome;
    std::string text;
    int code;
};

UnlockReport Describe(erase::ReleaseOutcome outcome) {
    using R = erase::ReleaseOutcome;
    switch (outcome) {
        case R::NoPassword:
            return {"no-password", "The drive carries no user password: there is nothing to unlock.",
                    ExitOk};
        case R::Unsupported:
            return {"unsupported", "The drive does not support the ATA security feature set.",
                    kSecurityExitRefused};
        case R::Frozen:
            return {"frozen",
                    "The drive is frozen and refuses every password command until its power is "
                    "cut: unplug its power cable, plug it in again, then run this once more. "
                    "Nothing was sent.",
                    kSecurityExitRefused};
        case R::Expired:
            return {"expired",
                    "The drive's password attempt counter is spent: it refuses every password "
                    "until its power is cut. Nothing was sent.",
                    kSecurityExitRefused};
        case R::Busy:
            return {"busy",
                    "Another program holds the drive (a mounted file system, for one). Nothing was "
                    "sent: unmount its file systems or close that program, then run this once more.",
                    kSecurityExitRefused};
        case R::NotDelivered:
            return {"not-delivered",
                    "A password command did not reach the drive; the drive's password may still "
                    "be set.",
                    ExitFailure};
        case R::Refused:
            return {"refused",
                    "The drive refused the erase password: its password was set by someone else, "
                    "not by this program, and stays as it was. Only that password (or the master "
                    "password) can unlock it.",
                    ExitFailure};
        case R::Released:
            return {"released", "The erase password was taken off: the drive has no password now.",
                    ExitOk};
    }
    return {"", "", ExitFailure};
}

// Like the erase's: the model text typed, or --yes.
bool ConfirmUnlock(Context& context, std::ostream& out, const std::string& model, bool yes) {
    out << "Confirmation: Take the erase password off this drive (UNLOCK and DISABLE PASSWORD, no "
           "erase)?\nDrive:"
        << model << '\n';
    if (yes) {
        out << "(--yes)\n";
        return true;
    }
    out << "Type the drive's model text \"" << model << "\" to go on (anything else stops): "
        << std::flush;
    std::string line;
    if (!std::getline(context.in(), line)) {
        out << '\n';
        return false;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line == model;
}

int RunSecurity(Context& context, const SecurityOptions& options) {
    const int drive = ParseDrive(options.drive);
    platform::DriveSystem& drives = context.Platform().Drives();
    ata::IdentifyBlock identify{};
    if (const auto result = ata::IdentifyDevice(drives, drive, identify); !result) {
        ThrowNoDrive(context, drive, "IDENTIFY DEVICE", result);
    }
    const ata::SecurityStatus before = ata::ReadSecurityStatus(identify);
    const std::string model = ata::ModelText(identify);
    nlohmann::json doc = {{"drive", drive}, {"model", JsonText(model)}};
    if (!options.unlock) {
        doc["security"] = SecurityJson(before);
        PrintRows(context, SecurityRows(before), doc);
        return ExitOk;
    }

    std::ostream& out = context.json ? context.err() : context.out();
    auto finish = [&](const UnlockReport& report, const nlohmann::json& messages) {
        out << report.text << '\n';
        if (context.json) {
            doc["unlock"] = report.outcome;
            doc["text"] = report.text;
            doc["messages"] = messages;
            context.PrintJson(doc);
        }
        return report.code;
    };
    doc["before"] = SecurityJson(before);
    // The erase password is only ever set on the drives the erase is offered for.
    if (!ata::IsCompatible(ata::PrefixText(identify), ata::RotationText(identify))) {
        return finish({"refused",
                       "The drive is not a compatible drive: the erase password is only ever set "
                       "on the drives the drive list shows. Nothing was sent.",
                       kSecurityExitRefused},
                      nlohmann::json::array());
    }
    const auto status = ata::SecurityStatusByte(identify);
    if (const auto refusal = erase::ReleaseRefusal(status)) {
        return finish(Describe(*refusal), nlohmann::json::array());
    }
    // Unlock stays offered behind a bridge, the one way back for a drive locked there; but the
    // user hears the risk first.
    const auto connection = drives.Connection(drive);
    doc["connection"] = platform::ConnectionKey(connection);
    if (const std::string warning = erase::UnlockConnectionWarning(connection); !warning.empty()) {
        out << warning << '\n';
        doc["warning"] = warning;
    }
    if (!ConfirmUnlock(context, out, model, options.yes)) {
        return finish({"declined", "Nothing sent.", kSecurityExitDeclined},
                      nlohmann::json::array());
    }
    SecurityMessages messages(out);
    const erase::SecurityContext security{drives, drive, messages};
    const auto [outcome, notDelivered] = erase::ReleaseErasePassword(security, status);
    UnlockReport report = Describe(outcome);
    if (notDelivered) {
        doc["notDelivered"].push_back(TransportJson(notDelivered->command.c_str(), notDelivered->failure));
        if (context.verbose) {
            context.err() << platform::NotDeliveredSentence(drive, notDelivered->command, notDelivered->failure)
                          << '\n';
        }
    }
    // Said only as the drive reads back.
    if (ata::IdentifyDevice(drives, drive, identify)) {
        const ata::SecurityStatus after = ata::ReadSecurityStatus(identify);
        doc["after"] = SecurityJson(after);
        if (outcome == erase::ReleaseOutcome::Released && after.enabled) {
            report = {"not-released",
                      "The drive accepted the commands but still reports a password.",
                      ExitFailure};
        }
    }
    return finish(report, messages.shown);
}

const Registrar securityCommand(65, [](CLI::App& app, Context& context) {
    auto* command = app.add_subcommand(
        "security", "Show a drive's ATA security state; --unlock takes the erase password off");
    auto options = std::make_shared<SecurityOptions>();
    AddDriveArgument(command, options->drive);
    command->add_flag("--unlock", options->unlock,
                      "Send UNLOCK (when locked) and DISABLE PASSWORD with the erase password "
                      "that an unfinished erase left on the drive; never an erase");
    command->add_flag("--yes", options->yes,
                      "Answer the confirmation with yes instead of typing the model text")
        ->needs("--unlock");
    command->footer(
        "Exit status: 0 shown, or the password taken off (or none there), 1 a command failed or "
        "the drive refused the password (someone else's), 4 no such drive, 6 refused (not a "
        "compatible drive, frozen, attempt counter spent, held by another program), 7 not "
        "confirmed.");
    context.OnRun(command, [&context, options] { return RunSecurity(context, *options); });
});

}  // namespace
}  // namespace vellumin::cli
