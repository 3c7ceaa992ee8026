#include "transport/Transport.h"

#include <cstdlib>
#include <memory>
#include <new>

namespace vellumin::ata {
namespace {

constexpr AtaTaskFile kIdentifyRegisters{0x00, 0x00, 0x00, 0x00, 0x00, kDeviceLegacy, cmd::kIdentify};
constexpr AtaTaskFile kSmartReadRegisters{cmd::kSmartReadData, 0x00,          0x00,          cmd::kSmartLbaMid,
                                          cmd::kSmartLbaHigh,  kDeviceLegacy, cmd::kSmart};

// DMA targets get a fresh page-aligned region per call, like the buffer the drive stack would
// map for a direct transfer.
constexpr std::size_t kPageSize = 4096;

using ScratchPtr = PageAlignedBuffer;

ScratchPtr AllocateScratch(uint32_t bytes) { return AllocatePageAligned(bytes); }

platform::PassThroughResult ReadDataBlock(platform::DriveSystem& drives, int number, const AtaTaskFile& registers,
                                          std::array<uint8_t, 512>& block) {
    auto [handle, openFailure] = OpenDrive(drives, number);
    if (!handle) {
        return platform::PassThroughResult::NotDelivered(openFailure);
    }
    std::array<uint8_t, 512> data{};
    AtaPassThroughRequest request;
    request.flags = ATA_FLAGS_DATA_IN;
    request.dataLength = static_cast<uint32_t>(data.size());
    request.timeOutSeconds = kDataBlockTimeOutSeconds;
    request.dataBuffer = data.data();
    request.currentTaskFile = registers;
    auto result = AtaPassThrough(handle.get(), request);
    if (result) {
        block = data;
    }
    return result;
}

int SendRead(platform::DriveHandle* handle, AtaPassThroughRequest request, ScratchPtr scratch) {
    if (!handle || !scratch) {
        return kReadNotDelivered;
    }
    const bool delivered = AtaPassThrough(handle, request).delivered();
    handle->Flush();  // result ignored: the read itself decides
    scratch.reset();
    return ReadResultCode(delivered, request.currentTaskFile);
}

}  // namespace

platform::DriveHandlePtr OpenPhysicalDrive(platform::DriveSystem& drives, int number) {
    if (number < 0 || number >= kMaxDrives) {
        return nullptr;
    }
    return drives.OpenPhysicalDrive(number);
}

platform::DriveOpening OpenDrive(platform::DriveSystem& drives, int number) {
    if (number < 0 || number >= kMaxDrives) {
        return {};
    }
    return drives.OpenDrive(number);
}

platform::DriveOpening ClaimDrive(platform::DriveSystem& drives, int number) {
    if (number < 0 || number >= kMaxDrives) {
        return {};
    }
    return drives.ClaimDrive(number);
}

platform::PassThroughResult IdentifyDevice(platform::DriveSystem& drives, int number, IdentifyBlock& block) {
    return ReadDataBlock(drives, number, kIdentifyRegisters, block);
}

platform::PassThroughResult SmartReadData(platform::DriveSystem& drives, int number, SmartBlock& block) {
    return ReadDataBlock(drives, number, kSmartReadRegisters, block);
}

platform::PassThroughResult AtaPassThrough(platform::DriveHandle* handle, AtaPassThroughRequest& request) {
    if (!handle) {
        return platform::PassThroughResult::NotDelivered(platform::TransportStage::Open);
    }
    if (request.dataLength > 0 && !request.dataBuffer) {
        return platform::PassThroughResult::NotDelivered(platform::TransportStage::Request);
    }
    return handle->PassThrough(request);
}

int DecimalErrorCode(uint8_t error) {
    int code = 0;
    int digit = 1;
    for (int bit = 0; bit < 8; ++bit, digit *= 10) {
        if (error & (1u << bit)) {
            code += digit;
        }
    }
    return code;
}

int ReadResultCode(bool delivered, const AtaTaskFile& output) {
    if (!delivered) {
        return kReadNotDelivered;
    }
    if (output.status() & kStatusErr) {
        return DecimalErrorCode(output.error());
    }
    if (output.status() & kStatusDf) {
        return kReadDeviceFault;
    }
    return kReadOk;
}

AtaPassThroughRequest ReadDmaRequest(uint64_t lba, uint32_t byteCount, void* buffer) {
    AtaPassThroughRequest request;
    request.flags = ATA_FLAGS_DATA_IN | ATA_FLAGS_USE_DMA;
    request.dataLength = byteCount;
    request.timeOutSeconds = kReadDmaTimeOutSeconds;
    request.dataBuffer = buffer;
    auto& tf = request.currentTaskFile;
    tf.sectorCount = static_cast<uint8_t>(byteCount / kSectorSize);  // 256 goes out as 0
    tf.device = kDeviceLba;
    PackLba28(tf, lba);
    tf.command = cmd::kReadDma;
    return request;
}

AtaPassThroughRequest ReadDmaExtRequest(uint64_t lba, uint32_t byteCount, void* buffer) {
    AtaPassThroughRequest request;
    request.flags = ATA_FLAGS_DATA_IN | ATA_FLAGS_USE_DMA | ATA_FLAGS_48BIT_COMMAND;
    request.dataLength = byteCount;
    request.timeOutSeconds = kReadDmaTimeOutSeconds;
    request.dataBuffer = buffer;
    const uint32_t sectors = byteCount / kSectorSize;  // 65536 goes out as 0
    auto& low = request.currentTaskFile;
    low.sectorCount = static_cast<uint8_t>(sectors);
    low.device = kDeviceLba;
    low.command = cmd::kReadDmaExt;
    auto& high = request.previousTaskFile;
    high.sectorCount = static_cast<uint8_t>(sectors >> 8);
    PackLba48(low, high, lba);
    return request;
}

uint64_t RegisterLba(const AtaPassThroughRequest& request) {
    return request.ext() ? UnpackLba48(request.currentTaskFile, request.previousTaskFile)
                         : UnpackLba28(request.currentTaskFile);
}

namespace {

struct ReadCommand {
    uint64_t lbaLimit;
    uint32_t maxBytes;
    AtaPassThroughRequest (*build)(uint64_t, uint32_t, void*);
};
constexpr ReadCommand kReadDma{kLba28Limit, kMaxReadDmaBytes, ReadDmaRequest};
constexpr ReadCommand kReadDmaExt{kLba48Limit, kMaxReadDmaExtBytes, ReadDmaExtRequest};

// Requests the command cannot express are refused rather than sent wrapped: a wrapped LBA
// would read the wrong sectors and report success, a byte count above the command's reach
// (or a count that is not whole sectors) would let the device write past the buffer, and a
// chunk running past the limit would need registers the command does not have.
int Read(const ReadCommand& command, platform::DriveHandle* handle, uint64_t lba, uint32_t byteCount) {
    if (byteCount == 0 || byteCount % kSectorSize != 0 || byteCount > command.maxBytes ||
        lba >= command.lbaLimit || byteCount / kSectorSize > command.lbaLimit - lba) {
        return kReadNotDelivered;  // the last sector, not only the first, must be reachable
    }
    auto scratch = AllocateScratch(byteCount);
    const auto request = command.build(lba, byteCount, scratch.get());
    return SendRead(handle, request, std::move(scratch));
}

}  // namespace

int ReadDma(platform::DriveHandle* handle, uint64_t lba, uint32_t byteCount) {
    return Read(kReadDma, handle, lba, byteCount);
}

int ReadDmaExt(platform::DriveHandle* handle, uint64_t lba, uint32_t byteCount) {
    return Read(kReadDmaExt, handle, lba, byteCount);
}

void PageAlignedFree::operator()(void* p) const {
    ::operator delete(p, std::align_val_t{kPageSize});
}

PageAlignedBuffer AllocatePageAligned(std::size_t bytes) {
    const std::size_t rounded = (bytes + kPageSize - 1) / kPageSize * kPageSize;
    return PageAlignedBuffer(::operator new(rounded, std::align_val_t{kPageSize}, std::nothrow));
}

}  // namespace vellumin::ata
