// vellumin-cli scan on the built-in lab (drive 9 has an uncorrectable sector at 1,000,000).

#include <gtest/gtest.h>

#include <sstream>

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
    EXPECT_EQ(failed.code, kExitFailure);
    EXPECT_EQ(failed.out.str().rfind("Items Scanned : 999856 /2000000 \n50 %\nElapsed Time : 0 hr  0 min ", 0), 0u)
        << failed.out.str();
    EXPECT_NE(failed.out.str().find("\nMsg code : 1000000\n"), std::string::npos);

    CliRun quick({"--simulate", "--json", "scan", "9", "--quick"});
    ASSERT_EQ(quick.code, kExitOk) << quick.err.str();
    const auto summary = nlohmann::json::parse(quick.out.str());
    EXPECT_EQ(summary["ending"], "completed");
    EXPECT_EQ(summary["finalPosition"], 2'000'000);
    EXPECT_EQ(summary["total"], 2'000'000);
    EXPECT_EQ(summary["chunksRead"], 80);
    EXPECT_EQ(summary["result"], "");
    EXPECT_TRUE(summary["seconds"].is_number() && summary["mbPerSecond"].is_number());

    CliRun empty({"--simulate", "scan", "15", "--quick"});
    EXPECT_EQ(empty.code, kExitNoDrive);
    EXPECT_EQ(empty.err.str(), "The drive cannot be opened.\n");

    EXPECT_EQ(CliRun({"--simulate", "scan", "9"}).code, kExitUsage);
    EXPECT_EQ(CliRun({"--simulate", "scan", "9", "--quick", "--full"}).code, kExitUsage);
}

}  // namespace
}  // namespace vellumin::cli
