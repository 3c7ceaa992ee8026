// Host defaults of the System operations every backend may use as they stand.
#include <sys/utsname.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "platform/CommandRunner.h"
#include "platform/Platform.h"

namespace vellumin::platform {
namespace {

// PRETTY_NAME of os-release, quotes removed; empty when the file or the key is missing.
std::string OsReleaseName() {
    for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
        std::ifstream in(path);
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("PRETTY_NAME=", 0) != 0) {
                continue;
            }
            std::string value = line.substr(12);
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return value;
        }
    }
    return {};
}

}  // namespace

std::optional<OsVersionRecord> System::OsVersion() {
    utsname host{};
    if (uname(&host) != 0) {
        return std::nullopt;
    }
    OsVersionRecord record;
    record.windows = false;
    unsigned major = 0, minor = 0, patch = 0;
    if (std::sscanf(host.release, "%u.%u.%u", &major, &minor, &patch) >= 1) {
        record.major = major;
        record.minor = minor;
        record.build = patch;
    }
    record.name = OsReleaseName();
    if (record.name.empty()) {
        record.name = std::string(host.sysname) + " " + host.release;
    }
    return record;
}

bool System::OpenWithShell(const std::string& file, const std::string& workingFolder) {
    // The shell puts the program in the background and returns at once, so no child is left
    // to reap; an executable is started itself, anything else goes to the desktop's opener.
    static const char* const kScript =
        "cd \"$1\" || exit 1; "
        "if [ -x \"$2\" ] && [ ! -d \"$2\" ]; then \"$2\" >/dev/null 2>&1 & "
        "else xdg-open \"$2\" >/dev/null 2>&1 & fi";
    std::vector<std::string> args{"/bin/sh", "-c", kScript, "sh", workingFolder.empty() ? "." : workingFolder,
                                  file};
    return ExitedZero(SpawnAndWait(args));
}

}  // namespace vellumin::platform
