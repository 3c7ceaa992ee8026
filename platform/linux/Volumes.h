#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// Mounted file systems and the whole disks under them, read from /proc and /sys. The roots are
// parameters so that fixture trees can stand in for the live ones.
namespace vellumin::platform::linux_backend {

struct MountEntry {
    unsigned major = 0;
    unsigned minor = 0;
    std::string mountPoint;  // escapes decoded
    std::string fsType;
    std::string source;  // escapes decoded
};

// Lines that do not have the mountinfo shape are skipped.
std::vector<MountEntry> ParseMountInfo(std::string_view text);

// The kernel writes blank, tab, new line and backslash in paths as \ooo.
std::string DecodeMountEscapes(std::string_view text);

// "sda".."sdp" -> 0..15; every other name -1.
int DriveNumberOfDiskName(std::string_view name);

class VolumeTable {
public:
    VolumeTable(std::filesystem::path procRoot, std::filesystem::path sysRoot);

    // Mount points backed by a block device, in mountinfo order, each once.
    std::vector<std::string> Names() const;
    bool IsRemovable(const std::string& name) const;
    // Drive number of the one sd disk under the volume, or -1.
    int DiskNumber(const std::string& name) const;
    // The drives holding the running system: the file systems at /, /usr, /boot and /boot/efi
    // and the active swap areas. -1 for one that cannot be traced to a single disk (several
    // disks, an unknown device); nothing for one in memory or on a disk outside sda-sdp.
    std::vector<int> SystemDiskNumbers() const;

private:
    std::vector<MountEntry> ReadMounts() const;
    // The sysfs directory of the mount's block device; empty when it has none.
    std::filesystem::path DeviceDirectory(const MountEntry& mount) const;
    std::vector<std::filesystem::path> DisksOf(const std::string& name) const;
    // SystemDiskNumbers of one block device's sysfs directory (empty path: unknown).
    void AddSystemDisk(const std::filesystem::path& device, std::vector<int>& disks) const;

    std::filesystem::path m_procRoot;
    std::filesystem::path m_sysRoot;
};

}  // namespace vellumin::platform::linux_backend
