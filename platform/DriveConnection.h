#pragma once

#include <optional>
#include <string_view>

namespace vellumin::platform {

// How a drive is attached to the machine. The ATA security commands reach a drive as they were
// sent only on a SATA port: USB bridges, SAS and RAID controllers in between may pass SECURITY
// SET PASSWORD and then reset the drive or drop the long ERASE UNIT, leaving it locked behind
// a bridge that will not pass UNLOCK.
enum class DriveConnection { Unknown, SataPort, Usb, Sas, Raid, Nvme, Virtual };

// "sata", "usb", "sas", "raid", "nvme", "virtual", "unknown": lab files and JSON output.
const char* ConnectionKey(DriveConnection connection);
std::optional<DriveConnection> ConnectionFromKey(std::string_view key);

}  // namespace vellumin::platform
