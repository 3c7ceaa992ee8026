// vellumin-cli scan on the built-in lab (drive 9 has an uncorrectable sector at 1,000,000).

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "cli/Command.h"

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

// Ctrl-C sent from another thread while the scan runs: the scan stops after the chunk in
// progress and reports it, and the default action is back afterwards.
TEST(ScanCli, InterruptStopsTheScan) {
    const std::string lab = testing::TempDir() + "slow-scan-lab.json";
    std::ofstream(lab) << R"({"drives": [{"model": "VQ S300 SSD 128GB", "sectors": 1000000,
                                          "readLatencyMicroseconds": 2000}]})";
    std::thread interrupter([] {
        for (int i = 0; i < 2000; ++i) {
            struct sigaction current {};
            sigaction(SIGINT, nullptr, &current);
            if (current.sa_handler != SIG_DFL) {
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
}

}  // namespace
}  // namespace vellumin::cli
