#pragma once

// The Windows storage requests as bytes: the direct ATA pass-through request in both of its
// layouts (the 32-bit one is 40 bytes, the 64-bit one 48, its buffer pointer aligned to 8), and
// the SMART receive request the identify and SMART reads travel in. Building and reading them
// are pure functions; WindowsPlatform.cpp sends them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "ata/AtaRequest.h"
#include "platform/PassThroughResult.h"

namespace vellumin::platform::windows_backend {

// ATA_PASS_THROUGH_DIRECT with the pointer as an integer of the system's width.
template <typename Pointer>
struct AtaPassThroughDirectLayout {
    uint16_t length;
    uint16_t ataFlags;
    uint8_t pathId;
    uint8_t targetId;
    uint8_t lun;
    uint8_t reservedAsUchar;
    uint32_t dataTransferLength;
    uint32_t timeOutValue;
    uint32_t reservedAsUlong;
    alignas(sizeof(Pointer)) Pointer dataBuffer;
    uint8_t previousTaskFile[8];
    uint8_t currentTaskFile[8];
};
using AtaPassThroughDirect32 = AtaPassThroughDirectLayout<uint32_t>;
using AtaPassThroughDirect64 = AtaPassThroughDirectLayout<uint64_t>;

inline constexpr uint32_t kIoctlAtaPassThroughDirect = 0x0004D030;
inline constexpr uint32_t kSmartRcvDriveData = 0x0007C088;
inline constexpr uint32_t kIoctlDiskGetDriveGeometry = 0x00070000;
inline constexpr uint32_t kIoctlVolumeGetVolumeDiskExtents = 0x00560000;
inline constexpr uint32_t kIoctlStorageQueryProperty = 0x002D1400;

// The request as the driver takes it: length field the layout's size, path, target and unit 0.
template <typename Layout>
Layout BuildPassThroughDirect(const ata::AtaPassThroughRequest& request, uint64_t bufferAddress) {
    Layout layout{};
    layout.length = sizeof(Layout);
    layout.ataFlags = request.flags;
    layout.dataTransferLength = request.dataLength;
    layout.timeOutValue = request.timeOutSeconds;
    layout.dataBuffer = static_cast<decltype(layout.dataBuffer)>(bufferAddress);
    const auto put = [](uint8_t (&to)[8], const ata::AtaTaskFile& from) {
        to[0] = from.features;
        to[1] = from.sectorCount;
        to[2] = from.lbaLow;
        to[3] = from.lbaMid;
        to[4] = from.lbaHigh;
        to[5] = from.device;
        to[6] = from.command;
        to[7] = 0;
    };
    if (request.ext()) {
        put(layout.previousTaskFile, request.previousTaskFile);
    }
    put(layout.currentTaskFile, request.currentTaskFile);
    return layout;
}

// The registers the device answered with, into the request: error in features, status in
// command, and the rest of the task file as it came back.
template <typename Layout>
void StorePassThroughOutput(const Layout& layout, ata::AtaPassThroughRequest& request) {
    const auto get = [](const uint8_t (&from)[8], ata::AtaTaskFile& to) {
        to = {from[0], from[1], from[2], from[3], from[4], from[5], from[6]};
    };
    get(layout.currentTaskFile, request.currentTaskFile);
    if (request.ext()) {
        get(layout.previousTaskFile, request.previousTaskFile);
    }
}

// How a DeviceIoControl came out: delivered, or the Windows error code in place of errno.
PassThroughResult ClassifyIoControl(bool succeeded, uint32_t lastError);

// Whether the caller's buffer must be copied through one the adapter can reach by DMA: the
// adapter's alignment mask (from its storage descriptor) is not met by the address.
bool NeedsBounceBuffer(uint64_t address, uint32_t alignmentMask);

// The SMART receive request carries IDENTIFY DEVICE and SMART READ DATA on every driver that
// reads SMART: those two commands go that way, every other one by direct pass-through.
bool TravelsAsSmartReceive(const ata::AtaPassThroughRequest& request);

// SENDCMDINPARAMS without its one-byte data area, for a command that reads 512 bytes.
inline constexpr size_t kSendCmdInSize = 32;
inline constexpr size_t kSendCmdOutSize = 16 + 512;
std::array<uint8_t, kSendCmdInSize> BuildSmartReceive(const ata::AtaPassThroughRequest& request);
// Copies the 512 data bytes after the 16-byte header into the request's buffer and sets the
// registers from the driver status: the IDE error byte, if any, as error with the error bit
// set in status; otherwise a ready status. False when the output is too short.
bool StoreSmartReceiveOutput(std::span<const uint8_t> output, ata::AtaPassThroughRequest& request);

// Commands the backend sends while it runs under Wine, whose \\.\PhysicalDriveN may be a disk
// of the host: reads of the identify and SMART blocks only.
bool IsReadOnlyCommand(const ata::AtaPassThroughRequest& request);

}  // namespace vellumin::platform::windows_backend
