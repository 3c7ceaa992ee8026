// vellumin-cli scan on the built-in lab (drive 9 has an uncorrectable sector at 1,000,000).

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "ata/Registers.h"
#include "cli/Command.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

struct CliRun {
    explicit CliRun(const std::vector<std::string>& args) : code(RunCli(args, out, err)) {}
    std::ostringstream out, err;
    int code;
};

TEST(ScanCli, EndingsTextsAndExitStatus) {
    CliRun failed({"--simulate", "scan", "9", "--full"});
    EXPECT_EQ(failed.code, ExitFailure);
    EXPECT_EQ(failed.out.str().rfind("Items Scanned : 999856 /2000000 \n50 %\nElapsed Time : 0 hr  0 min ", 0), 0u)
        << failed.out.str();
    EXPECT_NE(failed.out.str().find("\nMsg code : 1000000\n"), std::string::npos);

    CliRun quick({"--simulate", "--json", "scan", "9", "--quick"});
    ASSERT_EQ(quick.code, ExitOk) << quick.err.str();
    const auto summary = nlohmann::json::parse(quick.out.str());
    EXPECT_EQ(summary["ending"], "completed");
    EXPECT_EQ(summary["finalPosition"], 2'000'000);
    EXPECT_EQ(summary["total"], 2'000'000);
    EXPECT_EQ(summary["chunksRead"], 80);
    EXPECT_EQ(summary["result"], "");
    EXPECT_TRUE(summary["seconds"].is_number() && summary["mbPerSecond"].is_number());

    // --fast: queued reads, the same texts, and where READ DMA took over.
    CliRun fast({"--simulate", "scan", "9", "--full", "--fast"});
    EXPECT_EQ(fast.code, ExitFailure);
    EXPECT_EQ(fast.out.str().rfind("Items Scanned : 999856 /2000000 \n50 %\n", 0), 0u) << fast.out.str();
    EXPECT_NE(fast.out.str().find("\nMsg code : 1000000\n"), std::string::npos);
    EXPECT_NE(fast.out.str().find("\nRead by READ DMA from LBA 999856, where a queued read failed.\n"),
              std::string::npos);
    CliRun fastQuick({"--simulate", "--json", "scan", "9", "--quick", "--fast"});
    EXPECT_EQ(fastQuick.code, ExitOk);
    const auto fastSummary = nlohmann::json::parse(fastQuick.out.str());
    EXPECT_EQ(fastSummary["way"], "queued");
    EXPECT_EQ(fastSummary["chunksRead"], 80);
    EXPECT_TRUE(fastSummary["readDmaFrom"].is_null());

    CliRun empty({"--simulate", "scan", "15", "--quick"});
    EXPECT_EQ(empty.code, ExitNoDrive);
    EXPECT_EQ(empty.err.str(), "The drive cannot be opened.\n");

    EXPECT_EQ(CliRun({"--simulate", "scan", "9"}).code, ExitUsage);
    EXPECT_EQ(CliRun({"--simulate", "scan", "9", "--quick", "--full"}).code, ExitUsage);
}

// A scan that could not read says why the read, or the open, was not delivered.
TEST(ScanCli, VerboseJsonNamesWhyAReadWasNotDelivered) {
    platform::sim::DriveDescription drive;
    drive.model = "VQ 240GB SSD";
    drive.sectors = 1000000;
    drive.transport.undeliveredCommands = {ata::cmd::kReadDma};
    platform::sim::LabDescription desc;
    desc.drives[0] = drive;
    desc.drives[1] = drive;
    desc.drives[1]->transport.openFails = true;
    const struct {
        const char* drive;
        int code;
        const char* ending;
        const char* command;
        const char* reason;
        const char* line;
    } cases[] = {
        {"0", ExitFailure, "failed", "READ DMA", "refused by the lab's transport",
         "Physical drive 0: READ DMA: refused by the lab's transport"},
        {"1", ExitNoDrive, "not-opened", "open",
         "drive cannot be opened: held open by another program (errno 16: Device or resource busy)",
         "Physical drive 1 cannot be opened: held open by another program (errno 16: Device or resource busy)"},
    };
    for (const auto& c : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(RunCli({"--verbose", "--json", "scan", c.drive, "--quick"}, out, err,
                         std::make_unique<platform::sim::SimPlatform>(desc)),
                  c.code);
        const auto summary = nlohmann::json::parse(out.str());
        EXPECT_EQ(summary["ending"], c.ending);
        ASSERT_EQ(summary["notDelivered"].size(), 1u) << c.drive;
        EXPECT_EQ(summary["notDelivered"][0]["command"], c.command);
        EXPECT_EQ(summary["notDelivered"][0]["reason"], c.reason);
        EXPECT_EQ(err.str(), std::string(c.line) + "\n");
    }
}

// Ctrl-C sent from another thread while the scan runs: the scan stops after the chunk in
// progress and reports it, and the default action is back afterwards. The test starts from the
// default action itself: a runner started in the background hands SIGINT down ignored.
TEST(ScanCli, InterruptStopsTheScan) {
    struct sigaction inherited {};
    struct sigaction byDefault {};
    byDefault.sa_handler = SIG_DFL;
    sigaction(SIGINT, &byDefault, &inherited);
    const std::string lab = testing::TempDir() + "slow-scan-lab.json";
    std::ofstream(lab) << R"({"drives": [{"model": "VQ S300 SSD 128GB", "sectors": 1000000,
                                          "readLatencyMicroseconds": 2000}]})";
    std::thread interrupter([] {
        for (int i = 0; i < 2000; ++i) {
            struct sigaction current {};
            sigaction(SIGINT, nullptr, &current);
            if (current.sa_handler != SIG_DFL && current.sa_handler != SIG_IGN) {
                kill(getpid(), SIGINT);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    CliRun run({"--simulate=" + lab, "--json", "scan", "0", "--full"});
    interrupter.join();
    ASSERT_EQ(run.code, ExitStopped) << run.err.str();
    const auto summary = nlohmann::json::parse(run.out.str());
    EXPECT_EQ(summary["ending"], "stopped");
    EXPECT_LT(summary["finalPosition"], 1'000'000);
    struct sigaction after {};
    sigaction(SIGINT, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_DFL);
    sigaction(SIGINT, &inherited, nullptr);
}

}  // namespace
}  // namespace vellumin::cli
