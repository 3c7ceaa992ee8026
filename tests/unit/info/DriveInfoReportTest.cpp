#include "pages/driveinfo/DriveInfoReport.h"

#include <gtest/gtest.h>

#include "tests/unit/info/Blocks.h"

namespace vellumin::pages {
namespace {

using testing::SetAtaString;
using testing::SetControllerBytes;
using testing::SetWord;

// Row indexes of the report.
enum Row {
    Number,
    Serial,
    Firmware,
    Model,
    Ncq,
    Major,
    SmartRow,
    Security,
    Apm,
    Interface,
    Trim,
    Transfer,
    SataSpeed
};

std::string Value(const ata::IdentifyBlock& identify, Row row, const ata::SmartBlock& smart = {}) {
    return DriveInfoRows(3, identify, smart).at(row).value;
}

TEST(DriveInfoReport, IdentityRowsKeepTrailingBlanks) {
    ata::IdentifyBlock identify{};
    SetAtaString(identify, 10, 10, "S1234");
    SetAtaString(identify, 23, 4, "1.0");
    SetAtaString(identify, 27, 20, "VQ SSD 256GB");
    const ReportRows rows = DriveInfoRows(7, identify, {});

    ASSERT_EQ(rows.size(), 13u);
    EXPECT_EQ(rows[Number], (ReportRow{"Physical Disk Number", "7"}));
    EXPECT_EQ(rows[Serial].value, "S1234" + std::string(15, ' '));
    EXPECT_EQ(rows[Firmware].value, "1.0     ");
    EXPECT_EQ(rows[Model].value, "VQ SSD 256GB" + std::string(28, ' '));
}

TEST(DriveInfoReport, MajorVersionTakesHighestBit) {
    ata::IdentifyBlock identify{};
    EXPECT_EQ(Value(identify, Major), "");
    SetWord(identify, 80, 0x000F);  // bits below 4 mean nothing here
    EXPECT_EQ(Value(identify, Major), "");
    SetWord(identify, 80, 0x0030);
    EXPECT_EQ(Value(identify, Major), "Support ATA/ATAPI-5");
    SetWord(identify, 80, 0xFFFF);
    EXPECT_EQ(Value(identify, Major), "Support ATA/ATAPI-8");
}

TEST(DriveInfoReport, TransferModeFromWord88) {
    ata::IdentifyBlock identify{};
    EXPECT_EQ(Value(identify, Transfer), "Ultra DMA mode 6");   // no mode bit at all
    SetWord(identify, 88, 0x00FF);                              // low byte: supported modes only
    EXPECT_EQ(Value(identify, Transfer), "Ultra DMA mode 6");
    SetWord(identify, 88, 0x0100);
    EXPECT_EQ(Value(identify, Transfer), "Ultra DMA mode 0");
    SetWord(identify, 88, 0x2200);
    EXPECT_EQ(Value(identify, Transfer), "Ultra DMA mode 5");
}

TEST(DriveInfoReport, SerialAtaWord76) {
    struct Case {
        uint16_t word76;
        const char* interface;
        const char* ncq;
        const char* speed;
    };
    for (const Case& c : {
             Case{0x0000, "Parallel ATA", "Not Supported", "Unknown"},
             Case{0xFFFF, "Parallel ATA", "Supported", "Support SATA Gen3 Signaling Speed"},
             Case{0x0106, "Serial ATA", "Supported", "Support SATA Gen2 Signaling Speed"},
             Case{0x0002, "Serial ATA", "Not Supported", "Support SATA Gen1 Signaling Speed"},
             Case{0x0001, "Serial ATA", "Not Supported", "Unknown"},
         }) {
        ata::IdentifyBlock identify{};
        SetWord(identify, 76, c.word76);
        const ReportRows rows = DriveInfoRows(0, identify, {});
        SCOPED_TRACE(c.word76);
        EXPECT_EQ(rows[Interface].value, c.interface);
        EXPECT_EQ(rows[Ncq].value, c.ncq);
        EXPECT_EQ(rows[SataSpeed].value, c.speed);
    }
}

TEST(DriveInfoReport, SmartAndSecurityRowsFollowValidityWords) {
    ata::IdentifyBlock identify{};
    SetWord(identify, 82, 0x0001);  // SMART supported, security not
    SetWord(identify, 85, 0x0003);  // both enabled
    SetWord(identify, 83, 0x4000);
    SetWord(identify, 84, 0x4000);

    // Word 87 not valid: both rows blank, later rows keep their places.
    for (uint16_t word87 : {0x0000, 0xC000, 0x8000}) {
        SetWord(identify, 87, word87);
        const ReportRows rows = DriveInfoRows(0, identify, {});
        ASSERT_EQ(rows.size(), 13u);
        EXPECT_EQ(rows[SmartRow], ReportRow{});
        EXPECT_EQ(rows[Security], ReportRow{});
        EXPECT_EQ(rows[Apm].label, "APM Support/Enable");
        EXPECT_EQ(rows[SataSpeed].label, "Serial ATA Capabilities");
    }

    SetWord(identify, 87, 0x4000);
    EXPECT_EQ(DriveInfoRows(0, identify, {})[SmartRow],
              (ReportRow{"SMART Support/Status", "Supported/Enabled"}));
    EXPECT_EQ(DriveInfoRows(0, identify, {})[Security],
              (ReportRow{"Security Support/Enable", "Not Supported/Enabled"}));

    // Words 83/84 not valid (either one): no support part, only the slash and the state.
    SetWord(identify, 85, 0x0001);
    SetWord(identify, 84, 0xC000);
    EXPECT_EQ(Value(identify, SmartRow), "/Enabled");
    EXPECT_EQ(Value(identify, Security), "/Disabled");
    SetWord(identify, 84, 0x4000);
    SetWord(identify, 83, 0x0000);
    EXPECT_EQ(Value(identify, SmartRow), "/Enabled");
}

TEST(DriveInfoReport, ApmRowReadsWords83And86) {
    ata::IdentifyBlock identify{};
    EXPECT_EQ(Value(identify, Apm), "Not Supported/Disabled");
    SetWord(identify, 83, 0x0008);  // no validity test for this row
    SetWord(identify, 86, 0x0008);
    EXPECT_EQ(Value(identify, Apm), "Supported/Enabled");
}

TEST(DriveInfoReport, TrimHiddenOnlyForExactSmiNames) {
    ata::IdentifyBlock identify{};
    SetWord(identify, 169, 0x0001);
    ata::SmartBlock smart{};
    EXPECT_EQ(Value(identify, Trim, smart), "Supported");

    for (const std::string& name :
         {std::string("SMI2242 "), std::string("SMI2242\0", 8), std::string("SMI2235")}) {
        SetControllerBytes(smart, name);
        EXPECT_EQ(Value(identify, Trim, smart), "Not Supported") << name;
    }
    for (const char* name : {" SMI2242", "smi2242", "SMI2243", "SM2246"}) {
        SetControllerBytes(smart, name);
        EXPECT_EQ(Value(identify, Trim, smart), "Supported") << name;
    }

    SetWord(identify, 169, 0x0000);
    SetControllerBytes(smart, "JMF667");
    EXPECT_EQ(Value(identify, Trim, smart), "Not Supported");
}

}  // namespace
}  // namespace vellumin::pages
