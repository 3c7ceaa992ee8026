#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/linux/SatPassThrough.h"

namespace vellumin::platform::linux_backend {
namespace {

std::array<uint8_t, 512> gBuffer;

ata::AtaPassThroughRequest ReadDmaRequest(uint32_t lba, uint32_t bytes) {
    ata::AtaPassThroughRequest r;
    r.flags = ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA;
    r.dataLength = bytes;
    r.dataBuffer = gBuffer.data();
    r.timeOutSeconds = 200;
    r.currentTaskFile.sectorCount = static_cast<uint8_t>(bytes / 512);
    r.currentTaskFile.lbaLow = lba & 0xFF;
    r.currentTaskFile.lbaMid = (lba >> 8) & 0xFF;
    r.currentTaskFile.lbaHigh = (lba >> 16) & 0xFF;
    r.currentTaskFile.device = static_cast<uint8_t>(0x40 | ((lba >> 24) & 0x0F));
    r.currentTaskFile.command = 0xC8;
    return r;
}

Cdb16 Build(const ata::AtaPassThroughRequest& r) {
    auto direction = DirectionOf(r);
    EXPECT_TRUE(direction.has_value());
    return BuildCdb(r, direction.value_or(DataDirection::None));
}

TEST(SatCdb, ReadDmaPlacesTaskFileInTheCdb) {
    Cdb16 expected{0x85, 0x0C, 0x0E, 0, 0, 0, 0x00, 0, 0x67, 0, 0x45, 0, 0x23, 0x41, 0xC8, 0};
    // 256 sectors travel as count 0; data-in leaves ck_cond clear.
    EXPECT_EQ(Build(ReadDmaRequest(0x01234567, 131072)), expected);
    EXPECT_EQ(Build(ReadDmaRequest(0x01234567, 4096))[6], 8);
}

TEST(SatCdb, ExtendedCommandCarriesHighOrderBytes) {
    ata::AtaPassThroughRequest r = ReadDmaRequest(0, 512);
    r.flags |= ata::ATA_FLAGS_48BIT_COMMAND;
    r.currentTaskFile = {0x00, 0x00, 0xBC, 0x9A, 0x78, 0x40, 0x25};
    r.previousTaskFile = {0x11, 0x01, 0x56, 0x34, 0x12, 0, 0};
    Cdb16 expected{0x85, 0x0D, 0x0E, 0x11, 0, 0x01, 0, 0x56, 0xBC, 0x34, 0x9A, 0x12, 0x78, 0x40,
                   0x25, 0};
    EXPECT_EQ(Build(r), expected);

    // Without the 48-bit flag the previous task file stays out of the CDB.
    r.flags &= ~ata::ATA_FLAGS_48BIT_COMMAND;
    Cdb16 cdb = Build(r);
    EXPECT_EQ(cdb[1], 0x0C);
    for (int i : {3, 5, 7, 9, 11}) {
        EXPECT_EQ(cdb[i], 0) << "byte " << i;
    }
}

TEST(SatCdb, ProtocolAndTransferBitsFollowTheFlags) {
    ata::AtaPassThroughRequest identify;
    identify.flags = ata::ATA_FLAGS_DATA_IN;
    identify.dataLength = 512;
    identify.dataBuffer = gBuffer.data();
    identify.currentTaskFile.command = 0xEC;
    Cdb16 cdb = Build(identify);
    EXPECT_EQ(cdb[1], 4 << 1);
    EXPECT_EQ(cdb[2], 0x0E);

    ata::AtaPassThroughRequest setPassword = identify;
    setPassword.flags = ata::ATA_FLAGS_DATA_OUT;
    setPassword.currentTaskFile.command = 0xF1;
    cdb = Build(setPassword);
    EXPECT_EQ(cdb[1], 5 << 1);
    EXPECT_EQ(cdb[2], 0x26);  // ck_cond, byt_blok, t_length 2, to the device

    ata::AtaPassThroughRequest erasePrepare;
    erasePrepare.flags = ata::ATA_FLAGS_DRDY_REQUIRED;
    erasePrepare.currentTaskFile.command = 0xF3;
    cdb = Build(erasePrepare);
    EXPECT_EQ(cdb[1], 3 << 1);
    EXPECT_EQ(cdb[2], 0x20);  // ck_cond only: no transfer
    EXPECT_EQ(cdb[14], 0xF3);

    ata::AtaPassThroughRequest writeDma = setPassword;
    writeDma.flags = ata::ATA_FLAGS_DATA_OUT | ata::ATA_FLAGS_USE_DMA;
    EXPECT_EQ(Build(writeDma)[1], 6 << 1);
}

TEST(SatCdb, InconsistentRequestsAreRefused) {
    ata::AtaPassThroughRequest r = ReadDmaRequest(0, 512);
    r.flags |= ata::ATA_FLAGS_DATA_OUT;
    EXPECT_FALSE(DirectionOf(r));
    r = ReadDmaRequest(0, 512);
    r.dataBuffer = nullptr;
    EXPECT_FALSE(DirectionOf(r));
    r = ReadDmaRequest(0, 0);
    EXPECT_FALSE(DirectionOf(r));
    r.flags = 0;
    r.dataLength = 512;
    EXPECT_FALSE(DirectionOf(r));
}

// Sense data as the kernel writes it.
std::vector<uint8_t> DescriptorSense(uint8_t key, uint8_t asc, uint8_t ascq,
                                     std::vector<uint8_t> descriptors) {
    std::vector<uint8_t> s{0x72, key, asc, ascq, 0, 0, 0, static_cast<uint8_t>(descriptors.size())};
    s.insert(s.end(), descriptors.begin(), descriptors.end());
    return s;
}

std::vector<uint8_t> StatusReturn(uint8_t error, uint8_t status, bool extend = false) {
    return {0x09, 0x0C, static_cast<uint8_t>(extend), error, 0x01, 0x02, 0x03, 0x04,
            0x05, 0x06, 0x07, 0x08, 0xE0, status};
}

SgCompletion Completion(uint8_t scsiStatus, const std::vector<uint8_t>& sense) {
    SgCompletion c;
    c.ioctlSucceeded = true;
    c.scsiStatus = scsiStatus;
    c.driverStatus = sense.empty() ? 0 : 0x08;
    c.sense = sense;
    return c;
}

TEST(SatSense, DescriptorFormatStatusReturn) {
    // What ck_cond brings back on success: RECOVERED ERROR, ATA PASS-THROUGH INFORMATION
    // AVAILABLE, with the registers in the 0x09 descriptor.
    auto ok = DescriptorSense(0x01, 0x00, 0x1D, StatusReturn(0x00, 0x50, true));
    auto r = ClassifyCompletion(Completion(0x02, ok));
    ASSERT_TRUE(r);
    AtaReturn expected{0x00, 0x50, 0xE0, 0x02, 0x04, 0x06, 0x08, true, 0x01, 0x03, 0x05, 0x07};
    EXPECT_EQ(*r, expected);

    // The device's error bit is still a delivered command.
    auto aborted = DescriptorSense(kSenseAbortedCommand, 0, 0, StatusReturn(0x04, 0x51));
    r = ClassifyCompletion(Completion(0x02, aborted));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 0x51);
    EXPECT_EQ(r->error, 0x04);
    EXPECT_FALSE(r->extend);

