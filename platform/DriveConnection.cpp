#include "platform/DriveConnection.h"

#include <utility>

namespace vellumin::platform {
namespace {

constexpr std::pair<DriveConnection, const char*> kKeys[] = {
    {DriveConnection::Unknown, "unknown"}, {DriveConnection::SataPort, "sata"},
    {DriveConnection::Usb, "usb"},         {DriveConnection::Sas, "sas"},
    {DriveConnection::Raid, "raid"},       {DriveConnection::Nvme, "nvme"},
    {DriveConnection::Virtual, "virtual"},
};

}  // namespace

const char* ConnectionKey(DriveConnection connection) {
    for (const auto& [value, key] : kKeys) {
        if (value == connection) {
            return key;
        }
    }
    return "unknown";
}

std::optional<DriveConnection> ConnectionFromKey(std::string_view key) {
    for (const auto& [value, name] : kKeys) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace vellumin::platform
