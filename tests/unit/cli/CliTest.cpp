#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/unit/ata/FakeDrives.h"
#include "cli/Command.h"

namespace vellumin::cli {
namespace {

using test::FakeDriveSystem;
using test::MakeIdentify;

class FakeSystem : public platform::System {
public:
    bool IsAdministrator() override { return true; }
    bool RelaunchElevated(const std::vector<std::string>&) override { return false; }
};

class FakePlatform : public platform::Platform {
public:
    explicit FakePlatform(FakeDriveSystem drives) : m_drives(std::move(drives)) {}
    platform::DriveSystem& Drives() override { return m_drives; }
    platform::System& Sys() override { return m_system; }

private:
    FakeDriveSystem m_drives;
    FakeSystem m_system;
};

// Drives 1 and 3 are ours (3 holds C: and E:), drive 0 is someone else's.
FakeDriveSystem TwoDriveLab() {
    FakeDriveSystem lab;
    lab.drives[0].data = MakeIdentify("Other SSD");
    lab.drives[1].data = MakeIdentify("VQ240 Lite");
    auto ours = MakeIdentify("VQ1T Pro");
    ours[21] = 'S';  // serial "SN"
    ours[20] = 'N';
    ours[47] = '1';  // firmware "1.0 " + four blanks
    ours[46] = '.';
    ours[49] = '0';
    ours[48] = ' ';
    for (int b = 50; b < 54; ++b) ours[b] = ' ';
    lab.drives[3].data = ours;
    lab.volumes = {{"C", 3}, {"D", 0}, {"E", 3}};
    return lab;
}

struct Result {
    int code;
    std::string out;
    std::string err;
};

Result Cli(const std::vector<std::string>& args, FakeDriveSystem lab = TwoDriveLab()) {
    std::ostringstream out, err;
    const int code = RunCli(args, out, err, std::make_unique<FakePlatform>(std::move(lab)));
    return {code, out.str(), err.str()};
}

TEST(CliList, RowsAsTheDriveListShowsThem) {
    const auto r = Cli({"list"});
    EXPECT_EQ(r.code, ExitOk);
    EXPECT_EQ(r.out, "Drive 1   VQ240 Lite \nDrive 3   VQ1T Pro (C: E: )\n");

    const auto none = Cli({"list"}, FakeDriveSystem{});
    EXPECT_EQ(none.code, ExitOk);
    EXPECT_EQ(none.out, " No compatible device found! \n");
}

TEST(CliList, JsonDocument) {
    const auto r = Cli({"--json", "list"});
    ASSERT_EQ(r.code, ExitOk);
    const auto doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["count"], 2);
    ASSERT_EQ(doc["drives"].size(), 2u);
    EXPECT_EQ(doc["drives"][1]["row"], 1);
    EXPECT_EQ(doc["drives"][1]["drive"], 3);
    EXPECT_EQ(doc["drives"][1]["model"], "VQ1T Pro");
    EXPECT_EQ(doc["drives"][1]["volumes"], (nlohmann::json{"C", "E"}));
    EXPECT_EQ(doc["drives"][1]["text"], " VQ1T Pro (C: E: )");

    const auto none = nlohmann::json::parse(Cli({"list", "--json"}, FakeDriveSystem{}).out);
    EXPECT_EQ(none["count"], 0);
    EXPECT_TRUE(none["drives"].empty());
    EXPECT_EQ(none["list"], (nlohmann::json{" No compatible device found! "}));
}

TEST(CliList, EightBitModelSurvivesJson) {
    FakeDriveSystem lab;
    lab.drives[0].data = MakeIdentify("VQ\xE9t\xE9");
    const auto r = Cli({"--json", "list"}, std::move(lab));
    ASSERT_EQ(r.code, ExitOk);
    EXPECT_EQ(nlohmann::json::parse(r.out)["drives"][0]["model"], "VQ\xC3\xA9t\xC3\xA9");
}

TEST(CliIdentify, IdentityRows) {
    const auto r = Cli({"identify", "3"});
    ASSERT_EQ(r.code, ExitOk) << r.err;
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) got.push_back(line);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0], "Model Number      VQ1T Pro" + std::string(32, ' '));  // untrimmed
    EXPECT_EQ(got[1], "Serial Number     SN");
    EXPECT_EQ(got[2], "Firmware Version  1.0     ");
    EXPECT_EQ(got[3], "Rotation Rate     0x0001");
    EXPECT_EQ(got[4], "Model Prefix      VQ");
    EXPECT_EQ(got[5], "Compatible        yes");

    const auto doc = nlohmann::json::parse(Cli({"identify", "0", "--json"}).out);
    EXPECT_EQ(doc["drive"], 0);
    EXPECT_EQ(doc["compatible"], false);
    EXPECT_EQ(doc["rows"][4], (nlohmann::json{{"label", "Model Prefix"}, {"value", "Ot"}}));
}

