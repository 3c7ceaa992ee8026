// The volume table over a /proc and /sys tree made from the input, one entry a line:
//   M <mountinfo line> | S <swaps line> | D <dir> | F <file> <text> | L <link> <target>
// Paths are relative to the tree's root; none may leave it (the table only reads).
#include <unistd.h>

#include <fstream>

#include "platform/linux/Volumes.h"

namespace fs = std::filesystem;

namespace vellumin::platform::linux_backend {

namespace {
bool Inside(const fs::path& path) {
    const fs::path normal = path.lexically_normal();
    return !path.empty() && path.is_relative() && !normal.empty() && *normal.begin() != "..";
}
// One folder per process (memory-backed when it can be), gone when the fuzzer exits.
struct TempDir {
    fs::path path;
    TempDir() {
        std::string name =
            (fs::exists("/dev/shm") ? "/dev/shm" : "/tmp") + std::string("/vellumin-fuzz-XXXXXX");
        path = mkdtemp(name.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};
}  // namespace

}  // namespace vellumin::platform::linux_backend

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::platform::linux_backend;
    static const TempDir dir;
    const fs::path& root = dir.path;
    std::error_code ec;
    fs::remove_all(root / "t", ec);
    fs::create_directories(root / "t/proc/self", ec);
    fs::create_directories(root / "t/sys", ec);
    std::ofstream mountinfo(root / "t/proc/self/mountinfo"), swaps(root / "t/proc/swaps");
    std::string_view input(reinterpret_cast<const char*>(data), size);
    while (!input.empty()) {
        const size_t end = std::min(input.find('\n'), input.size());
        std::string_view line = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        if (line.size() < 2 || line[1] != ' ') {
            continue;
        }
        const char kind = line[0];
        line.remove_prefix(2);
        const size_t blank = std::min(line.find(' '), line.size());
        const fs::path path(line.substr(0, blank));
        const std::string rest(line.substr(std::min(blank + 1, line.size())));
        if (kind == 'M' || kind == 'S') {
            (kind == 'M' ? mountinfo : swaps) << line << '\n';
        } else if (Inside(path) && kind == 'D') {
            fs::create_directories(root / "t" / path, ec);
        } else if (Inside(path) && kind == 'F') {
            std::ofstream(root / "t" / path) << rest;
        } else if (Inside(path) && kind == 'L' && Inside(path.parent_path() / rest)) {
            fs::create_directories(root / "t" / path.parent_path(), ec);
            fs::create_directory_symlink(rest, root / "t" / path, ec);
        }
    }
    mountinfo.close();
    swaps.close();
    vellumin::platform::linux_backend::VolumeTable table(root / "t/proc", root / "t/sys");
    for (const auto& name : table.Names()) {
        (void)table.IsRemovable(name);
        (void)table.DiskNumber(name);
    }
    (void)table.SystemDiskNumbers();
    return 0;
}
