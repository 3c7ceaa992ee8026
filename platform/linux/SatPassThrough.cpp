#include "platform/linux/SatPassThrough.h"

#include <algorithm>

namespace vellumin::platform::linux_backend {
namespace {

constexpr uint8_t kScsiGood = 0x00;
constexpr uint8_t kScsiCheckCondition = 0x02;
constexpr uint16_t kDriverSense = 0x08;  // SG_ERR_DRIVER_SENSE: sense data came back, not a fault
constexpr uint8_t kAtaStatusReturnDescriptor = 0x09;

std::optional<AtaReturn> FromStatusReturnDescriptor(std::span<const uint8_t> sense) {
    if (sense.size() < 8) {
        return std::nullopt;
    }
    size_t end = std::min(sense.size(), size_t{8} + sense[7]);
    for (size_t at = 8; at + 2 <= end; at += size_t{2} + sense[at + 1]) {
        const uint8_t* d = sense.data() + at;
        if (d[0] != kAtaStatusReturnDescriptor || d[1] < 12 || at + 14 > end) {
            continue;
        }
        AtaReturn r;
        r.extend = d[2] & 0x01;
        r.error = d[3];
        r.countHigh = d[4];
        r.count = d[5];
        r.lbaLowHigh = d[6];
        r.lbaLow = d[7];
        r.lbaMidHigh = d[8];
        r.lbaMid = d[9];
        r.lbaHighHigh = d[10];
        r.lbaHigh = d[11];
        r.device = d[12];
        r.status = d[13];
        return r;
    }
    return std::nullopt;
}

// SAT puts error, status, device and count in the information field (bytes 3-6) and the LBA in
// the command-specific field (bytes 9-11). Older libata wrote the same registers from byte 8
// on (LBA at 17-19) and left the information field zero. A finished ATA command always shows
// some status bit (at least ready), so a zero status byte means "not in this place".
std::optional<AtaReturn> FromFixedSense(std::span<const uint8_t> sense) {
    auto at = [&](size_t i) -> uint8_t { return i < sense.size() ? sense[i] : 0; };
    AtaReturn r;
    if (at(4) != 0) {
        r.error = at(3);
        r.status = at(4);
        r.device = at(5);
        r.count = at(6);
        r.lbaLow = at(9);
        r.lbaMid = at(10);
        r.lbaHigh = at(11);
        return r;
    }
    if (at(3) == 0 && at(5) == 0 && at(6) == 0 && at(9) != 0) {
        r.error = at(8);
        r.status = at(9);
        // An 18-byte buffer cuts those kernels' LBA bytes off: then only error and status
        // are reported, rather than registers made up of zeros.
        if (sense.size() < 20) {
            r.statusOnly = true;
            return r;
        }
        r.device = at(10);
        r.count = at(11);
        r.lbaLow = at(17);
        r.lbaMid = at(18);
        r.lbaHigh = at(19);
        return r;
    }
    return std::nullopt;
}

}  // namespace

std::optional<DataDirection> DirectionOf(const ata::AtaPassThroughRequest& request) {
    bool in = request.dataIn();
    bool out = request.dataOut();
    bool data = request.dataLength > 0 && request.dataBuffer != nullptr;
    if (in && out) {
        return std::nullopt;
    }
    if (!in && !out) {
        return request.dataLength == 0 ? std::optional{DataDirection::None} : std::nullopt;
    }
    if (!data) {
        return std::nullopt;
    }
    return in ? DataDirection::In : DataDirection::Out;
}

SatProtocol ProtocolOf(const ata::AtaPassThroughRequest& request, DataDirection direction) {
    if (direction == DataDirection::None) {
        return SatProtocol::NonData;
    }
    if (request.dma()) {
        return SatProtocol::Dma;
    }
    return direction == DataDirection::In ? SatProtocol::PioDataIn : SatProtocol::PioDataOut;
}

bool WantsCheckCondition(DataDirection direction) { return direction != DataDirection::In; }

Cdb16 BuildCdb(const ata::AtaPassThroughRequest& request, DataDirection direction) {
    const ata::AtaTaskFile& cur = request.currentTaskFile;
    const ata::AtaTaskFile& prev = request.previousTaskFile;
    bool ext = request.ext();
    Cdb16 cdb{};
    cdb[0] = kAtaPassThrough16;
    cdb[1] = static_cast<uint8_t>(static_cast<uint8_t>(ProtocolOf(request, direction)) << 1 |
                                  (ext ? 0x01 : 0x00));
    uint8_t flags = WantsCheckCondition(direction) ? 0x20 : 0x00;  // ck_cond
    if (direction != DataDirection::None) {
        // Length in the sector count field, counted in 512-byte blocks.
        flags |= 0x04 | 0x02;  // byt_blok, t_length = 2
        if (direction == DataDirection::In) {
            flags |= 0x08;  // t_dir: from the device
        }
    }
    cdb[2] = flags;
    cdb[3] = ext ? prev.features : 0;
    cdb[4] = cur.features;
    cdb[5] = ext ? prev.sectorCount : 0;
    cdb[6] = cur.sectorCount;
    cdb[7] = ext ? prev.lbaLow : 0;
    cdb[8] = cur.lbaLow;
    cdb[9] = ext ? prev.lbaMid : 0;
    cdb[10] = cur.lbaMid;
    cdb[11] = ext ? prev.lbaHigh : 0;
    cdb[12] = cur.lbaHigh;
    cdb[13] = cur.device;
    cdb[14] = cur.command;
    return cdb;
}

std::optional<SenseSummary> SummariseSense(std::span<const uint8_t> sense) {
    if (sense.empty()) {
        return std::nullopt;
    }
    SenseSummary s;
    s.responseCode = sense[0] & 0x7F;
    if (s.responseCode == 0x70 || s.responseCode == 0x71) {
        if (sense.size() < 3) {
            return std::nullopt;
        }
        s.key = sense[2] & 0x0F;
        s.asc = sense.size() > 12 ? sense[12] : 0;
        s.ascq = sense.size() > 13 ? sense[13] : 0;
        return s;
    }
    if (s.responseCode == 0x72 || s.responseCode == 0x73) {
        if (sense.size() < 2) {
            return std::nullopt;
        }
        s.key = sense[1] & 0x0F;
        s.asc = sense.size() > 2 ? sense[2] : 0;
        s.ascq = sense.size() > 3 ? sense[3] : 0;
        return s;
    }
    return std::nullopt;
}

std::optional<AtaReturn> DecodeAtaReturn(std::span<const uint8_t> sense) {
    auto summary = SummariseSense(sense);
    if (!summary) {
        return std::nullopt;
    }
    return summary->descriptorFormat() ? FromStatusReturnDescriptor(sense) : FromFixedSense(sense);
}

SgOutcome ClassifyCompletion(const SgCompletion& c) {
    const auto summary = SummariseSense(c.sense);
    const auto fail = [&](TransportStage stage) {
        SgOutcome outcome;
        outcome.failure = {stage, c.osError, c.hostStatus, c.driverStatus, c.scsiStatus,
                           summary ? summary->key : uint8_t{0}, summary ? summary->asc : uint8_t{0},
                           summary ? summary->ascq : uint8_t{0}, c.residual};
        return outcome;
    };
    if (!c.ioctlSucceeded) {
        return fail(TransportStage::SystemCall);
    }
    if (c.hostStatus != 0) {
        return fail(TransportStage::Host);
    }
    uint16_t driver = c.driverStatus & 0x0F;
    if (driver != 0 && driver != kDriverSense) {
        return fail(TransportStage::Driver);
    }
    uint8_t status = c.scsiStatus & 0x7E;
    if (status != kScsiGood && status != kScsiCheckCondition) {
        return fail(TransportStage::ScsiStatus);
    }
    bool failedKey = summary && summary->key != 0 && summary->key != kSenseRecoveredError;
    if (auto registers = DecodeAtaReturn(c.sense)) {
        const bool deviceFailed = registers->status & (ata::kStatusErr | ata::kStatusDf);
        if (failedKey && !deviceFailed) {
            // The SAT layer gave up on a command the device did not fail (e.g. a PIO data-in
            // aborted with DRQ still set): its data is lost, so it was not delivered.
            return fail(TransportStage::Sense);
        }
        if (c.residual > 0 && !deviceFailed) {
            return fail(TransportStage::ShortTransfer);
        }
        return {registers, {}};
    }
    if (status == kScsiCheckCondition || failedKey) {
        // The SAT layer refused the CDB or failed without telling the device's answer.
        return fail(TransportStage::Sense);
    }
    if (c.residual > 0) {
        return fail(TransportStage::ShortTransfer);
    }
    AtaReturn ok;
    ok.status = ata::kStatusOk;
    ok.statusOnly = true;
    return {ok, {}};
}

void StoreReturn(const AtaReturn& r, ata::AtaPassThroughRequest& request) {
    ata::AtaTaskFile& cur = request.currentTaskFile;
    cur.features = r.error;
    cur.command = r.status;
    if (r.statusOnly) {
        return;
    }
    cur.sectorCount = r.count;
    cur.lbaLow = r.lbaLow;
    cur.lbaMid = r.lbaMid;
    cur.lbaHigh = r.lbaHigh;
    cur.device = r.device;
    if (r.extend) {
        ata::AtaTaskFile& prev = request.previousTaskFile;
        prev.sectorCount = r.countHigh;
        prev.lbaLow = r.lbaLowHigh;
        prev.lbaMid = r.lbaMidHigh;
        prev.lbaHigh = r.lbaHighHigh;
    }
}

}  // namespace vellumin::platform::linux_backend
