#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/windows/AtaPassThroughDirect.h"
#include "platform/windows/WindowsPlatform.h"

namespace vellumin::platform::windows_backend {
namespace {

struct Offsets {
    size_t size, flags, length, timeout, buffer, previous, current;
    bool operator==(const Offsets&) const = default;
};

template <typename Layout>
Offsets OffsetsOf() {
    return {sizeof(Layout),
            offsetof(Layout, ataFlags),
            offsetof(Layout, dataTransferLength),
            offsetof(Layout, timeOutValue),
            offsetof(Layout, dataBuffer),
            offsetof(Layout, previousTaskFile),
            offsetof(Layout, currentTaskFile)};
}

// The published layouts: 40 bytes with a 4-byte pointer at 20, 48 bytes with an 8-byte pointer
// at 24 (aligned after the reserved word), the task files last.
TEST(PassThroughLayout, SizesAndOffsetsOfBothWidths) {
    EXPECT_TRUE((OffsetsOf<AtaPassThroughDirect32>() == Offsets{40, 2, 8, 12, 20, 24, 32}));
    EXPECT_TRUE((OffsetsOf<AtaPassThroughDirect64>() == Offsets{48, 2, 8, 12, 24, 32, 40}));
}

ata::AtaPassThroughRequest ReadDmaRequest(void* buffer) {
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA;
    r.dataLength = 131072;
    r.timeOutSeconds = 200;
    r.dataBuffer = buffer;
    r.currentTaskFile = {0, 0, 0x67, 0x45, 0x23, 0x41, 0xC8};
    return r;
}

template <typename Layout>
void ExpectReadDmaBytes(uint64_t address) {
    const Layout layout = BuildPassThroughDirect<Layout>(ReadDmaRequest(nullptr), address);
    std::vector<uint8_t> bytes(sizeof layout);
    std::memcpy(bytes.data(), &layout, sizeof layout);
    EXPECT_EQ(bytes[0], sizeof(Layout));  // length field
    EXPECT_EQ(bytes[2], 0x12);            // data in by DMA
    EXPECT_EQ(bytes[4] | bytes[5] | bytes[6], 0);
    EXPECT_EQ(bytes[8] | bytes[9] << 8 | bytes[10] << 16, 131072);
    EXPECT_EQ(bytes[12], 200);
    uint64_t pointer = 0;
    std::memcpy(&pointer, bytes.data() + offsetof(Layout, dataBuffer), sizeof layout.dataBuffer);
    EXPECT_EQ(pointer, address);
    const size_t current = offsetof(Layout, currentTaskFile);
    const std::vector<uint8_t> task(bytes.begin() + current, bytes.begin() + current + 8);
    EXPECT_EQ(task, (std::vector<uint8_t>{0, 0, 0x67, 0x45, 0x23, 0x41, 0xC8, 0}));
    const size_t previous = offsetof(Layout, previousTaskFile);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + previous, bytes.begin() + previous + 8),
              std::vector<uint8_t>(8, 0));
}

TEST(PassThroughLayout, ReadDmaTravelsAsTheDriverReadsIt) {
    ExpectReadDmaBytes<AtaPassThroughDirect32>(0x12345000u);
    ExpectReadDmaBytes<AtaPassThroughDirect64>(0x00007FF612345000ull);
}

TEST(PassThroughLayout, ExtCommandsCarryTheirHighBytesInThePreviousTaskFile) {
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA | ata::ATA_FLAGS_48BIT_COMMAND;
    r.currentTaskFile = {0, 0, 1, 2, 3, 0x40, 0x25};
    r.previousTaskFile = {0, 1, 4, 5, 6, 0, 0};
    const auto layout = BuildPassThroughDirect<AtaPassThroughDirect64>(r, 0);
    EXPECT_EQ(layout.ataFlags, 0x1A);
    EXPECT_EQ(layout.previousTaskFile[1], 1);
    EXPECT_EQ(layout.previousTaskFile[4], 6);
}

// The device's answer comes back in the same request: error in the first register, status in
// the seventh.
TEST(PassThroughLayout, OutputRegistersReachTheRequest) {
    ata::AtaPassThroughRequest r = ReadDmaRequest(nullptr);
    auto layout = BuildPassThroughDirect<AtaPassThroughDirect64>(r, 0);
    layout.currentTaskFile[0] = 0x84;
    layout.currentTaskFile[6] = 0x51;
    StorePassThroughOutput(layout, r);
    EXPECT_EQ(r.currentTaskFile.error(), 0x84);
    EXPECT_EQ(r.currentTaskFile.status(), 0x51);
}

TEST(PassThroughResultOnWindows, AFailedCallKeepsTheWindowsErrorCode) {
    EXPECT_TRUE(ClassifyIoControl(true, 0).delivered());
    const PassThroughResult denied = ClassifyIoControl(false, 5);
    ASSERT_FALSE(denied.delivered());
    EXPECT_EQ(denied.failure()->stage, TransportStage::SystemCall);
    EXPECT_EQ(denied.failure()->osError, 5);
    EXPECT_EQ(Describe(*denied.failure()).rfind("pass-through call failed (Windows error 5: ", 0), 0u)
        << Describe(*denied.failure());
}

