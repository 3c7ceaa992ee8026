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

TEST(CliOutput, TerminalTextEscapesWhatCouldActOnATerminal) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://h/fw/A (1).bin", "http://h/fw/A (1).bin"},
        {"\x1b]0;t\x07\x1b[31m", "\\x1B]0;t\\x07\\x1B[31m"},
        {"a\tb\r\n\x7f", "a\\x09b\\x0D\\x0A\\x7F"},
        {"\xe2\x80\x9c\xc3\xa9\xf0\x9f\x92\xbe", "\xe2\x80\x9c\xc3\xa9\xf0\x9f\x92\xbe"},  // UTF-8
        {"\xc2\x9bm", "\\xC2\\x9Bm"},  // C1 CSI as UTF-8
        {"\x9bm", "\\x9Bm"},           // ... and as a lone byte
        {"\xe9t\xe9", "\\xE9t\\xE9"},  // Latin-1 is no UTF-8
        // overlong, surrogate, cut short
        {"\xc0\xaf\xed\xa0\x80\xe2\x80", "\\xC0\\xAF\\xED\\xA0\\x80\\xE2\\x80"},
    };
    for (const auto& [text, shown] : cases) {
        EXPECT_EQ(TerminalText(text), shown) << text;
    }
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
