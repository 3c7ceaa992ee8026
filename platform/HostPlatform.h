#pragma once

#include <memory>

#include "platform/Platform.h"

namespace vellumin::platform {

// The real machine's backend, the one this build is for (Linux or Windows).
std::unique_ptr<Platform> CreateHostPlatform();

}  // namespace vellumin::platform
