#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "ata/Registers.h"
#include "ata/AtaRequest.h"
#include "platform/PassThroughResult.h"

// ATA commands carried in SCSI ATA PASS-THROUGH(16) and the sense data that brings the ATA
// registers back. Pure functions: the SG_IO call itself lives in LinuxPlatform.cpp.
namespace vellumin::platform::linux_backend {

using Cdb16 = std::array<uint8_t, 16>;

inline constexpr uint8_t kAtaPassThrough16 = 0x85;

enum class SatProtocol : uint8_t { NonData = 3, PioDataIn = 4, PioDataOut = 5, Dma = 6 };

enum class DataDirection { None, In, Out };

// Nullopt for a request that cannot be sent as stated: both directions, a direction without
// buffer or length, or a length without direction.
std::optional<DataDirection> DirectionOf(const ata::AtaPassThroughRequest& request);

SatProtocol ProtocolOf(const ata::AtaPassThroughRequest& request, DataDirection direction);

// Whether to ask for the registers on success too (ck_cond). Left clear for data-in: some AHCI
// paths abort a PIO data-in command that carries ck_cond and drop its data, and a good status
// without sense already says what we need.
bool WantsCheckCondition(DataDirection direction);

// Requires a request DirectionOf accepts.
Cdb16 BuildCdb(const ata::AtaPassThroughRequest& request, DataDirection direction);

// The ATA output registers as a SAT layer returns them.
struct AtaReturn {
    uint8_t error = 0;
    uint8_t status = 0;
    uint8_t device = 0;
    uint8_t count = 0;
    uint8_t lbaLow = 0;
    uint8_t lbaMid = 0;
    uint8_t lbaHigh = 0;
    bool extend = false;  // the high-order bytes below are valid
    uint8_t countHigh = 0;
    uint8_t lbaLowHigh = 0;
    uint8_t lbaMidHigh = 0;
    uint8_t lbaHighHigh = 0;
    bool statusOnly = false;  // only error and status are known (good status, no sense)
    bool operator==(const AtaReturn&) const = default;
};

struct SenseSummary {
    uint8_t responseCode = 0;  // 0x70-0x73
    uint8_t key = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    bool descriptorFormat() const { return responseCode >= 0x72; }
};

inline constexpr uint8_t kSenseRecoveredError = 0x01;
inline constexpr uint8_t kSenseIllegalRequest = 0x05;
inline constexpr uint8_t kSenseAbortedCommand = 0x0B;

// Nullopt when the bytes are not fixed or descriptor sense data.
std::optional<SenseSummary> SummariseSense(std::span<const uint8_t> sense);

// The ATA registers carried in sense data: the ATA Status Return descriptor (0x09) of
// descriptor sense, or the SAT fields of fixed sense. Kernels before the offsets were mended
// put the fixed-format registers eight bytes later; both layouts are read. Nullopt when no
// registers are there.
std::optional<AtaReturn> DecodeAtaReturn(std::span<const uint8_t> sense);

// What SG_IO reported for one command.
struct SgCompletion {
    bool ioctlSucceeded = false;
    uint8_t scsiStatus = 0;
    uint16_t hostStatus = 0;
    uint16_t driverStatus = 0;
    std::span<const uint8_t> sense;  // the bytes the kernel wrote
    int osError = 0;                 // errno when the ioctl failed
    uint32_t residual = 0;           // data bytes not transferred (resid)
};

// The registers when delivered, otherwise the reason (with everything SG_IO reported).
struct SgOutcome {
    std::optional<AtaReturn> registers;
    TransportFailure failure;  // meaningful only without registers

    explicit operator bool() const { return registers.has_value(); }
    const AtaReturn& operator*() const { return *registers; }
    const AtaReturn* operator->() const { return &*registers; }
};

// Delivered: the command reached the device and its registers are known (an ATA error is
// still delivered). Not delivered: the ioctl, the host or the driver failed, the CDB was
// rejected, nothing tells what the device answered, or a command the device did not fail moved
// fewer data bytes than asked (a good status alone would pass an empty buffer off as data).
SgOutcome ClassifyCompletion(const SgCompletion& completion);

// Writes the registers into the request's output fields (error into features, status into
// command).
void StoreReturn(const AtaReturn& registers, ata::AtaPassThroughRequest& request);

}  // namespace vellumin::platform::linux_backend
