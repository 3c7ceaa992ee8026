#pragma once

#include <cstdint>

namespace vellumin::ata {

// Flag values are the ones the Windows direct pass-through uses, so a Windows backend can
// hand the request over unchanged.
enum AtaFlag : uint16_t {
    ATA_FLAGS_DRDY_REQUIRED = 0x01,
    ATA_FLAGS_DATA_IN = 0x02,
    ATA_FLAGS_DATA_OUT = 0x04,
    ATA_FLAGS_48BIT_COMMAND = 0x08,
    ATA_FLAGS_USE_DMA = 0x10,
};

// Seven task-file registers. On output the device's error register comes back in
// `features` and its status register in `command`.
struct AtaTaskFile {
    uint8_t features = 0;
    uint8_t sectorCount = 0;
    uint8_t lbaLow = 0;
    uint8_t lbaMid = 0;
    uint8_t lbaHigh = 0;
    uint8_t device = 0;
    uint8_t command = 0;

    uint8_t error() const { return features; }
    uint8_t status() const { return command; }
    bool operator==(const AtaTaskFile&) const = default;
};

// The one shape every ATA command travels in.
struct AtaPassThroughRequest {
    uint16_t flags = 0;
    uint32_t dataLength = 0;      // bytes; 0 for a command without data
    uint32_t timeOutSeconds = 0;  // the device's time to answer
    void* dataBuffer = nullptr;   // dataLength bytes, caller-owned, valid for the call
    AtaTaskFile currentTaskFile;  // in: the command; out: error (features), status (command)
    // High-order bytes of a 48-bit command (used only with ATA_FLAGS_48BIT_COMMAND): features,
    // sector count and LBA low/mid/high hold bits 8-15 / 8-15 / 24-31 / 32-39 / 40-47.
    AtaTaskFile previousTaskFile;

    bool dataIn() const { return flags & ATA_FLAGS_DATA_IN; }
    bool dataOut() const { return flags & ATA_FLAGS_DATA_OUT; }
    bool dma() const { return flags & ATA_FLAGS_USE_DMA; }
    bool ext() const { return flags & ATA_FLAGS_48BIT_COMMAND; }
};

}  // namespace vellumin::ata
