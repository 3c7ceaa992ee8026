#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vellumin::platform::linux_backend {

// The real machine: /dev/sda.. as drives 0..15, mounted file systems as volumes.
std::unique_ptr<Platform> CreateLinuxPlatform();

// Where the backend looks; tests point these at fixture trees.
struct LinuxRoots {
    std::string dev = "/dev";
    std::string proc = "/proc";
    std::string sys = "/sys";
};

// Runs a command (argument vector, searched in PATH) to its end; true when it exited 0.
using CheckedCommand = std::function<bool(const std::vector<std::string>&)>;
// The same backend with the runner of its system commands (the restart, the suspend) replaced:
// tests put a recorder there so that nothing like a reboot or a suspend ever runs.
std::unique_ptr<Platform> CreateLinuxPlatform(const LinuxRoots& roots, CheckedCommand run);

// The argument vector of the restart.
std::vector<std::string> RestartCommand();
// The argument vector of a suspend to RAM that wakes up `seconds` later (util-linux).
std::vector<std::string> SuspendCommand(int seconds);
// The runner of the real backend: started from PATH, waited for, exit status 0.
bool RunChecked(const std::vector<std::string>& command);
std::unique_ptr<Platform> CreateLinuxPlatform(const LinuxRoots& roots);

}  // namespace vellumin::platform::linux_backend
