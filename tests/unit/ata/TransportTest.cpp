#include <cstdint>

#include <gtest/gtest.h>

#include "tests/unit/ata/FakeDrives.h"
#include "transport/Transport.h"

namespace vellumin::ata {
namespace {

using ata::AtaTaskFile;
using test::FakeDriveSystem;
using test::FakeHandle;
using test::FakeReply;

// One drive 0 answering with `reply`; returns the log of what it was sent.
struct OneDrive {
    FakeDriveSystem drives;
    explicit OneDrive(FakeReply reply = {}) { drives.drives[0] = reply; }
    const test::FakeDriveLog& log() { return drives.logs[0]; }
};

int ReadWithStatus(uint8_t status, uint8_t error, bool delivered = true) {
    FakeReply reply;
    reply.delivered = delivered;
    reply.output = ata::AtaTaskFile{error, 0, 0, 0, 0, 0x40, status};
    test::FakeDriveLog log;
    FakeHandle handle(reply, log);
    return ReadDma(&handle, 0, 512);
}

TEST(ReadDmaRequest, RegistersFlagsAndTimeOut) {
    const auto r = ReadDmaRequest(0x01234567, 4096, nullptr);
    EXPECT_EQ(r.flags, 0x12);
    EXPECT_EQ(r.dataLength, 4096u);
    EXPECT_EQ(r.timeOutSeconds, 200u);
    EXPECT_EQ(r.currentTaskFile, (ata::AtaTaskFile{0x00, 8, 0x67, 0x45, 0x23, 0x41, 0xC8}));
    EXPECT_EQ(r.previousTaskFile, ata::AtaTaskFile{});

    // 256 sectors travel as count 0; LBA bits 24-27 only in the device register.
    const auto full = ReadDmaRequest(0x0FFFFFFF, 131072, nullptr);
    EXPECT_EQ(full.currentTaskFile.sectorCount, 0);
    EXPECT_EQ(full.currentTaskFile.device, 0x4F);
}

TEST(ReadDmaExtRequest, SplitsLbaAndCountOverBothTaskFiles) {
    const uint64_t lba = 0xABCD'1234'5678;  // well beyond 2^28
    const auto r = ReadDmaExtRequest(lba, 300 * 512, nullptr);  // 300 = 0x012C sectors
    EXPECT_EQ(r.flags, 0x12 | 0x08);
    EXPECT_EQ(r.dataLength, 300u * 512);
    EXPECT_EQ(r.timeOutSeconds, 200u);
    EXPECT_EQ(r.currentTaskFile, (ata::AtaTaskFile{0x00, 0x2C, 0x78, 0x56, 0x34, 0x40, 0x25}));
    EXPECT_EQ(r.previousTaskFile, (ata::AtaTaskFile{0x00, 0x01, 0x12, 0xCD, 0xAB, 0x00, 0x00}));

    const auto max = ReadDmaExtRequest(1u << 28, 65536 * 512, nullptr);
    EXPECT_EQ(max.currentTaskFile.sectorCount, 0);
    EXPECT_EQ(max.previousTaskFile.sectorCount, 0);
    EXPECT_EQ(max.previousTaskFile.lbaLow, 0x10);
    EXPECT_EQ(max.currentTaskFile.device, 0x40);
}

TEST(RegisterLba, ReadsBackWhatEitherRequestPacked) {
    for (uint64_t lba : {0ull, 1'000'000ull, 0x0FFFFFFEull}) {
        EXPECT_EQ(RegisterLba(ReadDmaRequest(lba, 512, nullptr)), lba) << lba;
    }
    for (uint64_t lba : {0ull, 0x0FFFFFFFull, 0xABCDEF012345ull}) {
        EXPECT_EQ(RegisterLba(ReadDmaExtRequest(lba, 512, nullptr)), lba) << lba;
    }
}

TEST(ReadDma, SendsPageAlignedScratchAndFlushesEveryTime) {
    OneDrive d;
    auto handle = OpenPhysicalDrive(d.drives, 0);
    ASSERT_TRUE(handle);
    EXPECT_EQ(ReadDma(handle.get(), 0x01234567, 131072), kReadOk);
    EXPECT_EQ(ReadDmaExt(handle.get(), 0x1234'5678'9A, 512), kReadOk);
    ASSERT_EQ(d.log().requests.size(), 2u);
    for (const auto& sent : d.log().requests) {
        ASSERT_NE(sent.dataBuffer, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(sent.dataBuffer) % 4096, 0u);
    }
    EXPECT_EQ(d.log().requests[0].currentTaskFile, (ata::AtaTaskFile{0, 0, 0x67, 0x45, 0x23, 0x41, 0xC8}));
    EXPECT_EQ(d.log().requests[1].currentTaskFile.command, 0x25);
    EXPECT_EQ(d.log().flushes, 2);
    EXPECT_EQ(d.log().closes, 0);  // the caller keeps its handle
}

TEST(ReadDma, ResultCoding) {
    EXPECT_EQ(ReadWithStatus(0x51, 0x84), 10000100);
    EXPECT_EQ(ReadWithStatus(0x51, 0x04), 100);
    EXPECT_EQ(ReadWithStatus(0x51, 0x40), 1000000);
    EXPECT_EQ(ReadWithStatus(0x51, 0x44), 1000100);
    EXPECT_EQ(ReadWithStatus(0x51, 0xFF), 11111111);
    EXPECT_EQ(ReadWithStatus(0x51, 0x00), 0);    // indistinguishable from not delivered
    EXPECT_EQ(ReadWithStatus(0x21, 0x10), 10000);  // error wins over device fault
    EXPECT_EQ(ReadWithStatus(0x20, 0x00), kReadDeviceFault);
    EXPECT_EQ(ReadWithStatus(0x60, 0x84), kReadDeviceFault);  // error register ignored
    EXPECT_EQ(ReadWithStatus(0x50, 0x84), kReadOk);
    EXPECT_EQ(ReadWithStatus(0x50, 0x00, false), kReadNotDelivered);
    EXPECT_EQ(ReadDma(nullptr, 0, 512), kReadNotDelivered);
    EXPECT_EQ(ReadDmaExt(nullptr, 0, 512), kReadNotDelivered);
}

TEST(ReadDma, RefusesWhatTheCommandCannotExpress) {
    OneDrive d;
    auto handle = OpenPhysicalDrive(d.drives, 0);
    EXPECT_EQ(ReadDma(handle.get(), uint64_t{1} << 28, 512), kReadNotDelivered);  // would wrap to 0
    EXPECT_EQ(ReadDma(handle.get(), (uint64_t{1} << 28) - 1, 1024), kReadNotDelivered);  // ends beyond
    EXPECT_EQ(ReadDmaExt(handle.get(), (uint64_t{1} << 48) - 1, 1024), kReadNotDelivered);
    EXPECT_EQ(ReadDma(handle.get(), 0, 0), kReadNotDelivered);           // count 0 reads 256
    EXPECT_EQ(ReadDma(handle.get(), 0, 100), kReadNotDelivered);         // not whole sectors
    EXPECT_EQ(ReadDma(handle.get(), 0, 131072 + 512), kReadNotDelivered);
    EXPECT_EQ(ReadDmaExt(handle.get(), uint64_t{1} << 48, 512), kReadNotDelivered);
    EXPECT_EQ(ReadDmaExt(handle.get(), 0, 65536 * 512 + 512), kReadNotDelivered);
    EXPECT_TRUE(d.log().requests.empty());
    EXPECT_EQ(ReadDma(handle.get(), (uint64_t{1} << 28) - 1, 512), kReadOk);
    EXPECT_EQ(ReadDma(handle.get(), (uint64_t{1} << 28) - 256, 131072), kReadOk);  // ends at the limit
}

TEST(DataBlockReads, IdentifyAndSmartRegisters) {
    FakeReply reply;
    reply.data[0] = 0x40;
    reply.data[511] = 0xA5;
    OneDrive d(reply);
    IdentifyBlock identify{};
    SmartBlock smart{};
    ASSERT_TRUE(IdentifyDevice(d.drives, 0, identify));
    ASSERT_TRUE(SmartReadData(d.drives, 0, smart));
    EXPECT_EQ(identify, reply.data);
    EXPECT_EQ(smart, reply.data);

    ASSERT_EQ(d.log().requests.size(), 2u);
    for (const auto& sent : d.log().requests) {
        EXPECT_EQ(sent.flags, ata::ATA_FLAGS_DATA_IN);
        EXPECT_EQ(sent.dataLength, 512u);
        EXPECT_GE(sent.timeOutSeconds, 1u);
        EXPECT_EQ(sent.previousTaskFile, ata::AtaTaskFile{});
    }
    EXPECT_EQ(d.log().requests[0].currentTaskFile, (ata::AtaTaskFile{0x00, 0, 0, 0x00, 0x00, 0xA0, 0xEC}));
    EXPECT_EQ(d.log().requests[1].currentTaskFile, (ata::AtaTaskFile{0xD0, 0, 0, 0x4F, 0xC2, 0xA0, 0xB0}));
    EXPECT_EQ(d.log().opens, 2);
    EXPECT_EQ(d.log().closes, 2);  // every read opens and closes its own handle
}

TEST(DataBlockReads, BlockUntouchedUnlessDelivered) {
    IdentifyBlock block;
    block.fill(0x5A);
    const IdentifyBlock before = block;

    FakeDriveSystem none;  // drive 3 does not exist
    EXPECT_FALSE(IdentifyDevice(none, 3, block));
    EXPECT_FALSE(SmartReadData(none, 3, block));
    EXPECT_FALSE(IdentifyDevice(none, -1, block));
    EXPECT_FALSE(IdentifyDevice(none, 16, block));
    EXPECT_EQ(block, before);
    EXPECT_EQ(none.openAttempts, (std::vector<int>{3, 3}));  // never asked outside 0-15

    FakeReply refused;
    refused.delivered = false;
    OneDrive d(refused);
    EXPECT_FALSE(IdentifyDevice(d.drives, 0, block));
    EXPECT_EQ(block, before);
    EXPECT_EQ(d.log().closes, 1);

    // Delivered with the device's error bit: the data count as delivered.
    FakeReply aborted;
    aborted.output = ata::AtaTaskFile{0x04, 0, 0, 0, 0, 0, 0x51};
    OneDrive a(aborted);
    EXPECT_TRUE(IdentifyDevice(a.drives, 0, block));
    EXPECT_EQ(block, IdentifyBlock{});
}

TEST(AtaPassThrough, RefusesWhatCannotBeSent) {
    ata::AtaPassThroughRequest request;
    EXPECT_FALSE(AtaPassThrough(nullptr, request));

    OneDrive d;
    auto handle = OpenPhysicalDrive(d.drives, 0);
    request.flags = ata::ATA_FLAGS_DATA_IN;
    request.dataLength = 512;  // but no buffer
    EXPECT_FALSE(AtaPassThrough(handle.get(), request));
    EXPECT_TRUE(d.log().requests.empty());

    request = {};
    request.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    request.currentTaskFile.command = 0xF5;
    ASSERT_TRUE(AtaPassThrough(handle.get(), request));
    EXPECT_EQ(request.currentTaskFile.status(), 0x50);  // output registers come back
}

}  // namespace
}  // namespace vellumin::ata
