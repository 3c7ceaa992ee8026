#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumin::platform {

// Where a command that never reached the drive, or whose answer was lost on the way back,
// stopped. A drive that answers with its error bit is no transport failure: that command was
// delivered (and aborted).
enum class TransportStage : uint8_t {
    Open,           // the drive is not there or cannot be opened
    Request,        // the request cannot be sent as stated (direction, buffer, length)
    SystemCall,     // the pass-through call itself failed
    Host,           // the host adapter reported an error
    Driver,         // the low-level driver reported an error
    ScsiStatus,     // a SCSI status other than GOOD or CHECK CONDITION
    Sense,          // a check condition without the device's registers, or a failing sense key
    ShortTransfer,  // good status, but fewer data bytes moved than the command asked for
    Refused,        // the lab's transport refused the command
    Withheld,       // not sent: only reads reach a drive under Wine, whose drives are the host's
};

// What the transport knew when it gave up; fields it did not learn stay zero.
struct TransportFailure {
    TransportStage stage = TransportStage::Request;
    int osError = 0;            // errno of the failed call (on Windows its GetLastError code)
    uint16_t hostStatus = 0;    // SG_IO host_status
    uint16_t driverStatus = 0;  // SG_IO driver_status
    uint8_t scsiStatus = 0;
    uint8_t senseKey = 0;
    uint8_t asc = 0;
    uint8_t ascq = 0;
    uint32_t residual = 0;  // data bytes the transfer fell short by

    bool operator==(const TransportFailure&) const = default;
};

// Why a drive could not be opened, as far as the user can act on it: plug it in, close the
// program holding it, or run with the rights to open raw disks.
enum class OpenError : uint8_t { Missing, Busy, NoRights, Other };
// Read from the open's errno; no errno (a number out of range, an empty lab slot) is missing.
OpenError OpenErrorOf(const TransportFailure& failure);
// "missing", "busy", "noRights", "other": the JSON names.
const char* OpenErrorName(OpenError error);

// The stage in a few words ("host adapter error"), and the whole reason for a user:
// "host adapter error (host status 0x0007)".
const char* StageText(TransportStage stage);
std::string Describe(const TransportFailure& failure);
// The line a front end shows for a command that was not delivered:
// "Physical drive 1: READ DMA: pass-through call failed (errno 5: Input/output error)".
// A failed open reads "Physical drive 1 cannot be opened: held open by another program (errno
// 16: Device or resource busy)" whatever `command` says.
std::string NotDeliveredSentence(int drive, std::string_view command, const TransportFailure& failure);

// What one pass-through came to: delivered (the device's registers are then in the request's
// output fields, whether it completed, aborted or reported a fault) or not delivered, with the
// transport's reason.
class PassThroughResult {
public:
    PassThroughResult() = default;  // delivered
    static PassThroughResult Delivered() { return {}; }
    static PassThroughResult NotDelivered(const TransportFailure& failure) {
        PassThroughResult result;
        result.m_failure = failure;
        return result;
    }
    static PassThroughResult NotDelivered(TransportStage stage) {
        TransportFailure failure;
        failure.stage = stage;
        return NotDelivered(failure);
    }

    bool delivered() const { return !m_failure; }
    explicit operator bool() const { return delivered(); }
    // Set exactly when not delivered.
    const std::optional<TransportFailure>& failure() const { return m_failure; }

private:
    std::optional<TransportFailure> m_failure;
};

}  // namespace vellumin::platform
