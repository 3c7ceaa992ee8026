#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "platform/DriveConnection.h"

// How a block device is attached, read from where sysfs places it: under a libata port
// (ataN), a USB device, a SAS port or end device, a RAID controller's SCSI host, virtio...
namespace vellumin::platform::linux_backend {

// `devicePath`: the block device's sysfs directory relative to /sys ("devices/pci0000:00/
// 0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda"); `hostDriver`: the proc_name of the
// SCSI host on that path, empty when there is none. A bridge or controller anywhere on the path
// wins over the port behind it.
DriveConnection ClassifyConnection(std::string_view devicePath, std::string_view hostDriver);

// The connection of block device `name` (sda, nvme0n1, dm-0) under `sysRoot`; Unknown when
// the device is not there.
DriveConnection BlockDeviceConnection(const std::filesystem::path& sysRoot, const std::string& name);

}  // namespace vellumin::platform::linux_backend
