#include <gtest/gtest.h>

#include <filesystem>

#include "platform/CommandRunner.h"
#include "host/HostTrim.h"

namespace vellumin::platform {
namespace {

int OurTempFiles() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        count += entry.path().filename().string().rfind("vellumin-", 0) == 0;
    }
    return count;
}

// The child's output lands in a file of this run only, which is gone when the object is.
TEST(CommandRunnerOnWindows, OutputInAFreshPrivateFileThatLeavesNothing) {
    const int before = OurTempFiles();
    {
        auto file = TempFile::Create();
        ASSERT_TRUE(file);
        EXPECT_EQ(OurTempFiles(), before + 1);
        CommandRunner& runner = SpawnRunner();
        ASSERT_TRUE(runner.Run(EchoCommandLine("DisableDeleteNotify = 1"), file->Fd()));
        ASSERT_TRUE(runner.Run(EchoCommandLine(""), file->Fd()));  // writes nothing
        EXPECT_EQ(file->ReadFromStart(511), "DisableDeleteNotify = 1\r\n");
        EXPECT_EQ(file->ReadFromStart(5), "Disab");

        auto second = TempFile::Create();
        ASSERT_TRUE(second);
        EXPECT_EQ(second->ReadFromStart(511), "");  // an earlier run's output is never read back
    }
    EXPECT_EQ(OurTempFiles(), before);
}

TEST(CommandRunnerOnWindows, AProgramThatCannotStartIsReported) {
    auto file = TempFile::Create();
    ASSERT_TRUE(file);
    EXPECT_FALSE(SpawnRunner().Run({"C:\\no\\such\\program.exe"}, file->Fd()));
    EXPECT_FALSE(SpawnRunner().Run({}, file->Fd()));
}

// fsutil from the system directory, never one found first on the search path.
TEST(CommandRunnerOnWindows, TrimCommandsAreFsutilOfTheSystemDirectory) {
    const auto query = host::HostTrimCommandLine(TrimCommand::Query);
    const auto on = host::HostTrimCommandLine(TrimCommand::TurnOn);
    const auto off = host::HostTrimCommandLine(TrimCommand::TurnOff);
    ASSERT_EQ(query.size(), 4u);
    EXPECT_NE(query[0].find(":\\"), std::string::npos) << query[0];
    EXPECT_EQ(query[0].substr(query[0].size() - 11), "\\fsutil.exe");
    EXPECT_EQ(std::vector<std::string>(query.begin() + 1, query.end()),
              (std::vector<std::string>{"behavior", "query", "DisableDeleteNotify"}));
    EXPECT_EQ(on.back(), "0");
    EXPECT_EQ(off.back(), "1");
    EXPECT_EQ(on[2], "set");
}

}  // namespace
}  // namespace vellumin::platform