    // Another descriptor first; deferred-error response code.
    std::vector<uint8_t> both{0x02, 0x06, 0, 0, 0x80, 0, 0, 0};
    auto tail = StatusReturn(0x40, 0x51);
    both.insert(both.end(), tail.begin(), tail.end());
    auto deferred = DescriptorSense(0x03, 0x11, 0x04, both);
    deferred[0] = 0x73;
    r = ClassifyCompletion(Completion(0x02, deferred));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->error, 0x40);
}

TEST(SatSense, TruncatedDescriptorIsNotRead) {
    auto sense = DescriptorSense(kSenseAbortedCommand, 0, 0, StatusReturn(0x04, 0x51));
    sense.erase(sense.end() - 2, sense.end());  // what a short sense buffer keeps
    EXPECT_FALSE(DecodeAtaReturn(sense));
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, sense)));
}

std::vector<uint8_t> FixedSense(uint8_t key, uint8_t asc, uint8_t ascq) {
    std::vector<uint8_t> s(18, 0);
    s[0] = 0x70;
    s[2] = key;
    s[7] = 10;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

TEST(SatSense, FixedFormatInBothLayouts) {
    AtaReturn expected{0x04, 0x51, 0x40, 0x08, 0x67, 0x45, 0x23};

    // Error, status, device, count, then LBA low/mid/high, at the given offsets.
    auto place = [](std::vector<uint8_t> s, std::array<int, 7> at) {
        const uint8_t values[] = {0x04, 0x51, 0x40, 0x08, 0x67, 0x45, 0x23};
        for (size_t i = 0; i < at.size(); ++i) {
            s[at[i]] = values[i];
        }
        return s;
    };
    auto sat = place(FixedSense(kSenseAbortedCommand, 0, 0), {3, 4, 5, 6, 9, 10, 11});
    auto r = ClassifyCompletion(Completion(0x02, sat));
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, expected);

    // Older kernels: the same registers eight bytes further on, LBA at 17-19.
    auto longer = FixedSense(kSenseAbortedCommand, 0, 0);
    longer.resize(20, 0);
    auto legacy = place(longer, {8, 9, 10, 11, 17, 18, 19});
    r = ClassifyCompletion(Completion(0x02, legacy));
    ASSERT_TRUE(r);
    EXPECT_EQ(*r, expected);

    // What a 6.1 kernel sends: the same layout in an 18-byte buffer, LBA mid/high cut off.
    std::vector<uint8_t> short6_1{0x70, 0, 0x0B, 0, 0, 0, 0, 0x0A, 0x04, 0x41, 0x40,
                                  0x01, 0,    0, 0,    0, 0, 0xE8};
    r = ClassifyCompletion(Completion(0x02, short6_1));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 0x41);
    EXPECT_EQ(r->error, 0x04);
    EXPECT_TRUE(r->statusOnly);

    // A medium error carries the uncorrectable bit; response code 0x71 reads alike.
    auto medium = FixedSense(0x03, 0x11, 0x04);
    medium[0] = 0x71;
    medium[3] = 0x40;
    medium[4] = 0x51;
    r = ClassifyCompletion(Completion(0x02, medium));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->error, 0x40);
    EXPECT_EQ(r->status, 0x51);
}

