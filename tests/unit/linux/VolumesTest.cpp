#include <gtest/gtest.h>

#include "platform/linux/LinuxPlatform.h"
#include "platform/linux/Volumes.h"

namespace vellumin::platform::linux_backend {
namespace {

const std::string kMachine = std::string(VELLUMIN_FIXTURES) + "/linux/machine";

TEST(MountInfo, ParsesFieldsAroundOptionalTags) {
    auto mounts = ParseMountInfo(
        "36 35 98:0 /mnt1 /mnt/a\\040b rw,noatime master:1 shared:7 - ext3 /dev/root rw\n"
        "broken line\n"
        "37 35 x:1 / /bad rw - ext4 /dev/sdz rw\n"
        "38 35 0:5 / /dev rw - devtmpfs udev rw");
    ASSERT_EQ(mounts.size(), 2u);
    EXPECT_EQ(mounts[0].major, 98u);
    EXPECT_EQ(mounts[0].minor, 0u);
    EXPECT_EQ(mounts[0].mountPoint, "/mnt/a b");
    EXPECT_EQ(mounts[0].fsType, "ext3");
    EXPECT_EQ(mounts[0].source, "/dev/root");
    EXPECT_EQ(mounts[1].mountPoint, "/dev");
    EXPECT_EQ(mounts[1].fsType, "devtmpfs");
}

TEST(MountInfo, DecodesOctalEscapesOnly) {
    EXPECT_EQ(DecodeMountEscapes("/a\\040b\\011c\\012d\\134e"), "/a b\tc\nd\\e");
    EXPECT_EQ(DecodeMountEscapes("/x\\08"), "/x\\08");
    EXPECT_EQ(DecodeMountEscapes("/x\\04"), "/x\\04");
    EXPECT_EQ(DecodeMountEscapes("/x\\"), "/x\\");
}

TEST(DiskNames, OnlySdaToSdpAreDrives) {
    EXPECT_EQ(DriveNumberOfDiskName("sda"), 0);
    EXPECT_EQ(DriveNumberOfDiskName("sdp"), 15);
    for (const char* name : {"sdq", "sdaa", "sd", "hda", "vda", "nvme0n1", "sdA", "dm-0"}) {
        EXPECT_EQ(DriveNumberOfDiskName(name), -1) << name;
    }
}

TEST(VolumeTable, ListsMountsWithBlockDevicesInOrder) {
    VolumeTable table(kMachine + "/proc", kMachine + "/sys");
    std::vector<std::string> expected{"/",           "/mnt/my data", "/home",          "/srv",
                                      "/nvme",       "/media/usb\\stick", "/data",    "/big",
                                      "/far",        "/var/lib/bind", "/secret",      "/loop"};
    EXPECT_EQ(table.Names(), expected);
}

TEST(VolumeTable, MapsVolumesToWholeDisks) {
    VolumeTable table(kMachine + "/proc", kMachine + "/sys");
    struct Case {
        const char* volume;
        int disk;
    } cases[] = {
        {"/", 0},               // partition -> its disk
        {"/mnt/my data", 0},    // escaped mount point
        {"/var/lib/bind", 0},   // bind mount
        {"/home", 1},           // device mapper over one partition
        {"/secret", 1},         // dm over dm over a partition
        {"/srv", -1},           // md over two disks
        {"/nvme", -1},          // not an sd disk
        {"/far", -1},           // sdq lies beyond the sixteen drives
        {"/data", 5},           // btrfs: anonymous device, found through its source
        {"/big", 4},            // the later mount covers the earlier one
        {"/loop", -1},          // a slaves loop ends instead of recursing forever
        {"/broken", -1},        // no sysfs entry
        {"/proc", -1},
        {"/no/such/volume", -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.DiskNumber(c.volume), c.disk) << c.volume;
    }
}

TEST(VolumeTable, RemovableComesFromTheDisk) {
    VolumeTable table(kMachine + "/proc", kMachine + "/sys");
    EXPECT_TRUE(table.IsRemovable("/media/usb\\stick"));
    EXPECT_TRUE(table.IsRemovable("/big"));
    EXPECT_FALSE(table.IsRemovable("/"));
    EXPECT_FALSE(table.IsRemovable("/home"));
    EXPECT_FALSE(table.IsRemovable("/proc"));
    EXPECT_FALSE(table.IsRemovable("/no/such/volume"));
}

TEST(VolumeTable, MissingTreesGiveNothing) {
    VolumeTable table("/nonexistent/proc", "/nonexistent/sys");
    EXPECT_TRUE(table.Names().empty());
    EXPECT_EQ(table.DiskNumber("/"), -1);
}

TEST(LinuxPlatform, DriveSystemReadsTheGivenRoots) {
    auto platform = CreateLinuxPlatform({"/nonexistent", kMachine + "/proc", kMachine + "/sys"});
    EXPECT_EQ(platform->Drives().VolumeNames().size(), 12u);
    EXPECT_EQ(platform->Drives().VolumeDiskNumber("/home"), 1);
    EXPECT_TRUE(platform->Drives().IsRemovableVolume("/media/usb\\stick"));
}

}  // namespace
}  // namespace vellumin::platform::linux_backend
