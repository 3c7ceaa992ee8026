#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/sim/SimDevice.h"

namespace vellumin::platform::sim::test {

inline DriveDescription SmallDrive(uint64_t sectors = 2'000'000) {
    DriveDescription d;
    d.serial = "001234567890";
    d.firmware = "VQ1.0";
    d.model = "VQ TEST SSD";
    d.sectors = sectors;
    return d;
}

// One request with its own 512-byte (or larger) buffer.
struct Command {
    ata::AtaPassThroughRequest request;
    std::vector<uint8_t> data;

    explicit Command(uint8_t command, uint16_t flags = ata::ATA_FLAGS_DRDY_REQUIRED, uint32_t bytes = 0) : data(bytes) {
        request.flags = flags;
        request.dataLength = bytes;
        request.dataBuffer = bytes ? data.data() : nullptr;
        request.timeOutSeconds = 5;
        request.currentTaskFile.command = command;
    }
    uint8_t Status() const { return request.currentTaskFile.command; }
    uint8_t Error() const { return request.currentTaskFile.features; }
    bool Aborted() const { return Status() == ata::kStatusAborted && Error() == ata::kErrorAbort; }
    bool Ok() const { return Status() == ata::kStatusOk && Error() == 0; }
};

inline Command Identify() { return Command(ata::cmd::kIdentify, ata::ATA_FLAGS_DATA_IN, 512); }

inline Command SmartRead() {
    Command c(ata::cmd::kSmart, ata::ATA_FLAGS_DATA_IN, 512);
    c.request.currentTaskFile.features = ata::cmd::kSmartReadData;
    c.request.currentTaskFile.lbaMid = 0x4F;
    c.request.currentTaskFile.lbaHigh = 0xC2;
    c.request.currentTaskFile.device = 0xA0;
    return c;
}

inline Command VendorErase(uint8_t code) {
    Command c(ata::cmd::kSmart, ata::ATA_FLAGS_DATA_IN, 512);
    auto& tf = c.request.currentTaskFile;
    tf.features = code;
    tf.sectorCount = 1;
    tf.lbaLow = code == ata::cmd::kVendorEraseFull ? 0xFF : 0x00;
    tf.lbaMid = 0x4F;
    tf.lbaHigh = 0xC2;
    return c;
}

// READ DMA (28-bit) or READ DMA EXT for `sectors` sectors at `lba`.
inline Command Read(uint64_t lba, uint32_t sectors, bool ext = false) {
    Command c(ext ? ata::cmd::kReadDmaExt : ata::cmd::kReadDma,
              ata::ATA_FLAGS_DATA_IN | ata::ATA_FLAGS_USE_DMA | (ext ? ata::ATA_FLAGS_48BIT_COMMAND : 0), sectors * 512);
    auto& tf = c.request.currentTaskFile;
    tf.sectorCount = static_cast<uint8_t>(sectors);
    tf.lbaLow = static_cast<uint8_t>(lba);
    tf.lbaMid = static_cast<uint8_t>(lba >> 8);
    tf.lbaHigh = static_cast<uint8_t>(lba >> 16);
    if (ext) {
        auto& prev = c.request.previousTaskFile;
        prev.sectorCount = static_cast<uint8_t>(sectors >> 8);
        prev.lbaLow = static_cast<uint8_t>(lba >> 24);
        prev.lbaMid = static_cast<uint8_t>(lba >> 32);
        prev.lbaHigh = static_cast<uint8_t>(lba >> 40);
        tf.device = 0x40;
    } else {
        tf.device = static_cast<uint8_t>(0x40 | ((lba >> 24) & 0x0F));
    }
    return c;
}

enum class Who { User, Master };

// A security data-out command with its 512-byte block: control word, password, 0xFF filler.
inline Command Security(uint8_t command, const std::string& password, Who who = Who::User, uint16_t control = 0) {
    Command c(command, ata::ATA_FLAGS_DATA_OUT, 512);
    std::fill(c.data.begin(), c.data.end(), 0xFF);
    if (who == Who::Master) {
        control |= 0x0001;
    }
    c.data[0] = static_cast<uint8_t>(control);
    c.data[1] = static_cast<uint8_t>(control >> 8);
    const Password p = PasswordFromText(password);
    std::copy(p.begin(), p.end(), c.data.begin() + 2);
    return c;
}

inline Command ErasePrepare() { return Command(ata::cmd::kSecurityErasePrepare); }

inline bool Send(SimDevice& device, Command& c) { return device.Execute(c.request); }

}  // namespace vellumin::platform::sim::test
