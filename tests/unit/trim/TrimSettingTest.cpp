#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "host/HostTrim.h"
#include "pages/trim/TrimSetting.h"
#include "platform/CommandRunner.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::trim {
namespace {

namespace fs = std::filesystem;
using platform::TrimCommand;
using platform::sim::LabTrimCommand;

TEST(ReadTrimNumber, FirstEqualsSignAndTheNumberAfterIt) {
    using namespace std::string_literals;
    const std::pair<std::string, std::optional<int>> cases[] = {
        {"DisableDeleteNotify =   0\r\n", 0},
        {"DisableDeleteNotify = 1", 1},
        {"DisableDeleteNotify = 7", 7},
        {"=\t\n 0", 0},
        {"= -0", 0},
        {"= 99999999999999999999", INT_MAX},
        {"NTFS DisableDeleteNotify = 1\nReFS DisableDeleteNotify = 0\n", 1},
        {"enabled\n", std::nullopt},
        {"DisableDeleteNotify =\n", std::nullopt},
        {"DisableDeleteNotify = x0", std::nullopt},
        {"DisableDeleteNotify = \nReFS = 0", std::nullopt},
        {"abc\0= 0"s, std::nullopt},  // the text ends at a zero byte
        {"", std::nullopt},
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(ReadTrimNumber(text), number) << text;
    }
}

// A private temporary folder as $TMPDIR for the test's runs.
class TempFolder {
public:
    TempFolder() {
        std::string name = (fs::temp_directory_path() / "vellumin-test-XXXXXX").string();
        m_path = ::mkdtemp(name.data());
        const char* old = std::getenv("TMPDIR");
        m_old = old ? std::optional<std::string>(old) : std::nullopt;
        ::setenv("TMPDIR", m_path.c_str(), 1);
    }
    ~TempFolder() {
        m_old ? ::setenv("TMPDIR", m_old->c_str(), 1) : ::unsetenv("TMPDIR");
        fs::remove_all(m_path);
    }
    const fs::path& Path() const { return m_path; }
    std::set<std::string> Names() const {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_path)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

private:
    fs::path m_path;
    std::optional<std::string> m_old;
};

std::string Read(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(CommandRunner, RunsTheArgumentVectorIntoAPrivateFileThatLeavesNoName) {
    TempFolder folder;
    auto file = platform::TempFile::Create();
    ASSERT_TRUE(file);
    EXPECT_TRUE(folder.Names().empty());  // the name is gone the moment the file exists
    struct stat info {};
    ASSERT_EQ(::fstat(file->Fd(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    auto& runner = platform::SpawnRunner();
    EXPECT_TRUE(runner.Run({"/bin/echo", "first"}, file->Fd()));
    EXPECT_TRUE(runner.Run({"/bin/sh", "-c", ":"}, file->Fd()));  // writes nothing
    // An argument is never shell text: it arrives as it stands.
    const fs::path marker = folder.Path() / "ran";
    const std::string hostile = "$(touch " + marker.string() + "); `touch " + marker.string() + "`";
    EXPECT_TRUE(runner.Run({"/bin/sh", "-c", "printf '%s\\n' \"$1\"", "sh", hostile}, file->Fd()));
    EXPECT_FALSE(runner.Run({"/nonexistent/program"}, file->Fd()));
    EXPECT_FALSE(runner.Run({}, file->Fd()));
    EXPECT_EQ(file->ReadFromStart(511), "first\n" + hostile + "\n");
    EXPECT_EQ(file->ReadFromStart(3), "fir");
    EXPECT_FALSE(fs::exists(marker));
}

TEST(CommandRunner, NoFileWhereNoneCanBeCreated) {
    TempFolder folder;
    ::setenv("TMPDIR", (folder.Path() / "missing").c_str(), 1);
    EXPECT_FALSE(platform::TempFile::Create());
}

// The lab's command runs through the real runner and output file; whatever the command does,
// files planted at predictable names are neither read nor touched and no new file survives.
TEST(TrimSetting, LabCommandsThroughTheRunner) {
    struct Case {
        LabTrimCommand mode;
        bool enabledBefore;
        std::optional<bool> turnOn;  // nullopt: query
        int result;
        bool launchFailed;
        bool enabledAfter;
    };
    const Case cases[] = {
        {LabTrimCommand::Works, true, std::nullopt, kTrimEnabled, false, true},
        {LabTrimCommand::Works, false, std::nullopt, kTrimDisabled, false, false},
        {LabTrimCommand::Works, true, false, kTrimDisabled, false, false},
        {LabTrimCommand::Works, false, true, kTrimEnabled, false, true},
        {LabTrimCommand::CannotStart, true, std::nullopt, kTrimUnknown, true, true},
        {LabTrimCommand::CannotStart, true, false, kTrimUnknown, true, true},
        {LabTrimCommand::WritesNothing, true, std::nullopt, kTrimUnknown, false, true},
        {LabTrimCommand::NoNumber, false, std::nullopt, kTrimUnknown, false, false},
        // A switch that ran but reported no number: not read, never the requested state.
        {LabTrimCommand::NoNumber, true, false, kTrimUnknown, false, true},
        {LabTrimCommand::WritesNothing, false, true, kTrimUnknown, false, false},
    };
    TempFolder folder;
    std::ofstream(folder.Path() / "trim.tmp") << "DisableDeleteNotify = 1\n";
    std::ofstream(folder.Path() / "target") << "kept";
    fs::create_symlink(folder.Path() / "target", folder.Path() / "vellumin-trim");
    const std::set<std::string> planted = folder.Names();
    for (const Case& c : cases) {
        platform::sim::LabDescription desc;
        desc.machine.trimEnabled = c.enabledBefore;
        desc.machine.trimCommand = c.mode;
        platform::sim::SimPlatform lab(std::move(desc));
        const TrimOutcome outcome = c.turnOn ? SetTrim(lab.Sys(), *c.turnOn) : QueryTrim(lab.Sys());
        const auto row = &c - cases;
        EXPECT_EQ(outcome.result, c.result) << row;
        EXPECT_EQ(outcome.launchFailed, c.launchFailed) << row;
        EXPECT_FALSE(outcome.outputUnavailable) << row;
        EXPECT_EQ(lab.Machine().trimEnabled, c.enabledAfter) << row;
        EXPECT_EQ(folder.Names(), planted) << row;
    }
    EXPECT_EQ(Read(folder.Path() / "trim.tmp"), "DisableDeleteNotify = 1\n");
    EXPECT_EQ(Read(folder.Path() / "target"), "kept");
}

TEST(TrimSetting, WithoutAnOutputFileNothingRuns) {
    TempFolder folder;
    ::setenv("TMPDIR", (folder.Path() / "missing").c_str(), 1);
    platform::sim::LabDescription desc;
    platform::sim::SimPlatform lab(std::move(desc));
    for (const TrimOutcome& outcome : {QueryTrim(lab.Sys()), SetTrim(lab.Sys(), false)}) {
        EXPECT_EQ(outcome.result, kTrimUnknown);
        EXPECT_EQ(TrimMessages(outcome), std::vector<std::string>{kOutputUnavailable});
    }
    EXPECT_TRUE(lab.Machine().trimEnabled);
}

// The host's commands run against a stand-in systemctl: PATH holds nothing else, so the real
// one can never be reached. The stand-in logs its arguments and keeps the timer's state.
class HostSystem : public platform::System {
public:
    bool IsAdministrator() override { return false; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
};

TEST(TrimSetting, HostCommandsDriveSystemctl) {
    const std::string kTwice = "is-enabled fstrim.timer\nis-enabled fstrim.timer\n";
    struct Case {
        std::optional<bool> turnOn;
        std::string stateBefore;
        int result;
        std::string calls;
    };
    const Case cases[] = {
        {std::nullopt, "enabled", kTrimEnabled, "is-enabled fstrim.timer\n"},
        {std::nullopt, "disabled", kTrimDisabled, "is-enabled fstrim.timer\n"},
        {std::nullopt, "masked", kTrimDisabled, "is-enabled fstrim.timer\n"},
        {std::nullopt, "not-found", kTrimUnknown, "is-enabled fstrim.timer\n"},
        // The switch reports the state, then the state is read back.
        {true, "disabled", kTrimEnabled, "enable --now fstrim.timer\n" + kTwice},
        {false, "enabled", kTrimDisabled, "disable --now fstrim.timer\n" + kTwice},
        {true, "masked", kTrimDisabled, "enable --now fstrim.timer\n" + kTwice},
        // The switch reports no state: nothing is read back.
        {true, "not-found", kTrimUnknown, "enable --now fstrim.timer\nis-enabled fstrim.timer\n"},
    };
    TempFolder folder;
    const fs::path bin = folder.Path() / "bin";
    fs::create_directory(bin);
    std::ofstream(bin / "systemctl")
        << "#!/bin/sh\n"
           "echo \"$*\" >> \"$FAKE_DIR/calls\"\n"
           "case $1 in\n"
           "enable) read -r s < \"$FAKE_DIR/state\"; case $s in masked|not-found) exit 1 ;; esac; "
           "echo enabled > \"$FAKE_DIR/state\" ;;\n"
           "disable) echo disabled > \"$FAKE_DIR/state\" ;;\n"
           "is-enabled) read -r s < \"$FAKE_DIR/state\"; echo \"$s\"; "
           "[ \"$s\" = enabled ] ;;\n"
           "esac\n";
    fs::permissions(bin / "systemctl", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH");
    ::setenv("PATH", bin.c_str(), 1);
    ::setenv("FAKE_DIR", folder.Path().c_str(), 1);
    HostSystem host;
    for (const Case& c : cases) {
        std::ofstream(folder.Path() / "state") << c.stateBefore << "\n";
        fs::remove(folder.Path() / "calls");
        const TrimOutcome outcome = c.turnOn ? SetTrim(host, *c.turnOn) : QueryTrim(host);
        EXPECT_EQ(outcome.result, c.result) << c.stateBefore;
        EXPECT_EQ(Read(folder.Path() / "calls"), c.calls) << c.stateBefore;
    }
    ::setenv("PATH", oldPath.c_str(), 1);
    // The switch's verb travels as an argument; the script is the same for both.
    const auto on = host::HostTrimCommandLine(TrimCommand::TurnOn);
    const auto off = host::HostTrimCommandLine(TrimCommand::TurnOff);
    EXPECT_EQ(on.back(), "enable");
    EXPECT_EQ(off.back(), "disable");
    EXPECT_EQ(std::vector(on.begin(), on.end() - 1), std::vector(off.begin(), off.end() - 1));
}

}  // namespace
}  // namespace vellumin::trim
