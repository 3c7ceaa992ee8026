#include "platform/windows/AtaPassThroughDirect.h"

#include <windows.h>
// ntddscsi.h needs the types of the two above.
#include <ntddscsi.h>
#include <winioctl.h>

#include <cstring>

namespace vellumin::platform::windows_backend {

// The layout of this build must be the system's own, byte for byte.
static_assert(sizeof(void*) == 8 ? sizeof(AtaPassThroughDirect64) == sizeof(ATA_PASS_THROUGH_DIRECT)
                                 : sizeof(AtaPassThroughDirect32) == sizeof(ATA_PASS_THROUGH_DIRECT));
static_assert(offsetof(ATA_PASS_THROUGH_DIRECT, DataBuffer) ==
              (sizeof(void*) == 8 ? offsetof(AtaPassThroughDirect64, dataBuffer)
                                  : offsetof(AtaPassThroughDirect32, dataBuffer)));
static_assert(offsetof(ATA_PASS_THROUGH_DIRECT, CurrentTaskFile) ==
              (sizeof(void*) == 8 ? offsetof(AtaPassThroughDirect64, currentTaskFile)
                                  : offsetof(AtaPassThroughDirect32, currentTaskFile)));
static_assert(IOCTL_ATA_PASS_THROUGH_DIRECT == kIoctlAtaPassThroughDirect);
static_assert(SMART_RCV_DRIVE_DATA == kSmartRcvDriveData);
static_assert(IOCTL_DISK_GET_DRIVE_GEOMETRY == kIoctlDiskGetDriveGeometry);
static_assert(IOCTL_VOLUME_GET_VOLUME_DISK_EXTENTS == kIoctlVolumeGetVolumeDiskExtents);
static_assert(IOCTL_STORAGE_QUERY_PROPERTY == kIoctlStorageQueryProperty);
static_assert(sizeof(SENDCMDINPARAMS) == kSendCmdInSize + 1);
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == 16);

namespace {

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kSmart = 0xB0;
constexpr uint8_t kSmartReadData = 0xD0;
constexpr uint8_t kSmartReadThresholds = 0xD1;
constexpr uint8_t kStatusReady = 0x50;
constexpr uint8_t kStatusError = 0x01;

}  // namespace

PassThroughResult ClassifyIoControl(bool succeeded, uint32_t lastError) {
    if (succeeded) {
        return PassThroughResult::Delivered();
    }
    TransportFailure failure;
    failure.stage = TransportStage::SystemCall;
    failure.osError = static_cast<int>(lastError);
    return PassThroughResult::NotDelivered(failure);
}

bool NeedsBounceBuffer(uint64_t address, uint32_t alignmentMask) {
    return (address & alignmentMask) != 0;
}

bool TravelsAsSmartReceive(const ata::AtaPassThroughRequest& request) {
    const ata::AtaTaskFile& t = request.currentTaskFile;
    if (request.ext() || request.dataOut() || request.dataLength != 512) {
        return false;
    }
    return t.command == kIdentifyDevice || (t.command == kSmart && t.features == kSmartReadData);
}

std::array<uint8_t, kSendCmdInSize> BuildSmartReceive(const ata::AtaPassThroughRequest& request) {
    std::array<uint8_t, kSendCmdInSize> in{};
    const uint32_t bufferSize = 512;
    std::memcpy(in.data(), &bufferSize, 4);  // little-endian like the system
    const ata::AtaTaskFile& t = request.currentTaskFile;
    const uint8_t registers[8] = {t.features, t.sectorCount, t.lbaLow, t.lbaMid,
                                  t.lbaHigh,  t.device,      t.command, 0};
    std::memcpy(in.data() + 4, registers, 8);
    in[12] = 0;  // drive number
    return in;
}

bool StoreSmartReceiveOutput(std::span<const uint8_t> output, ata::AtaPassThroughRequest& request) {
    if (output.size() < kSendCmdOutSize || request.dataBuffer == nullptr ||
        request.dataLength < 512) {
        return false;
    }
    std::memcpy(request.dataBuffer, output.data() + 16, 512);
    const uint8_t ideError = output[5];  // DriverStatus.bIDEError
    request.currentTaskFile.features = ideError;
    request.currentTaskFile.command = ideError != 0 ? kStatusReady | kStatusError : kStatusReady;
    return true;
}

bool IsReadOnlyCommand(const ata::AtaPassThroughRequest& request) {
    const ata::AtaTaskFile& t = request.currentTaskFile;
    if (request.dataOut()) {
        return false;
    }
    return t.command == kIdentifyDevice ||
           (t.command == kSmart && (t.features == kSmartReadData || t.features == kSmartReadThresholds));
}

}  // namespace vellumin::platform::windows_backend
