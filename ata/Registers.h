#pragma once

// The ATA register vocabulary: every opcode, status and error bit and the packing of an LBA
// into the task file, written out once for the transport, the backends, the lab and the tests.

#include <cstdint>

#include "ata/AtaRequest.h"

namespace vellumin::ata {

// Command opcodes (command register) and SMART subcommands (features register).
namespace cmd {
inline constexpr uint8_t kIdentify = 0xEC;
inline constexpr uint8_t kSmart = 0xB0;
inline constexpr uint8_t kReadDma = 0xC8;
inline constexpr uint8_t kReadDmaExt = 0x25;
inline constexpr uint8_t kSecuritySetPassword = 0xF1;
inline constexpr uint8_t kSecurityUnlock = 0xF2;
inline constexpr uint8_t kSecurityErasePrepare = 0xF3;
inline constexpr uint8_t kSecurityEraseUnit = 0xF4;
inline constexpr uint8_t kSecurityFreezeLock = 0xF5;
inline constexpr uint8_t kSecurityDisablePassword = 0xF6;
inline constexpr uint8_t kSmartReadData = 0xD0;
inline constexpr uint8_t kVendorEraseFull = 0xE3;
inline constexpr uint8_t kVendorEraseQuickSmi = 0xE4;
inline constexpr uint8_t kVendorEraseQuickJmf = 0xE0;
// Every SMART command carries this signature in LBA mid and high.
inline constexpr uint8_t kSmartLbaMid = 0x4F;
inline constexpr uint8_t kSmartLbaHigh = 0xC2;
}  // namespace cmd

// Status register bits, and the status values a drive answers with.
inline constexpr uint8_t kStatusErr = 0x01;
inline constexpr uint8_t kStatusDsc = 0x10;
inline constexpr uint8_t kStatusDf = 0x20;
inline constexpr uint8_t kStatusDrdy = 0x40;
inline constexpr uint8_t kStatusOk = kStatusDrdy | kStatusDsc;
inline constexpr uint8_t kStatusAborted = kStatusOk | kStatusErr;
inline constexpr uint8_t kStatusDeviceFault = kStatusOk | kStatusDf;

// Error register bits.
inline constexpr uint8_t kErrorAbort = 0x04;
inline constexpr uint8_t kErrorIdnf = 0x10;

// Security status: the low byte of identify word 128.
namespace sec {
inline constexpr uint8_t kSupported = 0x01;
inline constexpr uint8_t kEnabled = 0x02;
inline constexpr uint8_t kLocked = 0x04;
inline constexpr uint8_t kFrozen = 0x08;
inline constexpr uint8_t kExpired = 0x10;
// Bits of the whole word.
inline constexpr uint16_t kEnhancedEraseSupported = 0x0020;
inline constexpr uint16_t kLevelMaximum = 0x0100;
}  // namespace sec

// Device register: LBA addressing, and the obsolete bits 7 and 5 older drives expect.
inline constexpr uint8_t kDeviceLba = 0x40;
inline constexpr uint8_t kDeviceLegacy = 0xA0;

// 28-bit commands reach LBAs below 2^28, 48-bit commands below 2^48.
inline constexpr uint64_t kLba28Limit = uint64_t{1} << 28;
inline constexpr uint64_t kLba48Limit = uint64_t{1} << 48;
inline constexpr uint32_t kSectorSize = 512;

// Bits 0-23 go to LBA low/mid/high, bits 24-27 to the device register's low nibble (its other
// bits stay as they are).
constexpr void PackLba28(AtaTaskFile& tf, uint64_t lba) {
    tf.lbaLow = static_cast<uint8_t>(lba);
    tf.lbaMid = static_cast<uint8_t>(lba >> 8);
    tf.lbaHigh = static_cast<uint8_t>(lba >> 16);
    tf.device = static_cast<uint8_t>((tf.device & 0xF0) | ((lba >> 24) & 0x0F));
}
constexpr uint64_t UnpackLba28(const AtaTaskFile& tf) {
    return tf.lbaLow | (uint64_t{tf.lbaMid} << 8) | (uint64_t{tf.lbaHigh} << 16) |
           (uint64_t{tf.device & 0x0Fu} << 24);
}

// Bits 0-23 go to the current registers, bits 24-47 to the previous (high-order) ones.
constexpr void PackLba48(AtaTaskFile& low, AtaTaskFile& high, uint64_t lba) {
    low.lbaLow = static_cast<uint8_t>(lba);
    low.lbaMid = static_cast<uint8_t>(lba >> 8);
    low.lbaHigh = static_cast<uint8_t>(lba >> 16);
    high.lbaLow = static_cast<uint8_t>(lba >> 24);
    high.lbaMid = static_cast<uint8_t>(lba >> 32);
    high.lbaHigh = static_cast<uint8_t>(lba >> 40);
}
constexpr uint64_t UnpackLba48(const AtaTaskFile& low, const AtaTaskFile& high) {
    return low.lbaLow | (uint64_t{low.lbaMid} << 8) | (uint64_t{low.lbaHigh} << 16) |
           (uint64_t{high.lbaLow} << 24) | (uint64_t{high.lbaMid} << 32) | (uint64_t{high.lbaHigh} << 40);
}

}  // namespace vellumin::ata
