#include "platform/PassThroughResult.h"

#include <cerrno>

#include "platform/HostIo.h"
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vellumin::platform {

const char* StageText(TransportStage stage) {
    static constexpr const char* kTexts[] = {
        "drive cannot be opened",
        "request cannot be sent",
        "pass-through call failed",
        "host adapter error",
        "driver error",
        "SCSI status not good",
        "check condition without ATA registers",
        "short data transfer",
        "refused by the lab's transport",
        "withheld: only reads are sent under Wine",
    };
    const auto index = static_cast<std::size_t>(stage);
    return index < std::size(kTexts) ? kTexts[index] : "unknown";
}

OpenError OpenErrorOf(const TransportFailure& failure) {
    switch (failure.osError) {
        case 0:
        case ENOENT:
        case ENXIO:
        case ENODEV:
            return OpenError::Missing;
        case EBUSY:
            return OpenError::Busy;
        case EACCES:
        case EPERM:
            return OpenError::NoRights;
        default:
            return OpenError::Other;
    }
}

namespace {

// By OpenError: the JSON name and the words for a user.
constexpr const char* kOpenErrorWords[][2] = {
    {"missing", "no such disk"},
    {"busy", "held open by another program"},
    {"noRights", "no rights to open it"},
    {"other", "the system refused the open"},
};

const char* OpenErrorText(OpenError error) {
    return kOpenErrorWords[static_cast<std::size_t>(error)][1];
}

// "held open by another program (errno 16: Device or resource busy)"
std::string OpenReason(const TransportFailure& f) {
    std::string text = OpenErrorText(OpenErrorOf(f));
    return f.osError != 0 ? text + " (" + SystemErrorText(f.osError) + ")" : text;
}

}  // namespace

const char* OpenErrorName(OpenError error) {
    return kOpenErrorWords[static_cast<std::size_t>(error)][0];
}

std::string Describe(const TransportFailure& f) {
    char detail[160] = "";
    switch (f.stage) {
        case TransportStage::Open:
            return std::string(StageText(f.stage)) + ": " + OpenReason(f);
        case TransportStage::Request:
        case TransportStage::Refused:
        case TransportStage::Withheld:
            break;
        case TransportStage::SystemCall:
            std::snprintf(detail, sizeof detail, " (%s)", SystemErrorText(f.osError).c_str());
            break;
        case TransportStage::Host:
            std::snprintf(detail, sizeof detail, " (host status 0x%04X)", f.hostStatus);
            break;
        case TransportStage::Driver:
            std::snprintf(detail, sizeof detail, " (driver status 0x%04X)", f.driverStatus);
            break;
        case TransportStage::ScsiStatus:
            std::snprintf(detail, sizeof detail, " (status 0x%02X)", f.scsiStatus);
            break;
        case TransportStage::Sense:
            std::snprintf(detail, sizeof detail, " (sense key 0x%X, ASC 0x%02X, ASCQ 0x%02X)",
                          f.senseKey, f.asc, f.ascq);
            break;
        case TransportStage::ShortTransfer:
            std::snprintf(detail, sizeof detail, " (%u bytes missing)", f.residual);
            break;
    }
    return std::string(StageText(f.stage)) + detail;
}

std::string NotDeliveredSentence(int drive, std::string_view command, const TransportFailure& failure) {
    std::string text = "Physical drive " + std::to_string(drive);
    // The open's own reason already says the drive cannot be opened.
    if (failure.stage == TransportStage::Open) {
        return text + " cannot be opened: " + OpenReason(failure);
    }
    text += ": ";
    text += command;
    return text + ": " + Describe(failure);
}

}  // namespace vellumin::platform
