#include <fstream>
#include <sstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

using platform::sim::LabTrimCommand;

struct CliRun {
    int status;
    std::string out, err;
    bool enabledAfter;
};

CliRun RunOnLab(const std::vector<std::string>& args, bool enabled,
                LabTrimCommand mode = LabTrimCommand::Works, uint8_t productType = 1) {
    platform::sim::LabDescription desc;
    desc.machine.trimEnabled = enabled;
    desc.machine.trimCommand = mode;
    desc.machine.os.version.productType = productType;
    // RunCli ends the platform it is given; the lab must outlive it to be read afterwards.
    struct Borrowed : platform::Platform {
        explicit Borrowed(platform::Platform& p) : lab(p) {}
        platform::DriveSystem& Drives() override { return lab.Drives(); }
        platform::System& Sys() override { return lab.Sys(); }
        platform::Platform& lab;
    };
    platform::sim::SimPlatform sim(std::move(desc));
    std::ostringstream out, err;
    const int status = RunCli(args, out, err, std::make_unique<Borrowed>(sim));
    return {status, out.str(), err.str(), sim.Machine().trimEnabled};
}

// The exit status tells the state; the line is the page's.
TEST(TrimCli, StatusLineExitStatusAndErrors) {
    struct Case {
        std::vector<std::string> args;
        LabTrimCommand mode;
        uint8_t productType;
        int status;
        std::string out, err;
        bool enabledAfter;
    };
    const Case cases[] = {
        {{"trim"},
         LabTrimCommand::Works,
         1,
         0,
         "Status: TRIM is enabled on this system\n",
         "",
         true},
        {{"trim", "off"},
         LabTrimCommand::Works,
         1,
         10,
         "Status: TRIM is disabled on this system\n",
         "",
         false},
        {{"trim", "off"},
         LabTrimCommand::Works,
         3,
         11,
         "Your operating system does not support TRIM\n",
         "",
         true},
        {{"trim", "off"},
         LabTrimCommand::CannotStart,
         1,
         12,
         "Status: the TRIM state of this system could not be read\n",
         "Error: Launch failed\n",
         true},
        // A switch that printed nothing is not reported as done.
        {{"trim", "on"},
         LabTrimCommand::WritesNothing,
         1,
         12,
         "Status: the TRIM state of this system could not be read\n",
         "",
         true},
        {{"trim", "sideways"}, LabTrimCommand::Works, 1, ExitUsage, "", "", true},
    };
    for (const Case& c : cases) {
        const CliRun run = RunOnLab(c.args, true, c.mode, c.productType);
        EXPECT_EQ(run.status, c.status) << c.out;
        EXPECT_EQ(run.out, c.out);
        if (c.status != ExitUsage) {
            EXPECT_EQ(run.err, c.err);
        }
        EXPECT_EQ(run.enabledAfter, c.enabledAfter) << c.out;
    }
    const auto document = nlohmann::json::parse(RunOnLab({"--json", "trim", "on"}, false).out);
    EXPECT_EQ(document["state"], "enabled");
    EXPECT_EQ(document["status"], "Status: TRIM is enabled on this system");
}

TEST(TrimCli, SavedLabKeepsTheSwitchedSetting) {
    const std::string lab = testing::TempDir() + "trim-lab.json";
    const std::string saved = testing::TempDir() + "trim-lab-saved.json";
    std::ofstream(lab) << R"({"machine": {"trimEnabled": true}})";
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--simulate=" + lab, "--save-lab", saved, "trim", "off"}, out, err), 10)
        << err.str();
    std::ifstream file(saved);
    EXPECT_EQ(nlohmann::json::parse(file)["machine"]["trimEnabled"], false);
}

TEST(OsCli, DisplayLineAndTrimOffer) {
    const CliRun text = RunOnLab({"os"}, true, LabTrimCommand::CannotStart, 3);
    EXPECT_EQ(text.status, 0);
    EXPECT_EQ(text.out,
              "Operating System: Windows Serser 2008 R2 Service Pack 1\nTRIM offered: no\n");
    EXPECT_TRUE(text.err.empty());  // nothing was run

    const auto document = nlohmann::json::parse(RunOnLab({"os", "--json"}, true).out);
    EXPECT_EQ(document["displayLine"], "Operating System: Windows 7 Service Pack 1");
    EXPECT_EQ(document["trimOffered"], true);
}

}  // namespace
}  // namespace vellumin::cli