TEST(SmartReceive, IdentifyAndSmartReadDataTravelThatWayAndNothingElse) {
    struct Case {
        uint8_t command, features;
        uint16_t flags;
        uint32_t length;
        bool smartReceive;
    } cases[] = {
        {0xEC, 0x00, ata::ATA_FLAGS_DATA_IN, 512, true},
        {0xB0, 0xD0, ata::ATA_FLAGS_DATA_IN, 512, true},
        {0xB0, 0xD1, ata::ATA_FLAGS_DATA_IN, 512, false},  // thresholds: direct
        {0xC8, 0x00, ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA, 131072, false},
        {0xF1, 0x00, ata::ATA_FLAGS_DATA_OUT, 512, false},
        {0xEC, 0x00, ata::ATA_FLAGS_DATA_IN, 1024, false},
    };
    for (const Case& c : cases) {
        ata::AtaPassThroughRequest r;
        r.flags = c.flags;
        r.dataLength = c.length;
        r.currentTaskFile.command = c.command;
        r.currentTaskFile.features = c.features;
        EXPECT_EQ(TravelsAsSmartReceive(r), c.smartReceive) << int(c.command);
    }
}

TEST(SmartReceive, InputBlockAndOutputDecoding) {
    uint8_t data[512] = {};
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DATA_IN;
    r.dataLength = 512;
    r.dataBuffer = data;
    r.currentTaskFile = {0xD0, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0};
    const auto in = BuildSmartReceive(r);
    EXPECT_EQ(std::vector<uint8_t>(in.begin(), in.begin() + 13),
              (std::vector<uint8_t>{0, 2, 0, 0, 0xD0, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0, 0, 0}));

    std::vector<uint8_t> out(kSendCmdOutSize);
    out[16] = 0x40;
    out[527] = 0x99;
    ASSERT_TRUE(StoreSmartReceiveOutput(out, r));
    EXPECT_EQ(data[0], 0x40);
    EXPECT_EQ(data[511], 0x99);
    EXPECT_EQ(r.currentTaskFile.status(), 0x50);
    EXPECT_EQ(r.currentTaskFile.error(), 0);

    out[5] = 0x04;  // the driver's IDE error byte: aborted
    ASSERT_TRUE(StoreSmartReceiveOutput(out, r));
    EXPECT_EQ(r.currentTaskFile.status(), 0x51);
    EXPECT_EQ(r.currentTaskFile.error(), 0x04);

    EXPECT_FALSE(StoreSmartReceiveOutput(std::span(out).first(100), r));
}

TEST(BounceBuffer, OnlyWhenTheAdapterCannotReachTheAddress) {
    EXPECT_FALSE(NeedsBounceBuffer(0x1000, 0));
    EXPECT_FALSE(NeedsBounceBuffer(0x1001, 0));
    EXPECT_FALSE(NeedsBounceBuffer(0x1004, 3));
    EXPECT_TRUE(NeedsBounceBuffer(0x1002, 3));
    EXPECT_TRUE(NeedsBounceBuffer(0x1200, 0xFFF));
}

// Under Wine only the identify and SMART reads may reach a drive.
TEST(WineSafety, OnlyReadsOfTheIdentifyAndSmartBlocksPass) {
    struct Case {
        uint8_t command, features;
        uint16_t flags;
        bool allowed;
    } cases[] = {
        {0xEC, 0x00, ata::ATA_FLAGS_DATA_IN, true},
        {0xB0, 0xD0, ata::ATA_FLAGS_DATA_IN, true},
        {0xB0, 0xD1, ata::ATA_FLAGS_DATA_IN, true},
        {0xB0, 0xD6, ata::ATA_FLAGS_DATA_OUT, false},  // SMART WRITE LOG
        {0xB0, 0xE4, ata::ATA_FLAGS_DRDY_REQUIRED, false},  // a vendor erase sub-command
        {0xF1, 0x00, ata::ATA_FLAGS_DATA_OUT, false},  // SECURITY SET PASSWORD
        {0xF3, 0x00, ata::ATA_FLAGS_DRDY_REQUIRED, false},  // ERASE PREPARE
        {0xF4, 0x00, ata::ATA_FLAGS_DATA_OUT, false},  // ERASE UNIT
        {0xC8, 0x00, ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA, false},
        {0xCA, 0x00, ata::ATA_FLAGS_DATA_OUT | ata::ATA_FLAGS_USE_DMA, false},
        {0xEC, 0x00, ata::ATA_FLAGS_DATA_OUT, false},
    };
    for (const Case& c : cases) {
        ata::AtaPassThroughRequest r;
        r.flags = c.flags;
        r.currentTaskFile.command = c.command;
        r.currentTaskFile.features = c.features;
        EXPECT_EQ(IsReadOnlyCommand(r), c.allowed) << std::hex << int(c.command) << ' ' << int(c.features);
    }
}

// STORAGE_BUS_TYPE values as the system numbers them.
TEST(DriveConnectionOnWindows, ByTheAdaptersBusType) {
    const std::pair<uint32_t, DriveConnection> cases[] = {
        {0x0B, DriveConnection::SataPort}, {0x03, DriveConnection::SataPort},
        {0x07, DriveConnection::Usb},      {0x0A, DriveConnection::Sas},
        {0x08, DriveConnection::Raid},     {0x11, DriveConnection::Nvme},
        {0x0E, DriveConnection::Virtual},  {0x0F, DriveConnection::Virtual},
        {0x01, DriveConnection::Unknown},  {0x00, DriveConnection::Unknown},
    };
    for (const auto& [bus, connection] : cases) {
        EXPECT_EQ(ConnectionOfBusType(bus), connection) << bus;
    }
}

TEST(WineSafety, WineIsRecognised) {
    // These tests run under Wine (ctest -L windows).
    EXPECT_TRUE(RunningUnderWine());
}

}  // namespace
}  // namespace vellumin::platform::windows_backend
