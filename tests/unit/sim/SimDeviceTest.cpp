#include <gtest/gtest.h>

#include <numeric>

#include "tests/unit/sim/SimTestUtil.h"
#include "transport/Transport.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::platform::sim::test {
namespace {

unsigned ByteSum(const ata::IdentifyBlock& b) { return std::accumulate(b.begin(), b.end(), 0u) % 256; }

ata::IdentifyBlock FromCommand(const Command& c) {
    ata::IdentifyBlock b{};
    std::copy_n(c.data.begin(), 512, b.begin());
    return b;
}

TEST(SimIdentify, WordsFromTheDescription) {
    DriveDescription desc = SmallDrive(300'000'000);
    desc.model = "VQ BIG SSD";
    desc.rotationRate = 0x0001;
    desc.udmaMode = 5;
    desc.trim = true;
    SimDevice d(desc);
    Command c = Identify();
    ASSERT_TRUE(Send(d, c));
    EXPECT_TRUE(c.Ok());
    const ata::IdentifyBlock b = FromCommand(c);

    EXPECT_EQ(ata::AtaString(b, 10, 10), "001234567890        ");
    EXPECT_EQ(ata::AtaString(b, 23, 4), "VQ1.0   ");
    EXPECT_EQ(ata::AtaString(b, 27, 20), "VQ BIG SSD" + std::string(30, ' '));
    EXPECT_EQ(b[54], 'Q');  // second character in the low byte
    EXPECT_EQ(b[55], 'V');
    EXPECT_EQ(ata::Word(b, 60) | (ata::Word(b, 61) << 16), 0x0FFFFFFFu) << "28-bit capacity saturates";
    const uint64_t lba48 = ata::Word(b, 100) | (uint64_t{ata::Word(b, 101)} << 16) |
                           (uint64_t{ata::Word(b, 102)} << 32) | (uint64_t{ata::Word(b, 103)} << 48);
    EXPECT_EQ(lba48, 300'000'000u);
    EXPECT_EQ(ata::Word(b, 217), 0x0001);
    EXPECT_EQ(ata::Word(b, 76), 0x010E) << "Gen1-3 and NCQ";
    EXPECT_EQ(ata::Word(b, 80) & 0x01F0, 0x01F0) << "ATA/ATAPI-4 to ATA8";
    EXPECT_EQ(ata::Word(b, 82) & 0x0003, 0x0003) << "SMART and security supported";
    EXPECT_EQ(ata::Word(b, 83) & 0xC400, 0x4400) << "valid, 48-bit";
    EXPECT_EQ(ata::Word(b, 84) & 0xC000, 0x4000);
    EXPECT_EQ(ata::Word(b, 85) & 0x0003, 0x0001) << "SMART enabled, security not";
    EXPECT_EQ(ata::Word(b, 87) & 0xC000, 0x4000);
    EXPECT_EQ(ata::Word(b, 88), 0x207F) << "UDMA 0-6 supported, 5 selected";
    EXPECT_EQ(ata::Word(b, 128), 0x0001);
    EXPECT_EQ(ata::Word(b, 169), 0x0001);
    EXPECT_EQ(b[510], 0xA5);
    EXPECT_EQ(ByteSum(b), 0u);

    desc.sectors = 1'000'000;
    desc.sataGen = 0;
    desc.ncq = false;
    desc.ataMajor = 0;
    desc.trim = false;
    desc.udmaMode = -1;
    desc.rotationRate = 7200;
    const ata::IdentifyBlock p = SimDevice(desc).IdentifyData();
    EXPECT_EQ(ata::Word(p, 60), 1'000'000 & 0xFFFF);
    EXPECT_EQ(ata::Word(p, 76), 0x0000);
    EXPECT_EQ(ata::Word(p, 80), 0x0000);
    EXPECT_EQ(ata::Word(p, 88) & 0x7F00, 0);
    EXPECT_EQ(ata::Word(p, 169), 0);
    EXPECT_EQ(ata::Word(p, 217), 7200);
    EXPECT_EQ(ByteSum(p), 0u);
}

TEST(SimIdentify, BufferRulesAndAbortOfUnknownCommands) {
    SimDevice d(SmallDrive());
    Command small = Identify();
    small.request.dataLength = 256;
    EXPECT_FALSE(Send(d, small)) << "too small a buffer is refused, never overrun";
    Command noBuffer = Identify();
    noBuffer.request.dataBuffer = nullptr;
    EXPECT_FALSE(Send(d, noBuffer));

    Command big(ata::cmd::kIdentify, ata::ATA_FLAGS_DATA_IN, 1024);
    std::fill(big.data.begin(), big.data.end(), 0xEE);
    ASSERT_TRUE(Send(d, big));
    EXPECT_EQ(big.data[512], 0xEE) << "only 512 bytes are written";

    for (uint8_t cmd : {0x00, 0x20, 0xCA, 0xE7, 0xEF, 0x06}) {
        Command c(cmd);
        ASSERT_TRUE(Send(d, c));
        EXPECT_EQ(c.Status(), 0x51) << std::hex << int(cmd);
        EXPECT_EQ(c.Error(), 0x04);
    }
}

TEST(SimSmart, RegistersGateAndLayout) {
    DriveDescription desc = SmallDrive();
    desc.smart.controller = "SMI2242";
    desc.smart.attributes = {{9, 0x32, 100, 99, 0x0000123456789ABCull, 7}, {12, 0x32, 100, 100, 412, 0}};
    desc.smart.averageErase = 0x010203;
    desc.smart.maximumErase = 0x0A0B0C;
    desc.smart.minimumErase = 0x000001;
    SimDevice d(desc);

    Command c = SmartRead();
    ASSERT_TRUE(Send(d, c));
    ASSERT_TRUE(c.Ok());
    const auto& b = c.data;
    EXPECT_EQ(b[0], 0x10);
    EXPECT_EQ(b[2], 9);
    EXPECT_EQ(b[3], 0x32);
    EXPECT_EQ(b[5], 100);
    EXPECT_EQ(b[6], 99);
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 7, b.begin() + 13)),
              (std::vector<uint8_t>{0xBC, 0x9A, 0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(b[13], 7) << "slot byte 11";
    EXPECT_EQ(b[14], 12) << "slot 1 starts at byte 14";
    EXPECT_EQ(std::string(b.begin() + 400, b.begin() + 408), std::string("SMI2242\0", 8));
    EXPECT_EQ((std::vector<uint8_t>(b.begin() + 421, b.begin() + 432)),
              (std::vector<uint8_t>{1, 2, 3, 0, 0, 0x0A, 0x0B, 0x0C, 0, 0, 1}));
    EXPECT_EQ(std::accumulate(b.begin(), b.end(), 0u) % 256, 0u);

    auto rejected = [&](auto change) {
        Command r = SmartRead();
        change(r.request.currentTaskFile);
        return Send(d, r) && r.Aborted();
    };
    EXPECT_TRUE(rejected([](ata::AtaTaskFile& tf) { tf.lbaMid = 0; }));
    EXPECT_TRUE(rejected([](ata::AtaTaskFile& tf) { tf.lbaHigh = 0xC3; }));
    EXPECT_TRUE(rejected([](ata::AtaTaskFile& tf) { tf.features = 0xD1; }));
    EXPECT_TRUE(rejected([](ata::AtaTaskFile& tf) { tf.features = 0xDA; }));

    desc.smart.enabled = false;
    SimDevice off(desc);
    Command r = SmartRead();
    ASSERT_TRUE(Send(off, r));
    EXPECT_TRUE(r.Aborted()) << "SMART disabled";
}

TEST(SimSmart, VendorEraseOnlyForItsFamily) {
    struct Case {
        const char* controller;
        uint8_t code;
        bool accepted;
    };
    for (const Case& c : {Case{"SMI2242", 0xE3, true}, Case{"SMI2235", 0xE4, true}, Case{"SMI2242", 0xE0, false},
                          Case{"JMF612", 0xE3, true}, Case{"JMF616", 0xE0, true}, Case{"JMF612", 0xE4, false},
                          Case{"SM2246", 0xE3, false}, Case{"JMF667", 0xE3, true}, Case{"", 0xE3, false}}) {
        DriveDescription desc = SmallDrive();
        desc.smart.controller = c.controller;
        SimDevice d(desc);
        Command e = VendorErase(c.code);
        ASSERT_TRUE(Send(d, e));
        EXPECT_EQ(e.Ok(), c.accepted) << c.controller << " " << std::hex << int(c.code);
        EXPECT_EQ(d.MediaBlank(), c.accepted);
    }

    DriveDescription desc = SmallDrive();
    desc.smart.controller = "SMI2242";
    SimDevice d(desc);
    Command wrongLow = VendorErase(0xE4);
    wrongLow.request.currentTaskFile.lbaLow = 0xFF;  // 0xFF belongs to 0xE3 only
    Send(d, wrongLow);
    EXPECT_TRUE(wrongLow.Aborted());
    Command wrongCount = VendorErase(0xE3);
    wrongCount.request.currentTaskFile.sectorCount = 0;
    Send(d, wrongCount);
    EXPECT_TRUE(wrongCount.Aborted());
    Command full = VendorErase(0xE3);
    Send(d, full);
    EXPECT_TRUE(full.Ok());
    EXPECT_EQ(d.Erases(), std::vector<EraseKind>{EraseKind::VendorFull});

    desc.smart.vendorEraseCodes = std::vector<uint8_t>{0xE0};
    SimDevice overridden(desc);
    Command quick = VendorErase(0xE0);
    Send(overridden, quick);
    EXPECT_TRUE(quick.Ok()) << "the lab's list replaces the family default";
}

TEST(SimRead, AddressingOf28And48BitCommands) {
    SimDevice d(SmallDrive(300'000'000));
    d.SetLogging(true);
    Command r28 = Read(0x01234567, 0);  // sector count 0 means 256
    r28.data.resize(256 * 512);
    r28.request.dataLength = 256 * 512;
    r28.request.dataBuffer = r28.data.data();
    ASSERT_TRUE(Send(d, r28));
    EXPECT_TRUE(r28.Ok());

    Command ext = Read(0x0FFFFFFFull + 100, 253, true);
    ASSERT_TRUE(Send(d, ext));
    EXPECT_TRUE(ext.Ok()) << "READ DMA EXT reaches beyond 2^28";

    Command beyond28 = Read(0x0FFFFF00, 256 - 1);
    beyond28.request.currentTaskFile.sectorCount = 0;
    beyond28.data.resize(256 * 512);
    beyond28.request.dataLength = 256 * 512;
    beyond28.request.dataBuffer = beyond28.data.data();
    ASSERT_TRUE(Send(d, beyond28));
    EXPECT_EQ(beyond28.Status(), 0x51);
    EXPECT_EQ(beyond28.Error(), 0x10) << "a 28-bit read cannot cross 0x0FFFFFFF";

    const auto log = d.TakeLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].lba, 0x01234567u);
    EXPECT_EQ(log[0].sectors, 256u);
    EXPECT_EQ(log[0].input.device, 0x41);
    EXPECT_EQ(log[1].lba, 0x0FFFFFFFull + 100);
    EXPECT_EQ(log[1].sectors, 253u);
    EXPECT_TRUE(log[1].flags & ata::ATA_FLAGS_48BIT_COMMAND);
    EXPECT_EQ(d.Stats().sectorsRead, 256u + 253u);

    Command noLbaBit = Read(0, 1);
    noLbaBit.request.currentTaskFile.device = 0x00;
    Send(d, noLbaBit);
    EXPECT_TRUE(noLbaBit.Aborted());
    Command shortBuffer = Read(0, 2);
    shortBuffer.request.dataLength = 512;
    EXPECT_FALSE(Send(d, shortBuffer)) << "a buffer smaller than the sectors asked for is refused";
}

