// vellumin-cli update on the default lab's loopback service.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

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

}  // namespace
}  // namespace vellumin::cli
