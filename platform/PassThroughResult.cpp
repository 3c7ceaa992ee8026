#include "platform/PassThroughResult.h"

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

std::string Describe(const TransportFailure& f) {
    char detail[128] = "";
    switch (f.stage) {
        case TransportStage::Open:
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

}  // namespace vellumin::platform
