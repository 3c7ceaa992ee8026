#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "platform/Platform.h"

namespace vellumin::platform::sim {

// A lab file that cannot be used; what() names the file, the place and the problem.
class LabError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The simulated lab from a JSON lab file, or the built-in default lab when labPath is empty.
// Throws LabError.
std::unique_ptr<Platform> CreateSimPlatform(const std::string& labPath = {});

}  // namespace vellumin::platform::sim
