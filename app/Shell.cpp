#include "app/Shell.h"

#include <sys/utsname.h>

#include <cstring>

namespace vellumin::app {
namespace {

struct HoverRow {
    int top, bottom, description;
};

// Client pixels inside the seven button bars, at 1.5 x 1.625 pixels per dialog unit.
constexpr int kHoverLeft = 543;
constexpr int kHoverRight = 789;
constexpr HoverRow kHoverRows[] = {
    {107, 138, 1044}, {145, 175, 1045}, {184, 217, 1046}, {225, 256, 1043},
    {265, 296, 1047}, {305, 333, 1048}, {342, 370, 1049},
};

}  // namespace

bool PassesOsGate(const std::optional<platform::OsVersionRecord>& version) {
    if (!version) {
        return false;
    }
    if (!version->windows) {
        return true;
    }
    return version->platformId == 2 && version->major > 4;
}

std::optional<int> HoverDescriptionAt(int x, int y) {
    if (x < kHoverLeft || x > kHoverRight) {
        return std::nullopt;
    }
    for (const auto& row : kHoverRows) {
        if (y >= row.top && y <= row.bottom) {
            return row.description;
        }
    }
    return std::nullopt;
}

CloneTool CloneToolFor(const std::string& programFolder, bool is64Bit) {
    const std::string name = is64Bit ? "Twinara64.exe" : "Twinara32.exe";
    std::string base = programFolder.empty() ? "." : programFolder;
    if (base.back() != '/') {
        base += '/';
    }
    const std::string folder = base + "Twinara/";
    return {folder + name, folder, name + " does not exist."};
}

bool Is64BitSystem() {
    if (sizeof(void*) == 8) {
        return true;
    }
    utsname host{};
    return uname(&host) == 0 && (std::strstr(host.machine, "64") != nullptr);
}

}  // namespace vellumin::app
