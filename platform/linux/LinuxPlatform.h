#pragma once

#include <memory>

#include "platform/Platform.h"

namespace vellumin::platform::linux_backend {

// The real machine: /dev/sda.. as drives 0..15, mounted file systems as volumes.
std::unique_ptr<Platform> CreateLinuxPlatform();

}  // namespace vellumin::platform::linux_backend
