#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "ata/IdentifyBlock.h"
#include "ata/Registers.h"
#include "platform/Platform.h"

namespace vellumin::ata {

// Page-aligned memory for a DMA transfer (its size rounded up to whole pages), released on
// destruction; null when none could be had.
struct PageAlignedFree {
    void operator()(void* p) const;
};
using PageAlignedBuffer = std::unique_ptr<void, PageAlignedFree>;
PageAlignedBuffer AllocatePageAligned(std::size_t bytes);

// Physical drives are numbered 0-15; nothing outside that range is ever opened.
inline constexpr int kMaxDrives = 16;

// READ DMA reaches kLba28Limit with at most 256 sectors; READ DMA EXT kLba48Limit with at
// most 65536 sectors.
inline constexpr uint32_t kMaxReadDmaBytes = 256 * kSectorSize;
inline constexpr uint32_t kMaxReadDmaExtBytes = 65536 * kSectorSize;

inline constexpr uint32_t kReadDmaTimeOutSeconds = 200;
inline constexpr uint32_t kDataBlockTimeOutSeconds = 10;  // IDENTIFY DEVICE, SMART READ DATA

// Read results besides the decimal error code.
inline constexpr int kReadNotDelivered = 0;
inline constexpr int kReadOk = 1;
inline constexpr int kReadDeviceFault = -3;

// nullptr when the number is outside 0-15, the drive does not exist or cannot be opened.
platform::DriveHandlePtr OpenPhysicalDrive(platform::DriveSystem& drives, int number);
// The same with the reason an open failed.
platform::DriveOpening OpenDrive(platform::DriveSystem& drives, int number);
// The drive claimed for this process alone while the handle lives (DriveSystem::ClaimDrive).
platform::DriveOpening ClaimDrive(platform::DriveSystem& drives, int number);

// Each opens the drive, reads one 512-byte block (PIO data in) and closes the drive again.
// True when the command was delivered; only then is `block` overwritten, with the bytes as
// they came (even when the device set its error bit).
platform::PassThroughResult IdentifyDevice(platform::DriveSystem& drives, int number, IdentifyBlock& block);
platform::PassThroughResult SmartReadData(platform::DriveSystem& drives, int number, SmartBlock& block);

// Reads byteCount / 512 sectors from `lba` and discards them. Result: 1 read, 0 not delivered,
// -3 device fault, otherwise the device's error register as a decimal bit pattern (see
// ReadResultCode). A null handle counts as not delivered. Requests this command cannot
// express (LBA at or above 2^28; a byte count that is not 1 to 256 whole sectors) are not
// sent: 0.
int ReadDma(platform::DriveHandle* handle, uint64_t lba, uint32_t byteCount);
// The same for READ DMA EXT: LBA below 2^48, 1 to 65536 whole sectors.
int ReadDmaExt(platform::DriveHandle* handle, uint64_t lba, uint32_t byteCount);

// Sends one request; delivered when the platform delivered it (the output registers are then in
// request.currentTaskFile). Not delivered for a null handle or a data length without a buffer.
platform::PassThroughResult AtaPassThrough(platform::DriveHandle* handle, AtaPassThroughRequest& request);

// The error register as decimal digits: bit i of `error` becomes the digit for 10^i, so 0x84
// reads 10000100.
int DecimalErrorCode(uint8_t error);

// The read result of a request's output registers.
int ReadResultCode(bool delivered, const AtaTaskFile& output);

// The requests the reads send, built without sending them.
AtaPassThroughRequest ReadDmaRequest(uint64_t lba, uint32_t byteCount, void* buffer);
AtaPassThroughRequest ReadDmaExtRequest(uint64_t lba, uint32_t byteCount, void* buffer);

// The LBA in a request's registers, packed as those two build it (28-bit with the device
// register's low nibble, 48-bit with the previous task file). After a failed read the drive
// leaves the first LBA it could not read there.
uint64_t RegisterLba(const AtaPassThroughRequest& request);

}  // namespace vellumin::ata