TEST(SatSense, RejectedCdbIsNotDelivered) {
    // INVALID FIELD IN CDB, with the field pointer in the sense-key specific bytes.
    auto fixed = FixedSense(kSenseIllegalRequest, 0x24, 0x00);
    fixed[15] = 0xC0;
    fixed[17] = 0x02;
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, fixed)));

    auto descriptor =
        DescriptorSense(kSenseIllegalRequest, 0x20, 0x00, {0x02, 0x06, 0, 0, 0xC0, 0, 0x0E, 0});
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, descriptor)));

    // CHECK CONDITION that carries no sense at all tells nothing about the device.
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, {})));
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, {0x00, 0x01})));
}

TEST(SatSense, AbortWithoutDeviceErrorIsNotDelivered) {
    // A 6.1 kernel's answer to IDENTIFY sent with ck_cond over AHCI: aborted, DRQ still set,
    // no error bit, and the data never arrived.
    std::vector<uint8_t> lost{0x70, 0, 0x0B, 0, 0, 0, 0, 0x0A, 0x00, 0x58, 0xA0,
                              0x01, 0,    0, 0,    0, 0, 0x00};
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, lost)));
    auto descriptor = DescriptorSense(kSenseAbortedCommand, 0, 0, StatusReturn(0x00, 0x58));
    EXPECT_FALSE(ClassifyCompletion(Completion(0x02, descriptor)));
    // Device fault alone is the device's answer.
    auto fault = DescriptorSense(kSenseAbortedCommand, 0, 0, StatusReturn(0x00, 0x70));
    EXPECT_TRUE(ClassifyCompletion(Completion(0x02, fault)));
}

TEST(SatSense, GoodStatusWithoutSenseIsSuccess) {
    auto r = ClassifyCompletion(Completion(0x00, {}));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, ata::kStatusOk);
    EXPECT_EQ(r->error, 0);
    EXPECT_TRUE(r->statusOnly);
}

TEST(SatSense, TransportFailuresAreNotDelivered) {
    SgCompletion c = Completion(0x00, {});
    c.ioctlSucceeded = false;
    EXPECT_FALSE(ClassifyCompletion(c));

    c = Completion(0x00, {});
    c.hostStatus = 0x04;  // DID_BAD_TARGET
    EXPECT_FALSE(ClassifyCompletion(c));

    auto ok = DescriptorSense(0x01, 0x00, 0x1D, StatusReturn(0x00, 0x50));
    c = Completion(0x02, ok);
    c.driverStatus = 0x06;  // time-out
    EXPECT_FALSE(ClassifyCompletion(c));

    EXPECT_FALSE(ClassifyCompletion(Completion(0x08, {})));  // BUSY
    EXPECT_FALSE(ClassifyCompletion(Completion(0x18, {})));  // RESERVATION CONFLICT

    // Good status with a sense key that reports a failure is not a success either.
    EXPECT_FALSE(ClassifyCompletion(Completion(0x00, FixedSense(0x06, 0x29, 0x00))));
}

