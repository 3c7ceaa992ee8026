// The 512-byte blocks a lab drive answers with, built from its description.
#include <algorithm>
#include <numeric>

#include "ata/Registers.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimLab.h"

namespace vellumin::platform::sim {

Password PasswordFromText(const std::string& text) {
    Password password{};
    std::copy_n(text.begin(), std::min(text.size(), password.size()), password.begin());
    return password;
}

void PutWord(ata::IdentifyBlock& block, int k, uint16_t value) {
    block[2 * k] = static_cast<uint8_t>(value & 0xFF);
    block[2 * k + 1] = static_cast<uint8_t>(value >> 8);
}

void PutAtaString(ata::IdentifyBlock& block, int first, int words, const std::string& text) {
    for (int i = 0; i < 2 * words; ++i) {
        const char c = i < static_cast<int>(text.size()) ? text[i] : ' ';
        // The first character of each pair travels in the word's high byte.
        block[2 * first + (i ^ 1)] = static_cast<uint8_t>(c);
    }
}

void SealIdentifyChecksum(ata::IdentifyBlock& block) {
    block[510] = 0xA5;
    const unsigned sum = std::accumulate(block.begin(), block.begin() + 511, 0u);
    block[511] = static_cast<uint8_t>(-sum);
}

void SealSmartChecksum(ata::SmartBlock& block) {
    const unsigned sum = std::accumulate(block.begin(), block.begin() + 511, 0u);
    block[511] = static_cast<uint8_t>(-sum);
}

namespace {

uint16_t Bits(std::initializer_list<int> bits) {
    uint16_t value = 0;
    for (int b : bits) {
        value |= static_cast<uint16_t>(1u << b);
    }
    return value;
}

uint16_t SetIf(uint16_t value, int bit, bool on) {
    return on ? static_cast<uint16_t>(value | (1u << bit)) : static_cast<uint16_t>(value & ~(1u << bit));
}

void Put24BigEndian(ata::SmartBlock& block, int at, uint32_t value) {
    block[at] = static_cast<uint8_t>(value >> 16);
    block[at + 1] = static_cast<uint8_t>(value >> 8);
    block[at + 2] = static_cast<uint8_t>(value);
}

}  // namespace

ata::IdentifyBlock BuildIdentify(const DriveDescription& drive) {
    ata::IdentifyBlock b{};
    // A fixed, non-removable ATA device with the customary 16383/16/63 CHS face.
    PutWord(b, 0, 0x0040);
    PutWord(b, 1, 16383);
    PutWord(b, 3, 16);
    PutWord(b, 6, 63);
    PutAtaString(b, ata::kWordSerial, 10, drive.serial);
    PutAtaString(b, ata::kWordFirmware, 4, drive.firmware);
    PutAtaString(b, ata::kWordModel, 20, drive.model);
    PutWord(b, 47, 0x8010);
    PutWord(b, 49, 0x2F00);  // LBA, DMA, IORDY, standby timer
    PutWord(b, 50, 0x4000);
    PutWord(b, 53, 0x0007);
    PutWord(b, 54, 16383);
    PutWord(b, 55, 16);
    PutWord(b, 56, 63);
    const uint32_t chs = 16383u * 16u * 63u;
    PutWord(b, 57, static_cast<uint16_t>(chs & 0xFFFF));
    PutWord(b, 58, static_cast<uint16_t>(chs >> 16));
    PutWord(b, 59, 0x0110);
    const uint64_t lba28 = std::min<uint64_t>(drive.sectors, kLba28Max);
    PutWord(b, 60, static_cast<uint16_t>(lba28 & 0xFFFF));
    PutWord(b, 61, static_cast<uint16_t>(lba28 >> 16));
    PutWord(b, 63, 0x0007);
    PutWord(b, 64, 0x0003);
    for (int k = 65; k <= 68; ++k) {
        PutWord(b, k, 0x0078);
    }
    PutWord(b, 69, drive.trim ? 0x4020 : 0x0000);  // deterministic, zeroed read after TRIM
    PutWord(b, 75, 0x001F);

    uint16_t sata = 0;
    for (int gen = 1; gen <= std::clamp(drive.sataGen, 0, 3); ++gen) {
        sata = SetIf(sata, gen, true);
    }
    sata = SetIf(sata, 8, drive.ncq);
    PutWord(b, 76, sata);
    PutWord(b, 77, drive.sataGen > 0 ? static_cast<uint16_t>(std::clamp(drive.sataGen, 1, 3) << 1) : 0);
    PutWord(b, 78, drive.sataGen > 0 ? 0x0048 : 0);
    PutWord(b, 79, drive.sataGen > 0 ? 0x0040 : 0);

    uint16_t major = 0;
    for (int v = 4; v <= std::min(drive.ataMajor, 8); ++v) {
        major = SetIf(major, v, true);
    }
    PutWord(b, 80, major);
    PutWord(b, 81, 0x0028);

    const SmartDescription& smart = drive.smart;
    const SecurityDescription& sec = drive.security;
    uint16_t w82 = Bits({3, 5, 6, 12, 13, 14});
    w82 = SetIf(w82, 0, smart.supported);
    w82 = SetIf(w82, 1, sec.supported);
    PutWord(b, 82, w82);
    uint16_t w83 = Bits({10, 12, 13, 14});
    w83 = SetIf(w83, 3, drive.apmSupported);
    PutWord(b, 83, w83);
    PutWord(b, 84, smart.supported ? Bits({0, 1, 5, 14}) : Bits({5, 14}));
    uint16_t w85 = Bits({3, 5, 6, 12, 13, 14});
    w85 = SetIf(w85, 0, smart.supported && smart.enabled);
    PutWord(b, 85, w85);  // bit 1 follows the security state when the block is sent
    uint16_t w86 = Bits({10, 12, 13});
    w86 = SetIf(w86, 3, drive.apmSupported && drive.apmEnabled);
    PutWord(b, 86, w86);
    PutWord(b, 87, smart.supported ? Bits({0, 1, 5, 14}) : Bits({5, 14}));
    uint16_t w88 = 0x007F;
    if (drive.udmaMode >= 0 && drive.udmaMode <= 6) {
        w88 = SetIf(w88, 8 + drive.udmaMode, true);
    }
    PutWord(b, 88, w88);
    if (sec.supported) {
        PutWord(b, 89, sec.eraseTime);
        PutWord(b, 90, sec.enhancedEraseTime);
        PutWord(b, 92, sec.masterPasswordId);
    }
    PutWord(b, 93, 0x0000);
    for (int k = 0; k < 4; ++k) {
        PutWord(b, 100 + k, static_cast<uint16_t>(drive.sectors >> (16 * k)));
    }
    PutWord(b, 106, 0x4000);
    PutWord(b, 169, drive.trim ? 0x0001 : 0x0000);
    PutWord(b, 217, drive.rotationRate);
    PutWord(b, 222, drive.sataGen > 0 ? 0x101F : 0x0000);
    return b;
}

ata::SmartBlock BuildSmart(const SmartDescription& smart) {
    ata::SmartBlock b{};
    b[0] = static_cast<uint8_t>(smart.revision & 0xFF);
    b[1] = static_cast<uint8_t>(smart.revision >> 8);
    const size_t slots = std::min<size_t>(smart.attributes.size(), 30);
    for (size_t k = 0; k < slots; ++k) {
        const SmartAttribute& a = smart.attributes[k];
        uint8_t* slot = b.data() + 2 + 12 * k;
        slot[0] = a.id;
        slot[1] = static_cast<uint8_t>(a.flags & 0xFF);
        slot[2] = static_cast<uint8_t>(a.flags >> 8);
        slot[3] = a.current;
        slot[4] = a.worst;
        for (int i = 0; i < 6; ++i) {
            slot[5 + i] = static_cast<uint8_t>(a.raw >> (8 * i));
        }
        slot[11] = a.reserved;
    }
    b[362] = 0x82;  // offline collection completed, automatic collection on
    b[367] = 0x7B;  // offline / self-test capabilities
    b[368] = 0x03;  // SMART data saved across power cycles
    b[370] = 0x01;  // error logging supported
    b[372] = 0x02;  // short self-test: 2 minutes
    b[373] = 0x0A;  // extended self-test: 10 minutes
    std::copy_n(smart.controller.begin(), std::min<size_t>(smart.controller.size(), 10), b.begin() + 400);
    Put24BigEndian(b, 421, smart.averageErase);
    Put24BigEndian(b, 426, smart.maximumErase);
    Put24BigEndian(b, 429, smart.minimumErase);
    return b;
}

void AdoptRawIdentify(DriveDescription& drive, bool securityGiven) {
    if (!drive.identifyRaw) {
        return;
    }
    ata::IdentifyBlock b = *drive.identifyRaw;
    for (const auto& [k, v] : drive.identifyWords) {
        PutWord(b, k, v);
    }
    for (const auto& [i, v] : drive.identifyBytes) {
        b[i] = v;
    }
    auto w = [&](int k) { return ata::Word(b, k); };
    if (drive.sectors == 0) {
        drive.sectors = ata::CapacitySectors(b);
    }
    drive.serial = ata::TrimRight(ata::SerialNumber(b));
    drive.firmware = ata::TrimRight(ata::FirmwareRevision(b));
    drive.model = ata::ModelText(b);
    drive.rotationRate = w(217);
    drive.trim = w(169) & 1;
    drive.smart.supported = w(82) & 1;
    drive.smart.enabled = w(85) & 1;
    if (!securityGiven) {
        const uint16_t s = w(128);
        SecurityDescription& sec = drive.security;
        sec.supported = s & ata::sec::kSupported;
        sec.enhancedEraseSupported = s & ata::sec::kEnhancedEraseSupported;
        sec.level = (s & ata::sec::kLevelMaximum) ? SecurityLevel::Maximum : SecurityLevel::High;
        sec.frozenAtPowerOn = s & ata::sec::kFrozen;
        sec.startExpired = s & ata::sec::kExpired;
        sec.eraseTime = w(89);
        sec.enhancedEraseTime = w(90);
        sec.masterPasswordId = w(92);
        if (s & ata::sec::kEnabled) {
            // The captured drive's password is not in its identify data; a blank one stands in.
            sec.userPassword = PasswordFromText("");
            sec.startUnlocked = !(s & ata::sec::kLocked);
        }
    }
}

uint16_t SecurityState::Word128() const {
    if (!supported) {
        return 0;
    }
    uint16_t w = ata::sec::kSupported;
    w |= enabled ? ata::sec::kEnabled : 0;
    w |= locked ? ata::sec::kLocked : 0;
    w |= frozen ? ata::sec::kFrozen : 0;
    w |= expired ? ata::sec::kExpired : 0;
    return enabled && level == SecurityLevel::Maximum ? static_cast<uint16_t>(w | ata::sec::kLevelMaximum) : w;
}

const FirmwareAnswer* MachineFacts::FindFirmwareAnswer(const std::string& model, const std::string& firmware,
                                                       const std::string& wono) const {
    for (const FirmwareAnswer& a : firmwareAnswers) {
        if ((a.model.empty() || a.model == model) && (a.firmware.empty() || a.firmware == firmware) &&
            (a.wono.empty() || a.wono == wono)) {
            return &a;
        }
    }
    return nullptr;
}

}  // namespace vellumin::platform::sim
