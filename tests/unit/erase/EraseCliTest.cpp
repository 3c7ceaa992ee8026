// vellumin-cli erase on the built-in lab.

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vellumin::cli