TEST(SimRead, CapacityEdgeAndInjectedFaults) {
    DriveDescription desc = SmallDrive(2'000'000);
    desc.faults = {{1'000'000, 1, 0x40, false}, {1'500'000, 10, 0x84, false}, {1'800'000, 1, 0x00, true},
                   {1'900'000, 1, 0x04, true}};
    SimDevice d(desc);
    auto read = [&](uint64_t lba, uint32_t n, bool ext = false) {
        Command c = Read(lba, n, ext);
        EXPECT_TRUE(Send(d, c));
        return c;
    };
    EXPECT_TRUE(read(1'999'999, 1).Ok());
    Command past = read(1'999'965, 253);
    EXPECT_EQ(past.Error(), 0x10) << "the last chunk reaching past the end: IDNF";
    EXPECT_EQ(past.Status(), 0x51);
    EXPECT_EQ(read(2'000'000, 1, true).Error(), 0x10);

    EXPECT_TRUE(read(999'747, 253).Ok()) << "ends just before the bad sector";
    Command bad = read(999'900, 253);
    EXPECT_EQ(bad.Status(), 0x51);
    EXPECT_EQ(bad.Error(), 0x40);
    EXPECT_EQ(bad.request.currentTaskFile.lbaLow, 1'000'000 & 0xFF) << "the failing LBA comes back";
    EXPECT_EQ(read(1'500'009, 1, true).Error(), 0x84) << "inside a fault range";
    EXPECT_TRUE(read(1'500'010, 1).Ok());

    Command df = read(1'800'000, 1);
    EXPECT_EQ(df.Status(), 0x70) << "device fault without error bit";
    Command dfErr = read(1'900'000, 1);
    EXPECT_EQ(dfErr.Status(), 0x71);
    EXPECT_EQ(dfErr.Error(), 0x04);

    // The transport's read result coding sees what a real drive's registers would give.
    SimPlatform lab(LabDescription{});
    lab.SetDrive(2, desc);
    auto handle = lab.Drives().OpenPhysicalDrive(2);
    ASSERT_TRUE(handle);
    EXPECT_EQ(ata::ReadDma(handle.get(), 999'900, 253 * 512), 1000000);
    EXPECT_EQ(ata::ReadDma(handle.get(), 1'800'000, 512), -3);
    EXPECT_EQ(ata::ReadDma(handle.get(), 0, 253 * 512), 1);

    d.AddFault({10, 1, 0x10, false});
    EXPECT_EQ(read(0, 253).Error(), 0x10);
    d.ClearFaults();
    EXPECT_TRUE(read(0, 253).Ok());
}

TEST(SimTransport, FaultsBelowTheDrive) {
    LabDescription desc;
    desc.drives[0] = SmallDrive();
    desc.drives[1] = SmallDrive();
    desc.drives[1]->transport.openFails = true;
    desc.drives[2] = SmallDrive();
    desc.drives[2]->transport.undeliveredCommands = {ata::cmd::kSecurityEraseUnit};
    desc.drives[2]->transport.sectorCountFails = true;
    desc.drives[2]->reportedSectors = 1'999'000;
    desc.drives[3] = SmallDrive();
    desc.drives[3]->reportedSectors = 1'999'000;
    SimPlatform lab(desc);
    DriveSystem& drives = lab.Drives();

    EXPECT_TRUE(drives.OpenPhysicalDrive(0));
    EXPECT_FALSE(drives.OpenPhysicalDrive(1));
    EXPECT_FALSE(drives.OpenPhysicalDrive(4)) << "empty slot";
    EXPECT_FALSE(drives.OpenPhysicalDrive(16));
    EXPECT_FALSE(drives.OpenPhysicalDrive(-1));

    auto h2 = drives.OpenPhysicalDrive(2);
    ASSERT_TRUE(h2);
    EXPECT_FALSE(h2->SectorCount());
    Command unit = Security(ata::cmd::kSecurityEraseUnit, "pw");
    const ata::AtaTaskFile before = unit.request.currentTaskFile;
    EXPECT_FALSE(h2->PassThrough(unit.request));
    EXPECT_EQ(unit.request.currentTaskFile, before) << "nothing written back";
    EXPECT_EQ(drives.OpenPhysicalDrive(3)->SectorCount(), 1'999'000u);
    EXPECT_EQ(drives.OpenPhysicalDrive(0)->SectorCount(), 2'000'000u);

    // Pulling the drive leaves open handles failing, not dangling.
    auto h0 = drives.OpenPhysicalDrive(0);
    lab.Device(0)->SetPresent(false);
    Command id = Identify();
    EXPECT_FALSE(h0->PassThrough(id.request));
    EXPECT_FALSE(h0->Flush());
    EXPECT_FALSE(drives.OpenPhysicalDrive(0));
    lab.RemoveDrive(2);
    Command id2 = Identify();
    EXPECT_TRUE(h2->PassThrough(id2.request)) << "the handle keeps its device";
    EXPECT_FALSE(drives.OpenPhysicalDrive(2));

    // Observer: sees refused commands as well, with the registers sent.
    std::vector<CommandRecord> seen;
    lab.Device(3)->SetObserver([&](const CommandRecord& r) { seen.push_back(r); });
    lab.Device(3)->SetUndelivered(ata::cmd::kReadDma, true);
    auto h3 = drives.OpenPhysicalDrive(3);
    Command r = Read(0x00ABCDEF, 8);
    EXPECT_FALSE(h3->PassThrough(r.request));
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen[0].delivered);
    EXPECT_TRUE(seen[0].isRead);
    EXPECT_EQ(seen[0].lba, 0x00ABCDEFu);
    EXPECT_EQ(seen[0].input.lbaHigh, 0xAB);
}

TEST(SimRawDrive, HexBlocksWithOverridesReproduceADrive) {
    // A captured drive: build blocks, then feed them back as raw hex through a lab file.
    DriveDescription original = SmallDrive(1'000'000);
    original.model = "VQ CAPTURED";
    original.security.userPassword = PasswordFromText("pw");
    original.security.startUnlocked = true;
    ata::IdentifyBlock id = SimDevice(original).IdentifyData();
    id[257] |= 0x02;  // a reserved bit of word 128 the capture happens to carry
    SmartDescription smart;
    smart.controller = "JMF612";
    const ata::SmartBlock sm = BuildSmart(smart);
    auto hex = [](const auto& block) {
        std::string s;
        char buf[3];
        for (uint8_t b : block) {
            std::snprintf(buf, sizeof buf, "%02x", b);
            s += buf;
        }
        return s;
    };
    const std::string json = R"({"drives": [{"slot": 4, "identifyHex": ")" + hex(id) + R"(", "smartHex": ")" + hex(sm) +
                             R"(", "identifyWords": {"217": "0x1C20"}, "smartBytes": {"400": 75}}]})";
    const LabDescription lab = ParseLab(json, "captured.json");
    ASSERT_TRUE(lab.drives[4]);
    const DriveDescription& raw = *lab.drives[4];
    EXPECT_EQ(raw.sectors, 1'000'000u) << "capacity from words 100-103";
    EXPECT_EQ(raw.model, "VQ CAPTURED");
    EXPECT_EQ(raw.rotationRate, 0x1C20);

    SimDevice d(raw);
    const ata::IdentifyBlock out = d.IdentifyData();
    for (int k = 0; k < 255; ++k) {
        if (k != 217) {
            EXPECT_EQ(ata::Word(out, k), ata::Word(id, k)) << "word " << k;
        }
    }
    EXPECT_EQ(ata::Word(out, 217), 0x1C20);
    EXPECT_EQ(ata::Word(out, 128), 0x0203) << "security state taken from word 128";
    Command disable = Security(ata::cmd::kSecurityDisablePassword, "");
    Send(d, disable);
    EXPECT_TRUE(disable.Ok()) << "a blank password stands in for the capture's unknown one";
    EXPECT_EQ(ata::Word(d.IdentifyData(), 128), 0x0201) << "state bits move, the rest stays";
    EXPECT_EQ(ByteSum(out), 0u) << "checksum resealed after the override";
    EXPECT_EQ(d.SmartData()[400], 75);
    EXPECT_EQ(d.SmartData()[401], 'M');

    const std::string keep = R"({"drives": [{"identifyHex": ")" + hex(id) +
                             R"(", "identifyWords": {"0xD9": 2, "255": "0x00A5"}, "keepIdentifyChecksum": true}]})";
    const ata::IdentifyBlock kept = SimDevice(*ParseLab(keep, "keep.json").drives[0]).IdentifyData();
    EXPECT_EQ(ata::Word(kept, 217), 2);
    EXPECT_EQ(ata::Word(kept, 255), 0x00A5) << "the lab asked to keep word 255 as given";
}

}  // namespace
}  // namespace vellumin::platform::sim::test
