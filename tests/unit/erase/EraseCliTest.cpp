// vellumin-cli erase on the built-in lab.

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/unit/erase/EraseTestUtil.h"
#include "cli/Command.h"

namespace vellumin::cli {
namespace {

using erase::test::Snapshot;
using nlohmann::json;

struct CliRun {
    CliRun(const std::vector<std::string>& args, const std::string& input = "",
           std::unique_ptr<platform::Platform> platform = nullptr)
        : in(input), code(RunCli(args, in, out, err, std::move(platform))) {}
    std::istringstream in;
    std::ostringstream out, err;
    int code;
    json Json() const { return json::parse(out.str()); }
};

// The lab behind a plain Platform: the command cannot tell it from real drives, so the
// rehearsal copies the drive through IDENTIFY DEVICE and SMART READ DATA as it would there.
class Borrowed final : public platform::Platform {
public:
    explicit Borrowed(platform::Platform& inner) : m_inner(inner) {}
    platform::DriveSystem& Drives() override { return m_inner.Drives(); }
    platform::System& Sys() override { return m_inner.Sys(); }

private:
    platform::Platform& m_inner;
};

std::string SavedLab(const std::vector<std::string>& args, const std::string& input = "") {
    const auto path = std::filesystem::temp_directory_path() / "vellumin-erase-saved-lab.json";
    std::vector<std::string> all{"--simulate", "--save-lab", path.string()};
    all.insert(all.end(), args.begin(), args.end());
    CliRun run(all, input);
    std::stringstream text;
    text << std::ifstream(path).rdbuf();  // closed before the removal, which Windows requires
    std::filesystem::remove(path);
    return text.str();
}

TEST(EraseCli, GatesAnswersAndExitStatuses) {
    struct Case {
        std::vector<std::string> args;
        std::string input;
        int code;
        std::string ending;
    } cases[] = {
        {{"1", "--quick", "--yes"}, "", ExitOk, "done"},
        {{"1", "--full"}, "VQ S210 SSD 64GB\n", ExitOk, "done"},  // the model text typed
        {{"1", "--full"}, "yes\n", 7, "declined"},
        {{"0", "--quick", "--yes"}, "", 6, "refused"},   // boot drive
        {{"2", "--quick", "--yes"}, "", 6, "refused"},   // outdated firmware
        {{"3", "--full", "--yes"}, "", 6, "refused"},    // security erase mode offers no Full Erase
        {{"12", "--quick", "--yes"}, "", 6, "refused"},  // not a compatible drive
        {{"8", "--quick", "--yes"}, "", ExitFailure, "check-failed"},
        {{"13", "--quick", "--yes"}, "", ExitFailure, "erase-aborted"},
        {{"6", "--quick", "--yes"}, "\n", ExitOk, "done"},  // frozen, re-plugged
        {{"6", "--quick", "--yes"}, "", 7, "declined"},      // frozen, no Enter
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"--simulate", "--json", "erase"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        CliRun run(args, c.input);
        EXPECT_EQ(run.code, c.code) << run.err.str();
        EXPECT_EQ(run.Json()["ending"], c.ending);
    }
    EXPECT_EQ(CliRun({"--simulate", "erase", "15", "--quick", "--yes"}).code, ExitNoDrive);
    EXPECT_EQ(CliRun({"--simulate", "erase", "1", "--yes"}).code, ExitUsage);
    EXPECT_EQ(CliRun({"--save-lab", "x.json", "erase", "1", "--quick"}).code, ExitUsage);
}

// The machine fixture's USB disk (slot 4) is refused by name before anything is sent; a disk
// on an ata port goes on to the confirmation.
TEST(EraseCli, OnlyADriveOnASataPortIsErased) {
    auto machine = std::make_unique<erase::test::FixtureConnections>();
    const auto before = Snapshot(*machine->Lab().Device(4));
    CliRun usb({"--json", "erase", "4", "--quick", "--yes"}, "",
               std::make_unique<Borrowed>(*machine));
    EXPECT_EQ(usb.code, 6);
    const json doc = usb.Json();
    EXPECT_EQ(doc["ending"], "refused");
    EXPECT_EQ(doc["connection"], "usb");
    EXPECT_EQ(doc["reason"],
              "The selected drive is connected through USB; secure erase is offered only for drives "
              "on a SATA port.");
    EXPECT_TRUE(doc["commands"].empty());
    EXPECT_EQ(Snapshot(*machine->Lab().Device(4)), before);

    CliRun ata({"erase", "3", "--quick"}, "no\n", std::make_unique<Borrowed>(*machine));
    EXPECT_EQ(ata.code, 7) << ata.out.str();
    EXPECT_NE(ata.out.str().find("Confirmation: "), std::string::npos);
}

// A frozen drive answered with a suspend thaws in the lab and is erased; one that stays frozen
// is suspended once for the option, then the user decides (here: no more input).
TEST(EraseCli, FrozenDriveThawsThroughASuspend) {
    auto lab = platform::sim::CreateSimLab();
    CliRun option({"--json", "erase", "6", "--quick", "--yes", "--suspend-to-thaw"}, "",
                  std::make_unique<Borrowed>(*lab));
    EXPECT_EQ(option.code, ExitOk) << option.err.str();
    EXPECT_EQ(option.Json()["ending"], "done");
    EXPECT_EQ(lab->Machine().suspends, 1);

    lab = platform::sim::CreateSimLab();
    CliRun typed({"erase", "6", "--quick", "--yes"}, "s\n", std::make_unique<Borrowed>(*lab));
    EXPECT_EQ(typed.code, ExitOk) << typed.out.str();
    EXPECT_NE(typed.out.str().find("Enter after re-plugging, or S and Enter to suspend the "
                                   "computer for a few seconds to thaw the drive: "),
              std::string::npos)
        << typed.out.str();
    EXPECT_EQ(lab->Machine().suspends, 1);

    lab = platform::sim::CreateSimLab();
    auto frozen = *lab->DriveAsItStands(6);
    frozen.security.staysFrozen = true;
    lab->SetDrive(6, frozen);
    CliRun stays({"--json", "erase", "6", "--quick", "--yes", "--suspend-to-thaw"}, "",
                 std::make_unique<Borrowed>(*lab));
    EXPECT_EQ(stays.code, 7);
    EXPECT_EQ(stays.Json()["ending"], "declined");
    EXPECT_EQ(lab->Machine().suspends, 1);
    EXPECT_TRUE(lab->Device(6)->Security().frozen);

    lab = platform::sim::CreateSimLab();
    lab->Machine().canSuspend = false;
    CliRun cannot({"erase", "6", "--quick", "--yes", "--suspend-to-thaw"}, "\n",
                  std::make_unique<Borrowed>(*lab));
    EXPECT_EQ(cannot.code, ExitOk);
    EXPECT_NE(cannot.out.str().find("(--suspend-to-thaw: this computer cannot be suspended)\n"
                                    "Press Enter once"),
              std::string::npos)
        << cannot.out.str();
    EXPECT_EQ(lab->Machine().suspends, 0);
}

TEST(EraseCli, TextAndJsonOfASecurityErase) {
    CliRun text({"--simulate", "erase", "14", "--quick", "--yes"});
    ASSERT_EQ(text.code, ExitOk) << text.err.str();
    const std::string out = text.out.str();
    for (const char* part :
         {"Confirmation: Are you sure you want to erase this drive?\nDrive:VQ M510 SSD 60GB\n",
          "  SECURITY UNLOCK            cmd=F2 feat=00 count=00 lba=00:00:00 dev=00 data-out 512 "
          "B, 5 s\n",
          "click\xE2\x80\x9COK\xE2\x80\x9Dto restart", "Ending: done\n",
          "needs a restart of the computer"}) {
        EXPECT_NE(out.find(part), std::string::npos) << part << "\n---\n" << out;
    }

    CliRun run({"--simulate", "--json", "erase", "14", "--quick", "--yes", "--restart"});
    const json doc = run.Json();
    std::vector<std::string> names;
    for (const auto& c : doc["commands"]) {
        names.push_back(c["name"]);
    }
    EXPECT_EQ(names,
              (std::vector<std::string>{"IDENTIFY DEVICE", "IDENTIFY DEVICE", "SECURITY UNLOCK",
                                        "SECURITY DISABLE PASSWORD", "SECURITY SET PASSWORD",
                                        "SECURITY ERASE PREPARE", "SECURITY ERASE UNIT"}));
    ASSERT_EQ(doc["messages"].size(), 2u);
    EXPECT_NE(doc["messages"][1]["text"].get<std::string>().find("click\u201cOK\u201dto"), std::string::npos);
    EXPECT_EQ(doc["flow"], "security");
    EXPECT_EQ(doc["restart"], "requested");
    EXPECT_TRUE(doc["seconds"].is_number());
}

TEST(EraseCli, SavedLabShowsExactlyTheErasedDrive) {
    const auto before = platform::sim::ParseLab(SavedLab({"list"}), "before");
    const auto after = platform::sim::ParseLab(
        SavedLab({"erase", "14", "--quick", "--yes", "--restart"}), "after");
    EXPECT_TRUE(after.machine.restartRequested);
    for (int slot = 0; slot < platform::sim::kSlotCount; ++slot) {
        if (!before.drives[slot]) {
            continue;
        }
        const bool erased = slot == 14;
        EXPECT_EQ(after.drives[slot]->mediaBlank, erased) << slot;
        EXPECT_EQ(after.drives[slot]->security.userPassword.has_value(),
                  !erased && before.drives[slot]->security.userPassword.has_value())
            << slot;
    }
}

TEST(EraseCli, RehearsalSendsNothingButReadsAndMatchesTheRealRun) {
    struct Case {
        int drive;
        const char* kind;
        std::string input;
    } cases[] = {{1, "--quick", ""},
                 {1, "--full", ""},
                 {3, "--quick", ""},
                 {14, "--quick", ""},
                 {6, "--quick", "\n"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.drive);
        auto lab = platform::sim::CreateSimLab();
        erase::test::SimDevice& device = *lab->Device(c.drive);
        const auto untouched = Snapshot(device);
        device.SetLogging(true);
        const std::vector<std::string> args{"--json", "erase", std::to_string(c.drive), c.kind,
                                            "--yes"};
        auto rehearsalArgs = args;
        rehearsalArgs.push_back("--rehearse");
        CliRun rehearsal(rehearsalArgs, c.input, std::make_unique<Borrowed>(*lab));
        for (const auto& record : device.TakeLog()) {
            EXPECT_TRUE(record.input.command == 0xEC ||
                        (record.input.command == 0xB0 && record.input.features == 0xD0))
                << erase::CommandName(record.input);
        }
        EXPECT_EQ(Snapshot(device), untouched);

        CliRun real(args, c.input, std::make_unique<Borrowed>(*lab));
        EXPECT_EQ(rehearsal.Json()["commands"], real.Json()["commands"]);
        EXPECT_EQ(rehearsal.Json()["ending"], real.Json()["ending"]);
        EXPECT_EQ(real.Json()["ending"], "done");
        EXPECT_FALSE(rehearsal.Json()["unknowns"].empty());
    }
    // Under the lab the copy is exact, and the lab drive stays as it was.
    CliRun text({"--simulate", "erase", "13", "--quick", "--yes", "--rehearse"});
    EXPECT_NE(text.out.str().find("ATA commands the erase would send to drive 13:\n"),
              std::string::npos);
    EXPECT_NE(text.out.str().find("  Vellumin: UnLock cmd aborted\n"), std::string::npos);
    const auto saved = platform::sim::ParseLab(
        SavedLab({"erase", "1", "--quick", "--yes", "--rehearse"}), "saved");
    EXPECT_FALSE(saved.drives[1]->mediaBlank);
    EXPECT_FALSE(saved.machine.restartRequested);
}

// The built-in lab changed as a row of the lab README's erase table says.
std::string LabText(const std::function<void(json&)>& change) {
    json lab = json::parse(platform::sim::DefaultLabJson());
    change(lab);
    return lab.dump();
}

json& Slot(json& lab, int slot) {
    for (auto& drive : lab["drives"]) {
        if (drive["slot"] == slot) {
            return drive;
        }
    }
    throw std::out_of_range("no slot " + std::to_string(slot));
}

// Every row of the erase table: the rehearsal ends as the real run does, with the same
// commands and messages.
TEST(EraseCli, RehearsalEndsAsTheRealRunOnEveryLabRow) {
    auto as = [](int slot, json patch) {
        return [slot, patch](json& lab) { Slot(lab, slot).merge_patch(patch); };
    };
    auto none = [](json&) {};
    struct Row {
        const char* name;
        std::function<void(json&)> lab;
        std::vector<std::string> args;
        std::string input;
        std::string ending;
        int code;
    };
    const Row rows[] = {
        {"security erase", none, {"3", "--quick"}, "", "done", ExitOk},
        {"left locked by an earlier run", none, {"14", "--quick"}, "", "done", ExitOk},
        {"frozen, re-plugged", none, {"6", "--quick"}, "\n", "done", ExitOk},
        {"Windows 8",
         [](json& lab) { lab["machine"]["os"].merge_patch({{"major", 6}, {"minor", 2}}); },
         {"3", "--quick"}, "", "refused", 6},
        {"identify fails at the fill", as(3, {{"transport", {{"openFailsAfter", 1}}}}),
         {"3", "--quick"}, "", "refused", 6},
        {"outdated firmware", none, {"2", "--quick"}, "", "refused", 6},
        {"locked", none, {"5", "--quick"}, "", "refused", 6},
        {"security enabled", none, {"4", "--quick"}, "", "refused", 6},
        {"vendor quick erase", none, {"1", "--quick"}, "", "done", ExitOk},
        {"vendor full erase", none, {"1", "--full"}, "", "done", ExitOk},
        {"boot drive", none, {"0", "--quick"}, "", "refused", 6},
        {"flow: identify fails", as(3, {{"transport", {{"openFailsAfter", 3}}}}),
         {"3", "--quick"}, "", "identify-failed", ExitFailure},
        {"flow: the re-plug moves the system onto the drive",
         [](json& lab) {
             for (auto& volume : lab["volumes"]) {
                 if (volume["name"] == "C") {
                     volume["diskAfterReplug"] = 6;
                 }
             }
         },
         {"6", "--quick"}, "\n", "boot-drive", 6},
        {"flow: another drive at the number after the re-plug", as(6, {{"slotAfterReplug", 9}}),
         {"6", "--quick"}, "\n", "other-drive", 6},
        {"flow: no Enter after the frozen message", none, {"6", "--quick"}, "", "declined", 7},
        {"flow: stays frozen", as(6, {{"security", {{"staysFrozen", true}}}}), {"6", "--quick"},
         "\n\n", "declined", 7},
        {"flow: unsupported", none, {"7", "--quick"}, "", "check-failed", ExitFailure},
        {"flow: expired", none, {"8", "--quick"}, "", "check-failed", ExitFailure},
        {"held by another program", as(3, {{"transport", {{"heldByAnotherProgram", true}}}}),
         {"3", "--quick"}, "", "drive-busy", 6},
        {"run: security, cannot open", as(3, {{"transport", {{"openFailsAfter", 6}}}}),
         {"3", "--quick"}, "", "not-opened", ExitFailure},
        {"run: vendor, cannot open", as(1, {{"transport", {{"openFailsAfter", 3}}}}),
         {"1", "--full"}, "", "not-opened", ExitFailure},
        {"prepare not delivered", as(3, {{"transport", {{"undelivered", {0xF3}}}}}),
         {"3", "--quick"}, "", "prepare-not-delivered", ExitFailure},
        {"unit not delivered", as(3, {{"transport", {{"undelivered", {0xF4}}}}}),
         {"3", "--quick"}, "", "erase-not-delivered", ExitFailure},
        {"unit aborted", as(3, {{"transport", {{"aborted", {0xF4}}}}}), {"3", "--quick"}, "",
         "erase-aborted", ExitFailure},
        {"someone else's password", none, {"13", "--quick"}, "", "erase-aborted", ExitFailure},
        {"vendor not delivered", as(1, {{"transport", {{"undeliveredSmart", {0xE3}}}}}),
         {"1", "--full"}, "", "vendor-not-delivered", ExitFailure},
        {"vendor aborted", as(1, {{"vendorErase", json::array()}}), {"1", "--full"}, "",
         "vendor-aborted", ExitFailure},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string lab = LabText(row.lab);
        std::vector<std::string> args{"--json", "erase", "--yes"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        auto rehearsalArgs = args;
        rehearsalArgs.push_back("--rehearse");
        auto labOf = [&] {
            return std::make_unique<platform::sim::SimPlatform>(platform::sim::ParseLab(lab, row.name));
        };
        CliRun real(args, row.input, labOf());
        CliRun rehearsal(rehearsalArgs, row.input, labOf());
        EXPECT_EQ(real.code, row.code) << real.err.str();
        EXPECT_EQ(rehearsal.code, real.code) << rehearsal.err.str();
        const json a = real.Json(), b = rehearsal.Json();
        EXPECT_EQ(a["ending"], row.ending);
        EXPECT_EQ(b["ending"], a["ending"]);
        EXPECT_EQ(b["messages"], a["messages"]);
        EXPECT_EQ(b["commands"], a["commands"]);
    }
}

// A command that did not reach the drive carries the transport's reason in the JSON and, with
// --verbose, on standard error.
TEST(EraseCli, VerboseJsonNamesWhyACommandWasNotDelivered) {
    const std::string lab =
        LabText([](json& l) { Slot(l, 3).merge_patch({{"transport", {{"undelivered", {0xF4}}}}}); });
    CliRun run({"--verbose", "--json", "erase", "3", "--quick", "--yes"}, "",
               std::make_unique<platform::sim::SimPlatform>(platform::sim::ParseLab(lab, "unit")));
    EXPECT_EQ(run.code, ExitFailure);
    const json doc = run.Json();
    std::vector<std::string> undelivered;
    for (const auto& c : doc["commands"]) {
        if (!c["delivered"].get<bool>()) {
            undelivered.push_back(c["name"].get<std::string>() + ": " +
                                  c["notDelivered"]["reason"].get<std::string>());
        }
    }
    EXPECT_EQ(undelivered, std::vector<std::string>{"SECURITY ERASE UNIT: refused by the lab's transport"});
    EXPECT_NE(run.err.str().find("Physical drive 3: SECURITY ERASE UNIT: refused by the lab's transport\n"),
              std::string::npos)
        << run.err.str();
}

// The erase and the unlock claim the drive before their first command: a drive another program
// holds (a mounted file system) still reads, but is refused busy; one this user may not open or
// that is gone is refused at the first read. Either way nothing changes it and the JSON and
// standard error say why.
TEST(DriveClaimCli, BusyNoRightsAndMissingAreToldApartAndNothingIsSent) {
    const json held = {{"heldByAnotherProgram", true}};
    const json noRights = {{"openFails", true}, {"openErrno", EACCES}};
    const json missing = {{"present", false}};
    struct Case {
        int slot;
        json transport;
        std::vector<std::string> command;
        int code;
        std::string openError;
        int errorNumber;
        std::string outcome;  // the erase's ending or the unlock's outcome
    } cases[] = {
        {3, held, {"erase", "3", "--quick"}, 6, "busy", EBUSY, "drive-busy"},
        {1, held, {"erase", "1", "--full"}, 6, "busy", EBUSY, "drive-busy"},
        {3, held, {"erase", "3", "--quick", "--rehearse"}, 6, "busy", EBUSY, "drive-busy"},
        {14, held, {"security", "14", "--unlock"}, 6, "busy", EBUSY, "busy"},
        {3, noRights, {"erase", "3", "--quick"}, ExitNoDrive, "noRights", EACCES, ""},
        {14, noRights, {"security", "14", "--unlock"}, ExitNoDrive, "noRights", EACCES, ""},
        {3, missing, {"erase", "3", "--quick"}, ExitNoDrive, "missing", ENOENT, ""},
        {14, missing, {"security", "14", "--unlock"}, ExitNoDrive, "missing", ENOENT, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command[0] + " " + c.command.back() + " " + c.openError);
        const std::string text = LabText([&](json& l) { Slot(l, c.slot)["transport"] = c.transport; });
        platform::sim::SimPlatform lab(platform::sim::ParseLab(text, "claim"));
        erase::test::SimDevice& device = *lab.Device(c.slot);
        device.SetLogging(true);
        const auto before = Snapshot(device);
        std::vector<std::string> args{"--verbose", "--json"};
        args.insert(args.end(), c.command.begin(), c.command.end());
        args.push_back("--yes");
        CliRun run(args, "", std::make_unique<Borrowed>(lab));
        EXPECT_EQ(run.code, c.code) << run.err.str();
        for (const auto& record : device.TakeLog()) {
            const bool read = record.input.command == ata::cmd::kIdentify ||
                              (record.input.command == ata::cmd::kSmart &&
                               record.input.features == ata::cmd::kSmartReadData);
            EXPECT_TRUE(read) << std::hex << int{record.input.command};
        }
        EXPECT_EQ(Snapshot(device), before);
        EXPECT_FALSE(device.Claimed());
        const json doc = run.Json();
        ASSERT_EQ(doc["notDelivered"].size(), 1u) << doc.dump();
        EXPECT_EQ(doc["notDelivered"][0]["command"], "open");
        EXPECT_EQ(doc["notDelivered"][0]["openError"], c.openError);
        EXPECT_EQ(doc["notDelivered"][0]["errno"], c.errorNumber);
        EXPECT_NE(run.err.str().find("Physical drive " + std::to_string(c.slot) + " cannot be opened: "),
                  std::string::npos)
            << run.err.str();
        if (c.command[0] == "erase" && c.openError == "busy") {
            EXPECT_EQ(doc["ending"], c.outcome);
            EXPECT_EQ(doc["commands"], json::array());
            EXPECT_EQ(doc["messages"].back()["text"], erase::MessageFor(erase::MessageId::DriveBusy).text);
        } else if (c.openError == "busy") {
            EXPECT_EQ(doc["unlock"], c.outcome);
        }
    }
    // Said without --verbose too.
    const std::string text = LabText([&](json& l) { Slot(l, 3)["transport"] = held; });
    CliRun plain({"erase", "3", "--quick", "--yes"}, "",
                 std::make_unique<platform::sim::SimPlatform>(platform::sim::ParseLab(text, "claim")));
    EXPECT_NE(plain.err.str().find("Physical drive 3 cannot be opened: held open by another program"),
              std::string::npos)
        << plain.err.str();
    EXPECT_NE(plain.out.str().find("Unmount its file systems"), std::string::npos) << plain.out.str();
}

// The way back without an erase: our password comes off a drive an earlier run left locked;
// someone else's is refused after one UNLOCK, and nothing else is ever sent.
TEST(SecurityCli, UnlockTakesOnlyTheErasePasswordOff) {
    struct Case {
        int slot;
        std::vector<std::string> options;
        std::string input;
        int code;
        std::string outcome;
        std::vector<uint8_t> commands;
        bool passwordAfter;  // the drive carries a password after the command
    } cases[] = {
        {14, {"--yes"}, "", ExitOk, "released", {0xEC, 0xF2, 0xF6, 0xEC}, false},
        {14, {}, "VQ M510 SSD 60GB\n", ExitOk, "released", {0xEC, 0xF2, 0xF6, 0xEC}, false},
        {14, {}, "yes\n", 7, "declined", {0xEC}, true},
        {13, {"--yes"}, "", ExitFailure, "refused", {0xEC, 0xF2, 0xEC}, true},
        {6, {"--yes"}, "", ExitOk, "no-password", {0xEC}, false},
        {12, {"--yes"}, "", 6, "refused", {0xEC}, false},  // not a compatible drive
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.slot) + " " + c.input);
        auto lab = platform::sim::CreateSimLab();
        erase::test::SimDevice& device = *lab->Device(c.slot);
        device.SetLogging(true);
        std::vector<std::string> args{"--json", "security", std::to_string(c.slot), "--unlock"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        CliRun run(args, c.input, std::make_unique<Borrowed>(*lab));
        EXPECT_EQ(run.code, c.code) << run.err.str();
        EXPECT_EQ(run.Json()["unlock"], c.outcome);
        std::vector<uint8_t> sent;
        for (const auto& record : device.TakeLog()) {
            sent.push_back(record.input.command);
        }
        EXPECT_EQ(sent, c.commands);
        device.PowerCycle();
        EXPECT_EQ(device.Security().enabled, c.passwordAfter);
        EXPECT_EQ(device.Security().locked, c.passwordAfter);
    }
    // Behind a bridge the unlock is still offered, the one way back there, with the risk said.
    platform::sim::LabDescription bridged = platform::sim::DefaultLab();
    bridged.drives[14]->connection = platform::DriveConnection::Usb;
    platform::sim::SimPlatform usbLab(bridged);
    CliRun usb({"--json", "security", "14", "--unlock", "--yes"}, "", std::make_unique<Borrowed>(usbLab));
    EXPECT_EQ(usb.code, ExitOk);
    EXPECT_EQ(usb.Json()["unlock"], "released");
    EXPECT_EQ(usb.Json()["connection"], "usb");
    EXPECT_NE(usb.err.str().find("connected through USB, not a SATA port"), std::string::npos) << usb.err.str();
    CliRun sata({"--simulate", "--json", "security", "14", "--unlock", "--yes"});
    EXPECT_TRUE(sata.Json()["warning"].is_null());

    CliRun foreign({"--simulate", "security", "13", "--unlock", "--yes"});
    EXPECT_NE(foreign.out.str().find("UnLock cmd aborted\nThe drive refused the erase password: "
                                     "its password was set by someone else"),
              std::string::npos)
        << foreign.out.str();
}

TEST(SecurityCli, VerboseJsonNamesWhyACommandWasNotDelivered) {
    auto lab = platform::sim::CreateSimLab();
    lab->Device(14)->SetUndelivered(0xF2, true);  // SECURITY UNLOCK
    CliRun run({"--verbose", "--json", "security", "14", "--unlock", "--yes"}, "",
               std::make_unique<Borrowed>(*lab));
    EXPECT_EQ(run.code, ExitFailure);
    const json doc = run.Json();
    EXPECT_EQ(doc["unlock"], "not-delivered");
    ASSERT_EQ(doc["notDelivered"].size(), 1u);
    EXPECT_EQ(doc["notDelivered"][0]["command"], "SECURITY UNLOCK");
    EXPECT_EQ(doc["notDelivered"][0]["reason"], "refused by the lab's transport");
    EXPECT_NE(run.err.str().find("Physical drive 14: SECURITY UNLOCK: refused by the lab's transport\n"),
              std::string::npos)
        << run.err.str();
}

TEST(SecurityCli, StateAsTextAndJson) {
    struct Case {
        int slot;
        const char* field;
        json value;
    } cases[] = {
        {3, "supported", true},           {3, "enabled", false},
        {3, "eraseMinutes", 4},           {3, "enhancedEraseMinutes", 8},
        {3, "enhancedEraseSupported", true}, {14, "locked", true},
        {6, "frozen", true},              {8, "expired", true},
        {7, "eraseMinutes", nullptr},     {3, "masterPasswordRevision", 0xFFFE},
    };
    for (const auto& c : cases) {
        CliRun run({"--simulate", "--json", "security", std::to_string(c.slot)});
        ASSERT_EQ(run.code, ExitOk);
        EXPECT_EQ(run.Json()["security"][c.field], c.value) << c.slot << " " << c.field;
    }
    CliRun text({"--simulate", "security", "14"});
    for (const char* row : {"Security Enabled          yes\n", "Locked                    yes\n",
                            "Enhanced Erase Time       not reported\n"}) {
        EXPECT_NE(text.out.str().find(row), std::string::npos) << row << text.out.str();
    }
    EXPECT_EQ(CliRun({"--simulate", "security", "15"}).code, ExitNoDrive);
    EXPECT_EQ(CliRun({"--simulate", "security", "3", "--yes"}).code, ExitUsage);
}

}  // namespace
}  // namespace vellumin::cli
