// vellumin-cli update on the default lab's loopback service.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

namespace fs = std::filesystem;

TEST(UpdateCli, OutcomesAndExitStatuses) {
    const fs::path folder =
        fs::temp_directory_path() / ("vellumin-cli-fw-" + std::to_string(getpid()));
    fs::create_directories(folder);
    struct Case {
        std::vector<std::string> arguments;
        int status;
        const char* text;  // in stdout, or in stderr for failures
    };
    const Case cases[] = {
        {{"update", "1"}, ExitOk, "You already have the latest firmware version."},
        {{"update", "4"}, ExitOk, "You already have the latest firmware version."},
        {{"update", "3", "--yes"}, 6, "Run again with --download DIR"},
        {{"update", "3", "--yes", "--download", folder.string()},
         ExitOk,
         "The file is downloaded at "},
        {{"update", "3", "--yes", "--download", (folder / "missing").string()},
         ExitFailure,
         "cannot be written"},
        {{"--json", "update", "3", "--yes", "--download", folder.string()},
         ExitOk,
         "\"ending\": \"completed\""},
        {{"update", "15"}, ExitNoDrive, "15"},
    };
    for (const Case& c : cases) {
        std::ostringstream out, err;
        const int status = RunCli(c.arguments, out, err, platform::sim::CreateSimPlatform());
        EXPECT_EQ(status, c.status) << c.arguments[1] << "\n" << out.str() << err.str();
        EXPECT_NE((out.str() + err.str()).find(c.text), std::string::npos)
            << out.str() << err.str();
    }
    EXPECT_EQ(fs::file_size(folder / "VQ41.bin"), 1048576u);
    fs::remove_all(folder);
}

// Control characters from the service reach the terminal only escaped; JSON keeps them.
TEST(UpdateCli, NetworkTextIsEscapedOnTheTerminal) {
    const std::string lab = testing::TempDir() + "escape-lab.json";
    std::ofstream(lab) << R"({"machine": {"firmwareAnswers": [{"reply":
        "P/N=X<br>Flash=F<br>Controller=C<br>Current FW version=NEW<br>Download Url=http://{service}/fw/\u001b]0;title\u0007A.bin<br>"}]},
      "drives": [{"model": "VQ M500 SSD", "serial": "123456789012", "firmware": "OLD",
                  "sectors": 1000}]})";
    std::ostringstream out, err;
    ASSERT_EQ(RunCli({"--simulate=" + lab, "update", "0", "--yes"}, out, err), 6) << err.str();
    const std::string text = out.str();
    EXPECT_NE(text.find("/fw/\\x1B]0;title\\x07A.bin\n"), std::string::npos) << text;
    EXPECT_EQ(std::count_if(text.begin(), text.end(),
                            [](unsigned char c) { return c < 0x20 && c != '\n'; }),
              0);

    std::ostringstream json, jsonErr;
    ASSERT_EQ(RunCli({"--simulate=" + lab, "--json", "update", "0", "--yes"}, json, jsonErr), 6);
    EXPECT_NE(nlohmann::json::parse(json.str())["url"].get<std::string>().find("\x1b]0;title\a"),
              std::string::npos);
}

}  // namespace
}  // namespace vellumin::cli
