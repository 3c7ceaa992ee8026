#include "platform/linux/Connection.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>
#include <vector>

namespace vellumin::platform::linux_backend {
namespace fs = std::filesystem;
namespace {

// SCSI host drivers by what stands between the host and the drive.
constexpr std::string_view kUsbDrivers[] = {"usb-storage", "uas"};
constexpr std::string_view kSasDrivers[] = {"mpt3sas", "mpt2sas", "mptsas", "mvsas", "pm80xx",
                                            "isci", "hisi_sas_v2_hw", "hisi_sas_v3_hw",
                                            "aic94xx", "mpi3mr"};
constexpr std::string_view kRaidDrivers[] = {"megaraid_sas", "megaraid", "aacraid",  "hpsa",
                                             "smartpqi",     "arcmsr",   "3w-9xxx",  "3w-sas",
                                             "3w-xxxx",      "cciss",    "ips",      "mptraid"};
constexpr std::string_view kVirtualDrivers[] = {"virtio_scsi", "storvsc", "vmw_pvscsi",
                                                "xen-scsifront", "hv_storvsc"};

template <size_t N>
bool In(const std::string_view (&list)[N], std::string_view name) {
    return std::find(std::begin(list), std::end(list), name) != std::end(list);
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "ata3", "usb1", "host0": the prefix followed by a number.
bool Numbered(std::string_view component, std::string_view prefix) {
    return component.starts_with(prefix) && AllDigits(component.substr(prefix.size()));
}

std::string FirstLine(const fs::path& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) {
        line.pop_back();
    }
    return line;
}

}  // namespace

DriveConnection ClassifyConnection(std::string_view devicePath, std::string_view hostDriver) {
    std::vector<std::string> parts;
    for (const auto& part : fs::path(devicePath).relative_path()) {
        parts.push_back(part.string());
    }
    auto any = [&](auto test) { return std::any_of(parts.begin(), parts.end(), test); };
    if (In(kUsbDrivers, hostDriver) || any([](std::string_view c) { return Numbered(c, "usb"); })) {
        return DriveConnection::Usb;
    }
    const bool sasPath = any([](std::string_view c) {
        return c.starts_with("end_device-") || c.starts_with("expander-") ||
               (c.starts_with("port-") && c.find(':') != std::string_view::npos);
    });
    if (In(kSasDrivers, hostDriver) || sasPath) {
        return DriveConnection::Sas;
    }
    if (In(kRaidDrivers, hostDriver)) {
        return DriveConnection::Raid;
    }
    if (any([](std::string_view c) { return Numbered(c, "ata"); })) {
        return DriveConnection::SataPort;
    }
    if (any([](std::string_view c) { return Numbered(c, "nvme"); })) {
        return DriveConnection::Nvme;
    }
    const bool virtualPath =
        (parts.size() >= 2 && parts[0] == "devices" && parts[1] == "virtual") ||
        any([](std::string_view c) {
            return Numbered(c, "virtio") || c.starts_with("VMBUS") || c == "vmbus" ||
                   c.starts_with("vbd-");
        });
    if (In(kVirtualDrivers, hostDriver) || virtualPath) {
        return DriveConnection::Virtual;
    }
    return DriveConnection::Unknown;
}

DriveConnection BlockDeviceConnection(const fs::path& sysRoot, const std::string& name) {
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") {
        return DriveConnection::Unknown;
    }
    std::error_code ec;
    const fs::path root = fs::canonical(sysRoot, ec);
    if (ec) {
        return DriveConnection::Unknown;
    }
    const fs::path device = fs::canonical(root / "block" / name, ec);
    if (ec) {
        return DriveConnection::Unknown;
    }
    const fs::path relative = device.lexically_relative(root);
    if (relative.empty() || *relative.begin() == "..") {
        return DriveConnection::Unknown;
    }
    // The SCSI host on the path names the driver of the adapter: a RAID controller's disks
    // look like any other SCSI disk otherwise.
    std::string driver;
    fs::path walked = root;
    for (const auto& part : relative) {
        walked /= part;
        if (Numbered(part.native(), "host")) {
            driver = FirstLine(walked / "scsi_host" / part / "proc_name");
        }
    }
    return ClassifyConnection(relative.generic_string(), driver);
}

}  // namespace vellumin::platform::linux_backend
