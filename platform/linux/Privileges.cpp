#include "platform/linux/Privileges.h"

#include <cstdint>
#include <filesystem>

namespace vellumin::platform::linux_backend {

bool HasRawDiskCapabilities(std::string_view status) {
    constexpr std::string_view kKey = "CapEff:";
    constexpr int kCapSysRawio = 17;
    constexpr int kCapSysAdmin = 21;
    size_t at = status.find(kKey);
    // The key must start a line.
    while (at != std::string_view::npos && at != 0 && status[at - 1] != '\n') {
        at = status.find(kKey, at + 1);
    }
    if (at == std::string_view::npos) {
        return false;
    }
    at += kKey.size();
    while (at < status.size() && (status[at] == ' ' || status[at] == '\t')) {
        ++at;
    }
    uint64_t mask = 0;
    int digits = 0;
    for (; at < status.size() && status[at] != '\n'; ++at, ++digits) {
        char c = status[at];
        int value = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (value < 0 || digits >= 16) {
            return false;
        }
        mask = mask << 4 | static_cast<uint64_t>(value);
    }
    uint64_t needed = uint64_t{1} << kCapSysRawio | uint64_t{1} << kCapSysAdmin;
    return digits > 0 && (mask & needed) == needed;
}

std::vector<std::string> BuildRelaunchCommand(const std::string& executable,
                                              const std::vector<std::string>& arguments,
                                              const std::function<const char*(const char*)>& lookup,
                                              PolkitAction action) {
    if (action == PolkitAction::Installed) {
        std::vector<std::string> command{"pkexec", executable};
        command.insert(command.end(), arguments.begin(), arguments.end());
        return command;
    }
    std::vector<std::string> command{"pkexec", "/usr/bin/env"};
    for (const char* name : {"DISPLAY", "XAUTHORITY", "WAYLAND_DISPLAY", "XDG_RUNTIME_DIR"}) {
        if (const char* value = lookup(name)) {
            command.push_back(std::string(name) + "=" + value);
        }
    }
    command.push_back(executable);
    command.insert(command.end(), arguments.begin(), arguments.end());
    return command;
}

PolkitAction FindPolkitAction(const std::string& executable, const std::string& installedProgram,
                              const std::string& policyFile) {
    std::error_code ec;
    return !installedProgram.empty() && executable == installedProgram &&
                   std::filesystem::is_regular_file(policyFile, ec)
               ? PolkitAction::Installed
               : PolkitAction::Generic;
}

}  // namespace vellumin::platform::linux_backend
