#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

namespace vellumin::host {

// The argument vector System::RunTrimCommand starts on Linux: /bin/sh with a fixed script
// around `systemctl is-enabled fstrim.timer` (and `systemctl enable|disable --now
// fstrim.timer` before it for a switch), ending with the line "DisableDeleteNotify = N" for
// the timer's state then, or with no such line when systemctl names no clear state.
std::vector<std::string> HostTrimCommandLine(platform::TrimCommand command);

// PROCESSOR_ARCHITECTURE_* of a uname machine name ("x86_64" -> 9).
uint16_t ArchitectureOfMachine(const std::string& machine);

}  // namespace vellumin::host
