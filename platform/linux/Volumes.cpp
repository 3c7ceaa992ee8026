#include "platform/linux/Volumes.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <system_error>

namespace vellumin::platform::linux_backend {
namespace fs = std::filesystem;
namespace {

// Deeper stacks than this are a loop in the tree, not a real device stack.
constexpr int kMaxStackDepth = 16;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t at = 0;
    while (at < line.size()) {
        size_t end = line.find(' ', at);
        if (end == std::string_view::npos) {
            end = line.size();
        }
        if (end > at) {
            fields.push_back(line.substr(at, end - at));
        }
        at = end + 1;
    }
    return fields;
}

bool ParseDeviceNumber(std::string_view text, unsigned& major, unsigned& minor) {
    size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon + 1 == text.size()) {
        return false;
    }
    auto number = [](std::string_view digits, unsigned& value) {
        value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9' || value > 0xFFFFFFF) {
                return false;
            }
            value = value * 10 + static_cast<unsigned>(c - '0');
        }
        return true;
    };
    return number(text.substr(0, colon), major) && number(text.substr(colon + 1), minor);
}

void CollectWholeDisks(const fs::path& device, int depth, std::vector<fs::path>& disks,
                       bool& complete) {
    std::error_code ec;
    fs::path dir = fs::canonical(device, ec);
    if (ec || depth > kMaxStackDepth) {
        complete = false;
        return;
    }
    if (fs::exists(dir / "partition", ec)) {
        dir = dir.parent_path();
    }
    std::vector<fs::path> slaves;
    for (fs::directory_iterator it(dir / "slaves", ec), end; !ec && it != end; it.increment(ec)) {
        slaves.push_back(it->path());
    }
    if (slaves.empty()) {
        if (std::find(disks.begin(), disks.end(), dir) == disks.end()) {
            disks.push_back(dir);
        }
        return;
    }
    std::sort(slaves.begin(), slaves.end());
    for (const auto& slave : slaves) {
        CollectWholeDisks(slave, depth + 1, disks, complete);
    }
}

// The whole-disk sysfs directories a block device lies on: a partition gives its disk, a
// device-mapper or md device the disks under its slaves (recursively). Empty when the stack
// cannot be followed to its end.
std::vector<fs::path> WholeDisksUnder(const fs::path& device) {
    std::vector<fs::path> disks;
    bool complete = true;
    CollectWholeDisks(device, 0, disks, complete);
    if (!complete) {
        disks.clear();
    }
    return disks;
}

}  // namespace

std::string DecodeMountEscapes(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && octal(text[i + 1]) && octal(text[i + 2]) &&
            octal(text[i + 3])) {
            int value = (text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0');
            if (value <= 0xFF) {
                out.push_back(static_cast<char>(value));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        auto fields = SplitFields(text.substr(at, end - at));
        at = end + 1;
        // id parent major:minor root mount-point options [optional...] - type source super
        auto separator = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 6 || separator < fields.begin() + 6 ||
            fields.end() - separator < 3) {
            continue;
        }
        MountEntry mount;
        if (!ParseDeviceNumber(fields[2], mount.major, mount.minor)) {
            continue;
        }
        mount.mountPoint = DecodeMountEscapes(fields[4]);
        mount.fsType = std::string(separator[1]);
        mount.source = DecodeMountEscapes(separator[2]);
        mounts.push_back(std::move(mount));
    }
    return mounts;
}

int DriveNumberOfDiskName(std::string_view name) {
    if (name.size() != 3 || name.substr(0, 2) != "sd" || name[2] < 'a' || name[2] > 'p') {
        return -1;
    }
    return name[2] - 'a';
}

VolumeTable::VolumeTable(fs::path procRoot, fs::path sysRoot)
    : m_procRoot(std::move(procRoot)), m_sysRoot(std::move(sysRoot)) {}

std::vector<MountEntry> VolumeTable::ReadMounts() const {
    return ParseMountInfo(ReadFile(m_procRoot / "self" / "mountinfo"));
}

fs::path VolumeTable::DeviceDirectory(const MountEntry& mount) const {
    std::error_code ec;
    if (mount.major != 0) {
        fs::path dir = m_sysRoot / "dev" / "block" /
                       (std::to_string(mount.major) + ":" + std::to_string(mount.minor));
        return fs::exists(dir, ec) ? dir : fs::path{};
    }
    // File systems such as btrfs show an anonymous device number; their source names the
    // block device.
    if (mount.source.rfind("/dev/", 0) != 0) {
        return {};
    }
    fs::path name = fs::path(mount.source).filename();
    if (name.empty() || name == "." || name == "..") {
        return {};
    }
    fs::path dir = m_sysRoot / "class" / "block" / name;
    return fs::exists(dir, ec) ? dir : fs::path{};
}

