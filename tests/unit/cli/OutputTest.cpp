#include <sstream>

#include <gtest/gtest.h>

#include "cli/Output.h"

namespace vellumin::cli {
namespace {

TEST(CliOutput, TableAlignsLabelsAndKeepsValuesVerbatim) {
    std::ostringstream out;
    PrintTable(out, {{"A", "x  "}, {"Longer label", ""}, {"", " lead"}});
    EXPECT_EQ(out.str(), std::string("A             x  \n") + "Longer label  \n" + "               lead\n");
}

TEST(CliOutput, RowsJsonKeepsOrderAndEightBitText) {
    const auto json = RowsJson({{"B", "1 "}, {"A", "\xB5s"}});
    ASSERT_EQ(json.size(), 2u);
    EXPECT_EQ(json[0]["label"], "B");
    EXPECT_EQ(json[0]["value"], "1 ");
    EXPECT_EQ(json[1]["value"], "\xC2\xB5s");
}

TEST(CliOutput, DriveNumbers) {
    EXPECT_EQ(ParseDrive("0"), 0);
    EXPECT_EQ(ParseDrive("15"), 15);
    for (const char* out : {"16", "-1", "4294967296"}) {
        try {
            ParseDrive(out);
            ADD_FAILURE() << out;
        } catch (const CommandError& e) {
            EXPECT_EQ(e.code, ExitNoDrive) << out;
        }
    }
    for (const char* bad : {"", "a", "1a", " 1", "+1", "1.0"}) {
        try {
            ParseDrive(bad);
            ADD_FAILURE() << bad;
        } catch (const CommandError& e) {
            EXPECT_EQ(e.code, ExitUsage) << bad;
        }
    }
}

TEST(CliOutput, HexDumpShortLastLine) {
    const uint8_t bytes[18] = {0x00, 0xAB, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x7E, 0x01};
    const auto lines = HexDumpLines(bytes, sizeof bytes);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0000: 00 AB 10 00 00 00 00 00 00 00 00 00 00 00 00 FF");
    EXPECT_EQ(lines[1], "0010: 7E 01");
    EXPECT_EQ(HexBytes(bytes + 15, 3), "FF 7E 01");
    EXPECT_EQ(HexBytes(bytes, 0), "");
}

}  // namespace
}  // namespace vellumin::cli
