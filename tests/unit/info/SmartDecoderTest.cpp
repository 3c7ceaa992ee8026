#include <gtest/gtest.h>

#include "tests/unit/info/Blocks.h"
#include "pages/smart/SmartDispatch.h"

namespace vellumin::pages {
namespace {

using testing::SetSlot;

std::vector<std::string> Values(const ReportRows& rows) {
    std::vector<std::string> values;
    for (const auto& row : rows) {
        values.push_back(row.value);
    }
    return values;
}

std::vector<std::string> Labels(const ReportRows& rows) {
    std::vector<std::string> labels;
    for (const auto& row : rows) {
        labels.push_back(row.label);
    }
    return labels;
}

TEST(SmartDecoders, AllZeroBlock) {
    const ata::SmartBlock zero{};
    for (SmartDecoder d : {SmartDecoder::Sm2246, SmartDecoder::Jmf667, SmartDecoder::Jmf612,
                           SmartDecoder::ModelSeries}) {
        const ReportRows rows = DecodeSmartWith(d, zero);
        ASSERT_FALSE(rows.empty());
        EXPECT_FALSE(rows[0].label.empty());
        for (const auto& row : rows) {
            EXPECT_EQ(row.value, "") << row.label;
            EXPECT_FALSE(row.number) << row.label;
        }
    }
    EXPECT_EQ(Values(DecodeSmartWith(SmartDecoder::Smi, zero)),
              (std::vector<std::string>{"0", "0", "0", "0"}));
    EXPECT_TRUE(DecodeSmartWith(SmartDecoder::None, zero).empty());
}

TEST(SmartDecoders, LaterSlotWinsAndEmptySlotsMatchNothing) {
    ata::SmartBlock smart{};
    SetSlot(smart, 3, 0x09, {0x10, 0x00});
    SetSlot(smart, 17, 0x09, {0x20, 0x01});
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::Jmf667, smart)[0].value, "288");
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::Sm2246, smart)[0].value, "288");

    // A slot with id 0 carrying bytes is ignored, and the last slot counts like any other.
    SetSlot(smart, 20, 0x00, {0xFF, 0xFF});
    SetSlot(smart, 29, 0x0C, {0x05, 0x00});
    const ReportRows rows = DecodeSmartWith(SmartDecoder::Jmf667, smart);
    EXPECT_EQ(rows[0].value, "288");
    EXPECT_EQ(rows[1].value, "5");
}

TEST(SmartDecoders, Sm2246ShowsRawAsSigned32) {
    ata::SmartBlock smart{};
    SetSlot(smart, 0, 0x09, {0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34});
    SetSlot(smart, 1, 0x0C, {0x00, 0x00, 0x00, 0x80});
    SetSlot(smart, 2, 0xA5, {0x01, 0x02, 0x03, 0x04});
    SetSlot(smart, 3, 0xA6, {0x03});
    SetSlot(smart, 4, 0xA7, {0x02});
    const ReportRows rows = DecodeSmartWith(SmartDecoder::Sm2246, smart);
    EXPECT_EQ(Labels(rows), (std::vector<std::string>{"Power-On Hour Count", "Power Cycle Count",
                                                      "Maximum Erase Count", "Average Erase Count",
                                                      "Minimum Erase Count"}));
    EXPECT_EQ(Values(rows), (std::vector<std::string>{"-1", "-2147483648", "67305985", "2", "3"}));
    const int64_t numbers[] = {-1, -2147483648LL, 67305985, 2, 3};
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].number, numbers[i]) << rows[i].label;
    }
}

TEST(SmartDecoders, JmicronTemperaturesAndErasePair) {
    ata::SmartBlock smart{};
    SetSlot(smart, 0, 0xC2, {40, 0, 25, 0, 255, 0});
    SetSlot(smart, 1, 0xAD, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
    SetSlot(smart, 2, 0x09, {0x34, 0x12, 0xFF});  // 16 bits only

    const ReportRows jmf667 = DecodeSmartWith(SmartDecoder::Jmf667, smart);
    const ReportRows jmf612 = DecodeSmartWith(SmartDecoder::Jmf612, smart);
    EXPECT_EQ(Values(jmf667), (std::vector<std::string>{"4660", "", "3", "2", "1", "40C (104F)",
                                                        "25C (77F)", "255C (491F)"}));
    // Same labels, average and minimum exchanged, maximum unchanged.
    EXPECT_EQ(Labels(jmf612), Labels(jmf667));
    EXPECT_EQ(Values(jmf612), (std::vector<std::string>{"4660", "", "1", "2", "3", "40C (104F)",
                                                        "25C (77F)", "255C (491F)"}));

    SetSlot(smart, 0, 0xC2, {37});
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::Jmf667, smart)[5].value, "37C (98F)");
}

TEST(SmartDecoders, ModelSeriesRows) {
    ata::SmartBlock smart{};
    SetSlot(smart, 0, 0x0C, {0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x27}, 0);
    SetSlot(smart, 1, 0xC2, {0x2C, 0x01, 0x77});  // 16-bit temperature: 300
    SetSlot(smart, 2, 0xF1, {0x00, 0x00, 0x00, 0x01, 0xEE});
    ReportRows rows = DecodeSmartWith(SmartDecoder::ModelSeries, smart);
    ASSERT_EQ(rows.size(), 9u);
    EXPECT_EQ(rows[1], (ReportRow{"Device Power Cycle Count", "4294967295", 4294967295}));
    EXPECT_EQ(rows[2], (ReportRow{"Device Power Cycle Time", "10000", 10000}));
    EXPECT_EQ(rows[4], (ReportRow{"Current Temperature", "300C (572F)", 300}));
    EXPECT_EQ(rows[5].value, "16777216");
    EXPECT_EQ(rows[7], ReportRow{});
    EXPECT_EQ(rows[8], ReportRow{});

    // The vendor byte is the top byte of the power-cycle time.
    SetSlot(smart, 0, 0x0C, {0, 0, 0, 0, 0x10, 0x27}, 0x01);
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::ModelSeries, smart)[2].value, "75536");
}

TEST(SmartDecoders, SmiReadsFixedBytes) {
    ata::SmartBlock smart{};
    smart[115] = 0x02;
    smart[116] = 0x01;
    smart[110] = 0x77;  // id byte of slot 9: not looked at
    smart[421] = 0x01;
    smart[426] = 0x00;
    smart[427] = 0x01;
    smart[428] = 0x02;
    smart[431] = 0xFF;
    const ReportRows rows = DecodeSmartWith(SmartDecoder::Smi, smart);
    EXPECT_EQ(Labels(rows),
              (std::vector<std::string>{"Power Cycle Count", "Average Erase Count",
                                        "Maximum Erase Count", "Minimum Erase Count"}));
    EXPECT_EQ(Values(rows), (std::vector<std::string>{"258", "65536", "258", "255"}));
}

TEST(SmartDecoders, NothingBeyondTheAttributeTableIsRead) {
    // Slot 29 ends at byte 361: the bytes after it never leak into a table decoder.
    ata::SmartBlock smart{};
    for (size_t i = 362; i < smart.size(); ++i) {
        smart[i] = 0xEE;
    }
    SetSlot(smart, 29, 0x0C, {1, 0, 0, 0, 0, 0}, 0);
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::ModelSeries, smart)[2].value, "0");
    EXPECT_EQ(DecodeSmartWith(SmartDecoder::ModelSeries, smart)[1].value, "1");
}

}  // namespace
}  // namespace vellumin::pages
