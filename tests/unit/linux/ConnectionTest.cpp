#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/linux/Connection.h"
#include "platform/linux/LinuxPlatform.h"

namespace vellumin::platform::linux_backend {
namespace {

namespace fs = std::filesystem;
using C = DriveConnection;

const std::string kMachine = std::string(VELLUMIN_FIXTURES) + "/linux/machine";

// Paths as kernels lay them out, relative to /sys.
TEST(Connection, WhatStandsBetweenTheHostAndTheDrive) {
    struct Case {
        const char* path;
        const char* driver;
        C connection;
    } cases[] = {
        {"devices/pci0000:00/0000:00:17.0/ata1/host0/target0:0:0/0:0:0:0/block/sda", "ahci",
         C::SataPort},
        {"devices/pci0000:00/0000:00:14.0/usb2/2-1/2-1:1.0/host6/target6:0:0/6:0:0:0/block/sdb",
         "uas", C::Usb},
        {"devices/pci0000:00/0000:00:14.0/usb1/1-4/1-4:1.0/host7/target7:0:0/7:0:0:0/block/sdc",
         "usb-storage", C::Usb},
        // A SATA drive behind a SAS HBA: the SAS end device decides.
        {"devices/pci0000:00/0000:00:01.0/0000:01:00.0/host0/port-0:0/end_device-0:0/"
         "target0:0:0/0:0:0:0/block/sdd",
         "mpt3sas", C::Sas},
        {"devices/pci0000:00/0000:00:01.0/0000:01:00.0/host0/port-0:1/expander-0:0/port-0:0:1/"
         "end_device-0:0:1/target0:0:1/0:0:1:0/block/sde",
         "", C::Sas},
        // Disks of a RAID controller look like any SCSI disk but for the host's driver.
        {"devices/pci0000:00/0000:00:02.0/0000:02:00.0/host0/target0:2:0/0:2:0:0/block/sdf",
         "megaraid_sas", C::Raid},
        {"devices/pci0000:00/0000:00:02.0/0000:02:00.0/host1/target1:0:0/1:0:0:0/block/sdg",
         "smartpqi", C::Raid},
        {"devices/pci0000:00/0000:00:03.0/virtio0/host2/target2:0:0/2:0:0:0/block/sdh",
         "virtio_scsi", C::Virtual},
        {"devices/LNXSYSTM:00/LNXSYBUS:00/ACPI0004:00/VMBUS:00/f8b3781b-1e82/host3/"
         "target3:0:0/3:0:0:0/block/sdi",
         "storvsc", C::Virtual},
        {"devices/virtual/block/dm-0", "", C::Virtual},
        {"devices/pci0000:00/0000:00:1d.0/0000:3d:00.0/nvme/nvme0/nvme0n1", "", C::Nvme},
        {"devices/platform/host8/session1/target8:0:0/8:0:0:0/block/sdj", "iscsi_tcp",
         C::Unknown},
        {"", "", C::Unknown},
        // Names that only look like the markers.
        {"devices/pci0000:00/data1/usbx/host0/target0:0:0/0:0:0:0/block/sdk", "", C::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyConnection(c.path, c.driver), c.connection) << c.path;
    }
}

TEST(Connection, EveryDeviceOfTheMachineFixture) {
    struct Case {
        const char* name;
        C connection;
    } cases[] = {
        {"sda", C::SataPort}, {"sdb", C::SataPort}, {"sdc", C::SataPort}, {"sdd", C::SataPort},
        {"sde", C::Usb},      {"sdf", C::SataPort}, {"sdi", C::SataPort}, {"sdq", C::SataPort},
        {"nvme0n1", C::Nvme}, {"dm-0", C::Virtual}, {"md0", C::Virtual},  {"sdg", C::Unknown},
        {"..", C::Unknown},   {"", C::Unknown},     {"sda/..", C::Unknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BlockDeviceConnection(kMachine + "/sys", c.name), c.connection) << c.name;
    }
    EXPECT_EQ(BlockDeviceConnection("/nonexistent/sys", "sda"), C::Unknown);

    // Drive numbers are sda-sdp: sde is the USB disk, sdg and sdh are not there.
    auto platform = CreateLinuxPlatform({"/nonexistent", kMachine + "/proc", kMachine + "/sys"});
    std::vector<C> drives;
    for (int n = 0; n < 10; ++n) {
        drives.push_back(platform->Drives().Connection(n));
    }
    EXPECT_EQ(drives, (std::vector<C>{C::SataPort, C::SataPort, C::SataPort, C::SataPort, C::Usb,
                                      C::SataPort, C::Unknown, C::Unknown, C::SataPort,
                                      C::Unknown}));
    EXPECT_EQ(platform->Drives().Connection(16), C::Unknown);
}

// The driver of the SCSI host comes from its proc_name, where the kernel puts it.
TEST(Connection, ReadsTheHostDriver) {
    const fs::path sys = fs::temp_directory_path() / "vellumin-connection-sys";
    fs::remove_all(sys);
    const fs::path host = sys / "devices/pci0000:00/0000:00:02.0/0000:02:00.0/host0";
    fs::create_directories(host / "scsi_host/host0");
    fs::create_directories(host / "target0:2:0/0:2:0:0/block/sda");
    fs::create_directories(sys / "block");
    fs::create_symlink("../devices/pci0000:00/0000:00:02.0/0000:02:00.0/host0/target0:2:0/0:2:0:0/block/sda",
                       sys / "block/sda");
    std::ofstream(host / "scsi_host/host0/proc_name") << "megaraid_sas\n";
    EXPECT_EQ(BlockDeviceConnection(sys, "sda"), C::Raid);
    std::ofstream(host / "scsi_host/host0/proc_name") << "ahci\n";
    EXPECT_EQ(BlockDeviceConnection(sys, "sda"), C::Unknown) << "no ata port on the path";
    fs::remove_all(sys);
}

}  // namespace
}  // namespace vellumin::platform::linux_backend