std::vector<std::string> VolumeTable::Names() const {
    std::vector<std::string> names;
    for (const auto& mount : ReadMounts()) {
        if (DeviceDirectory(mount).empty()) {
            continue;
        }
        if (std::find(names.begin(), names.end(), mount.mountPoint) == names.end()) {
            names.push_back(mount.mountPoint);
        }
    }
    return names;
}

std::vector<fs::path> VolumeTable::DisksOf(const std::string& name) const {
    auto mounts = ReadMounts();
    // A later mount on the same point covers the earlier ones.
    auto found = std::find_if(mounts.rbegin(), mounts.rend(),
                              [&](const MountEntry& m) { return m.mountPoint == name; });
    if (found == mounts.rend()) {
        return {};
    }
    fs::path device = DeviceDirectory(*found);
    return device.empty() ? std::vector<fs::path>{} : WholeDisksUnder(device);
}

bool VolumeTable::IsRemovable(const std::string& name) const {
    for (const auto& disk : DisksOf(name)) {
        std::string flag = ReadFile(disk / "removable");
        if (!flag.empty() && flag[0] == '1') {
            return true;
        }
    }
    return false;
}

int VolumeTable::DiskNumber(const std::string& name) const {
    auto disks = DisksOf(name);
    if (disks.size() != 1) {
        return -1;
    }
    return DriveNumberOfDiskName(disks.front().filename().string());
}

void VolumeTable::AddSystemDisk(const fs::path& device, std::vector<int>& disks) const {
    const auto under = device.empty() ? std::vector<fs::path>{} : WholeDisksUnder(device);
    if (under.size() != 1) {
        disks.push_back(-1);
        return;
    }
    // A disk the program never numbers (NVMe, virtio, sdq...) cannot be the one erased.
    if (int number = DriveNumberOfDiskName(under.front().filename().string()); number >= 0) {
        disks.push_back(number);
    }
}

std::vector<int> VolumeTable::SystemDiskNumbers() const {
    const auto mounts = ReadMounts();
    // The mount that holds `path`: the longest mount point it lies under, the latest of equals.
    auto holder = [&](const std::string& path) -> const MountEntry* {
        const MountEntry* best = nullptr;
        for (const auto& m : mounts) {
            const bool under = path == m.mountPoint || m.mountPoint == "/" ||
                               (path.rfind(m.mountPoint + "/", 0) == 0);
            if (under && (!best || m.mountPoint.size() >= best->mountPoint.size())) {
                best = &m;
            }
        }
        return best;
    };
    std::vector<int> disks;
    auto addMount = [&](const MountEntry* mount) {
        if (!mount) {
            disks.push_back(-1);
            return;
        }
        fs::path device = DeviceDirectory(*mount);
        // A system running from memory (initramfs, live image) holds no disk.
        static const char* const kInMemory[] = {"rootfs", "tmpfs", "ramfs"};
        if (device.empty() && std::find(std::begin(kInMemory), std::end(kInMemory), mount->fsType) !=
                                  std::end(kInMemory)) {
            return;
        }
        AddSystemDisk(device, disks);
    };
    for (const char* point : {"/", "/usr", "/boot", "/boot/efi"}) {
        const MountEntry* mount = holder(point);
        // /usr and /boot are often plain folders of the root file system.
        if (std::string_view(point) == "/" || (mount && mount->mountPoint == point)) {
            addMount(mount);
        }
    }
    // /proc/swaps: a header, then "name type size used priority" per active area.
    std::istringstream swaps(ReadFile(m_procRoot / "swaps"));
    std::string line;
    std::getline(swaps, line);
    while (std::getline(swaps, line)) {
        // Blanks inside the name come escaped; the columns are separated by tabs and blanks.
        std::istringstream fields(line);
        std::string escaped, type;
        if (!(fields >> escaped >> type)) {
            continue;
        }
        const std::string name = DecodeMountEscapes(escaped);
        if (type == "partition") {
            std::error_code ec;
            fs::path dir = m_sysRoot / "class" / "block" / fs::path(name).filename();
            AddSystemDisk(fs::exists(dir, ec) ? dir : fs::path{}, disks);
        } else {
            addMount(holder(name));
        }
    }
    std::sort(disks.begin(), disks.end());
    disks.erase(std::unique(disks.begin(), disks.end()), disks.end());
    return disks;
}

}  // namespace vellumin::platform::linux_backend
