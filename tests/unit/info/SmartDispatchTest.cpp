#include "pages/smart/SmartDispatch.h"

#include <gtest/gtest.h>

#include "tests/unit/info/Blocks.h"

namespace vellumin::pages {
namespace {

using testing::Identify;
using testing::SetSlot;
using testing::SmartNamed;

TEST(ControllerName, PairsAndPadding) {
    EXPECT_EQ(ControllerName(SmartNamed("SMI2242 ")), "SMI2242");
    EXPECT_EQ(ControllerName(SmartNamed(std::string("SMI2242\0", 8))), "SMI2242");
    EXPECT_EQ(ControllerName(SmartNamed(" SMI2242")), " SMI2242");
    EXPECT_EQ(ControllerName(SmartNamed("JMF667\t\r")), "JMF667");
    // A zero first byte drops its whole pair; a zero second byte only itself.
    EXPECT_EQ(ControllerName(SmartNamed(std::string("SM\0I2242", 8))), "SM2242");
    EXPECT_EQ(ControllerName(SmartNamed(std::string("S\0MI2242", 8))), "SMI2242");
    EXPECT_EQ(ControllerName(ata::SmartBlock{}), "");
}

TEST(SmartDispatchRules, ControllerNameIsExactAndTestedFirst) {
    struct Case {
        std::string name;
        SmartDecoder decoder;
    };
    for (const Case& c : {
             Case{"SMI2242", SmartDecoder::Smi},
             Case{"SMI2235", SmartDecoder::Smi},
             Case{"JMF667", SmartDecoder::Jmf667},
             Case{"SM2246", SmartDecoder::Sm2246},
             Case{"JMF612", SmartDecoder::Jmf612},
             Case{"JMF616", SmartDecoder::Jmf612},
             Case{"smi2242", SmartDecoder::None},
             Case{" SMI2242", SmartDecoder::None},
             Case{"SMI22420", SmartDecoder::None},
         }) {
        EXPECT_EQ(ChooseSmartDecoder(c.name, "", "").decoder, c.decoder) << c.name;
    }
    // A known controller wins over any listed firmware revision.
    EXPECT_EQ(ChooseSmartDecoder("JMF667", "101202", ""),
              (SmartDispatch{SmartDecoder::Jmf667, false, false}));
    EXPECT_EQ(ChooseSmartDecoder("SM2246", "V0826", ""),
              (SmartDispatch{SmartDecoder::Sm2246, false, false}));
}

TEST(SmartDispatchRules, FirmwareListsForUnnamedControllers) {
    for (const char* fw :
         {"101202B", "101022", "101028", "101202", "110322", "110512", "100707A"}) {
        EXPECT_EQ(ChooseSmartDecoder("", fw, ""),
                  (SmartDispatch{SmartDecoder::Jmf612, false, false}))
            << fw;
    }
    for (const char* fw : {"V0826", "V1210", "V0118", "V0327", "V0513", "V090216", "V090331",
                           "V090331a", "V090331H", "V090508", "100415"}) {
        EXPECT_EQ(ChooseSmartDecoder("XYZ", fw, ""),
                  (SmartDispatch{SmartDecoder::None, true, false}))
            << fw;
    }
    EXPECT_EQ(ChooseSmartDecoder("", "V090331A", ""), SmartDispatch{});
    EXPECT_EQ(ChooseSmartDecoder("", "101202C", ""), SmartDispatch{});
}

TEST(SmartDispatchRules, ModelSeriesSubstring) {
    EXPECT_TRUE(ata::IsModelSeries("VQ KD5508 240GB"));
    EXPECT_TRUE(ata::IsModelSeries("KM5508"));
    EXPECT_TRUE(ata::IsModelSeries("xxKD3308"));
    EXPECT_FALSE(ata::IsModelSeries("kd5508"));
    EXPECT_FALSE(ata::IsModelSeries("KD 5508"));
    EXPECT_TRUE(ChooseSmartDecoder("JMF667", "", "VQ KM5508").modelSeries);
}

TEST(DecodeSmart, TrimmedIdentifyTextsSelect) {
    ata::SmartBlock smart{};
    SetSlot(smart, 0, 0xAD, {1, 0, 2, 0, 3, 0});
    // "101202" padded with blanks in the 8-character field still matches.
    const SmartReport report = DecodeSmart(smart, Identify("101202", "VQ SSD"));
    EXPECT_EQ(report.dispatch.decoder, SmartDecoder::Jmf612);
    ASSERT_EQ(report.rows.size(), 8u);
    EXPECT_EQ(report.rows[2].value, "1");
    EXPECT_FALSE(report.showMessage);

    EXPECT_EQ(DecodeSmart(smart, Identify(" 101202", "VQ SSD")).dispatch, SmartDispatch{});
}

TEST(DecodeSmart, MessageAndModelSeries) {
    const ata::SmartBlock unnamed{};
    SmartReport report = DecodeSmart(unnamed, Identify("V0826", "VQ SSD"));
    EXPECT_TRUE(report.rows.empty());
    EXPECT_TRUE(report.showMessage);
    EXPECT_EQ(report.message, "The selected drive does not support this function.");

    // The model-series rows come and the message stays.
    report = DecodeSmart(unnamed, Identify("V0826", "VQ KD3308 120GB"));
    ASSERT_EQ(report.rows.size(), 9u);
    EXPECT_EQ(report.rows[0].label, "Power-On Hours");
    EXPECT_TRUE(report.showMessage);

    // The controller decoder's rows are replaced.
    ata::SmartBlock sm2246 = SmartNamed("SM2246");
    SetSlot(sm2246, 0, 0x09, {0xFF, 0xFF, 0xFF, 0xFF});
    report = DecodeSmart(sm2246, Identify("S1", "VQ KM5508"));
    EXPECT_EQ(report.dispatch, (SmartDispatch{SmartDecoder::Sm2246, false, true}));
    ASSERT_EQ(report.rows.size(), 9u);
    EXPECT_EQ(report.rows[0], (ReportRow{"Power-On Hours", "4294967295", 4294967295}));
    EXPECT_FALSE(report.showMessage);
}

TEST(DecodeSmart, UnreadableDriveShowsNothing) {
    const SmartReport report = DecodeSmart(ata::SmartBlock{}, ata::IdentifyBlock{});
    EXPECT_EQ(report.dispatch, SmartDispatch{});
    EXPECT_TRUE(report.rows.empty());
    EXPECT_FALSE(report.showMessage);
    EXPECT_EQ(report.message, "");
}

}  // namespace
}  // namespace vellumin::pages
