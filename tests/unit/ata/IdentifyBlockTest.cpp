#include <gtest/gtest.h>

#include "tests/unit/ata/FakeDrives.h"
#include "ata/IdentifyBlock.h"

namespace vellumin::ata {
namespace {

TEST(AtaString, ZeroBytesNeverReachTheText) {
    IdentifyBlock block{};
    // Words 27..29 as (byte 2k+1, byte 2k): "VQ", (0,'X'), ('A',0)
    block[55] = 'V';
    block[54] = 'Q';
    block[57] = 0;
    block[56] = 'X';
    block[59] = 'A';
    block[58] = 0;
    block[61] = 'B';
    block[60] = 'C';
    EXPECT_EQ(AtaString(block, 27, 4), "VQABC");
    EXPECT_EQ(PrefixText(block), "VQ");
    EXPECT_EQ(PrefixText(IdentifyBlock{}), "");
    EXPECT_EQ(ModelNumber(IdentifyBlock{}), "");
}

TEST(AtaString, ModelSerialFirmwareAndRotation) {
    auto block = test::MakeIdentify("VQ 2.5 SSD  ", 0x0001);
    EXPECT_EQ(ModelNumber(block).size(), 40u);
    EXPECT_EQ(ModelText(block), "VQ 2.5 SSD");
    EXPECT_EQ(RotationText(block), "0x0001");
    block[435] = 0x1C;
    block[434] = 0x20;
    EXPECT_EQ(RotationText(block), "0x1C20");

    block[21] = '1';  // serial words 10..19, second character first
    block[20] = '2';
    EXPECT_EQ(SerialNumber(block), "12");
    block[47] = 'F';  // firmware words 23..26
    block[46] = 'W';
    block[49] = ' ';
    block[48] = ' ';
    EXPECT_EQ(FirmwareRevision(block), "FW  ");
}

TEST(PairedBytes, ControllerNameRule) {
    SmartBlock smart{};
    const char name[] = "SMI2242 ";
    for (int i = 0; i < 8; ++i) smart[400 + i] = static_cast<uint8_t>(name[i]);
    EXPECT_EQ(PairedBytes(smart, 400, 8), "SMI2242 ");
    smart[402] = 0;  // pair 402/403 adds nothing
    smart[407] = 0;  // pair 406/407 adds only 406
    EXPECT_EQ(PairedBytes(smart, 400, 8), "SM242");
    EXPECT_EQ(PairedBytes(smart, 510, 8), "");  // clipped at the block's end
}

// Words 89 and 90: 2-minute units, 8 bits or (bit 15 set) 15 bits, all ones meaning more.
TEST(IdentifyBlock, EraseTimeWords) {
    const std::pair<uint16_t, const char*> cases[] = {
        {0x0000, "not reported"},         {0x0002, "4 minutes"},
        {0x00FE, "508 minutes"},          {0x00FF, "more than 508 minutes"},
        {0x1203, "6 minutes"},            {0x8000, "not reported"},
        {0x8104, "520 minutes"},          {0xFFFF, "more than 65532 minutes"},
    };
    for (const auto& [word, text] : cases) {
        EXPECT_EQ(EraseTimeText(word), text) << word;
    }
}

}  // namespace
}  // namespace vellumin::ata