TEST(SatSense, StoreReturnFillsTheOutputRegisters) {
    ata::AtaPassThroughRequest r = ReadDmaRequest(0x01234567, 512);
    AtaReturn goodOnly;
    goodOnly.status = 0x50;
    goodOnly.statusOnly = true;
    StoreReturn(goodOnly, r);
    EXPECT_EQ(r.currentTaskFile.status(), 0x50);
    EXPECT_EQ(r.currentTaskFile.error(), 0x00);
    EXPECT_EQ(r.currentTaskFile.lbaLow, 0x67);  // not known, so left as sent

    AtaReturn full{0x04, 0x51, 0xE0, 0x02, 0x04, 0x06, 0x08, true, 0x01, 0x03, 0x05, 0x07};
    StoreReturn(full, r);
    ata::AtaTaskFile current{0x04, 0x02, 0x04, 0x06, 0x08, 0xE0, 0x51};
    EXPECT_EQ(r.currentTaskFile, current);
    EXPECT_EQ(r.previousTaskFile.sectorCount, 0x01);
    EXPECT_EQ(r.previousTaskFile.lbaHigh, 0x07);
}

// What SG_IO said stays with a command that was not delivered, so a bridge that refuses ATA
// pass-through can be told from a drive that aborts.
TEST(SatSense, NotDeliveredKeepsItsReason) {
    const auto refused = FixedSense(0x05, 0x20, 0x01);  // ILLEGAL REQUEST, no ATA registers
    const auto aborted = DescriptorSense(kSenseAbortedCommand, 0, 0, StatusReturn(0x04, 0x51));
    const auto good = DescriptorSense(0x01, 0x00, 0x1D, StatusReturn(0x00, 0x50));
    struct Case {
        const char* what;
        SgCompletion completion;
        TransportFailure failure;
        std::string text;
    };
    SgCompletion ioctlFailed = Completion(0x00, {});
    ioctlFailed.ioctlSucceeded = false;
    ioctlFailed.osError = EIO;
    SgCompletion hostError = Completion(0x00, {});
    hostError.hostStatus = 0x07;  // DID_ERROR
    SgCompletion shortRead = Completion(0x00, {});
    shortRead.residual = 512;
    SgCompletion shortWithRegisters = Completion(0x02, good);
    shortWithRegisters.residual = 4096;
    const Case cases[] = {
        {"failed ioctl", ioctlFailed, {TransportStage::SystemCall, EIO, 0, 0, 0, 0, 0, 0, 0},
         "pass-through call failed (errno 5: Input/output error)"},
        {"host error", hostError, {TransportStage::Host, 0, 0x07, 0, 0, 0, 0, 0, 0},
         "host adapter error (host status 0x0007)"},
        {"check condition without registers", Completion(0x02, refused),
         {TransportStage::Sense, 0, 0, 0x08, 0x02, 0x05, 0x20, 0x01, 0},
         "check condition without ATA registers (sense key 0x5, ASC 0x20, ASCQ 0x01)"},
        {"short transfer", shortRead, {TransportStage::ShortTransfer, 0, 0, 0, 0, 0, 0, 0, 512},
         "short data transfer (512 bytes missing)"},
        {"short transfer with good registers", shortWithRegisters,
         {TransportStage::ShortTransfer, 0, 0, 0x08, 0x02, 0x01, 0x00, 0x1D, 4096},
         "short data transfer (4096 bytes missing)"},
    };
    for (const auto& c : cases) {
        const auto outcome = ClassifyCompletion(c.completion);
        ASSERT_FALSE(outcome) << c.what;
        EXPECT_EQ(outcome.failure, c.failure) << c.what;
        EXPECT_EQ(Describe(outcome.failure), c.text) << c.what;
    }

    // A device that failed the command moved no data: that is its answer, not a short transfer.
    SgCompletion failedCommand = Completion(0x02, aborted);
    failedCommand.residual = 512;
    const auto outcome = ClassifyCompletion(failedCommand);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(outcome->status, 0x51);
}

}  // namespace
}  // namespace vellumin::platform::linux_backend
