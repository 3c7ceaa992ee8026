#pragma once

#include <memory>
#include <string>

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
std::unique_ptr<Platform> CreateLinuxPlatform(const LinuxRoots& roots);

}  // namespace vellumin::platform::linux_backend