TEST(CliIdentify, RawHexDump) {
    const auto r = Cli({"identify", "3", "--raw"});
    ASSERT_EQ(r.code, ExitOk);
    std::istringstream lines(r.out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) got.push_back(line);
    ASSERT_EQ(got.size(), 32u);
    EXPECT_EQ(got[0], "0000: 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(got[1], "0010: 00 00 00 00 4E 53 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(got[27], "01B0: 00 00 01 00 00 00 00 00 00 00 00 00 00 00 00 00");

    const auto doc = nlohmann::json::parse(Cli({"--json", "identify", "3", "--raw"}).out);
    const std::string hex = doc["identifyHex"];
    EXPECT_EQ(hex.size(), 512u * 3 - 1);
    EXPECT_EQ(hex.substr(16 * 3, 16 * 3 - 1), got[1].substr(6));
}

TEST(CliIdentify, BadDrives) {
    const auto absent = Cli({"identify", "7"});
    EXPECT_EQ(absent.code, ExitNoDrive);
    EXPECT_EQ(absent.err, "Physical drive 7 is not present or cannot be opened.\n");
    EXPECT_TRUE(absent.out.empty());
    EXPECT_EQ(Cli({"identify", "16"}).code, ExitNoDrive);
    EXPECT_EQ(Cli({"identify", "-1"}).code, ExitNoDrive);
    EXPECT_EQ(Cli({"identify", "99999999999999"}).code, ExitNoDrive);
    EXPECT_EQ(Cli({"identify", "3x"}).code, ExitUsage);
    EXPECT_EQ(Cli({"identify"}).code, ExitUsage);
    EXPECT_EQ(Cli({"frobnicate"}).code, ExitUsage);
    EXPECT_EQ(Cli({}).code, ExitUsage);
}

TEST(CliOptions, SimulateTakesAFileOnlyWhenOneIsGiven) {
    // A bare --simulate must leave the command name alone.
    EXPECT_EQ(Cli({"--simulate", "list"}).code, ExitOk);
    EXPECT_EQ(Cli({"--simulate", "identify", "3"}).code, ExitOk);
    EXPECT_EQ(Cli({"--simulate=lab.json", "list"}).code, ExitOk);
    EXPECT_EQ(Cli({"--simulate", "lab.json", "list"}).code, ExitOk);
    EXPECT_EQ(Cli({"list", "--simulate"}).code, ExitOk);
}

// End to end on the simulated lab: the built-in one, and a lab file made from a raw dump.
TEST(CliOptions, SimulatedLab) {
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--simulate", "list"}, out, err), ExitOk) << err.str();
    EXPECT_EQ(out.str().substr(0, out.str().find('\n')), "Drive 0    VQ S300 SSD 128GB (C: D: )");

    std::ostringstream dump;
    ASSERT_EQ(RunCli({"--simulate", "--json", "identify", "1", "--raw"}, dump, err), ExitOk);
    const std::string hex = nlohmann::json::parse(dump.str())["identifyHex"];
    const auto path = std::filesystem::temp_directory_path() /
                      ("vellumin-cli-test-lab-" + std::to_string(::getpid()) + ".json");
    std::ofstream(path) << nlohmann::json{{"volumes", {{{"name", "C"}, {"disk", 0}}}},
                                          {"drives", {{{"slot", 0}, {"identifyHex", hex}}}}};
    std::ostringstream fromFile;
    const int code = RunCli({"--simulate=" + path.string(), "list"}, fromFile, err);
    std::filesystem::remove(path);
    EXPECT_EQ(code, ExitOk) << err.str();
    EXPECT_EQ(fromFile.str(), "Drive 0   VQ S210 SSD 64GB (C: )\n");

    std::ostringstream none, missing;
    EXPECT_EQ(RunCli({"--simulate", "/nonexistent/lab.json", "list"}, none, missing), ExitUsage);
    EXPECT_FALSE(missing.str().empty());
}

TEST(CliOptions, HelpAndVersion) {
    const auto help = Cli({"--help"});
    EXPECT_EQ(help.code, ExitOk);
    EXPECT_NE(help.out.find("Exit status: 0 ok"), std::string::npos);
    EXPECT_NE(help.out.find("list"), std::string::npos);
    EXPECT_NE(help.out.find("identify"), std::string::npos);
    EXPECT_NE(help.out.find("--simulate"), std::string::npos);

    const auto version = Cli({"--version"});
    EXPECT_EQ(version.code, ExitOk);
    EXPECT_EQ(version.out.rfind("vellumin-cli ", 0), 0u);
}

}  // namespace
}  // namespace vellumin::cli
