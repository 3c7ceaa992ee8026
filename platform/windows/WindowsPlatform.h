#pragma once

#include <memory>

#include "platform/Platform.h"

namespace vellumin::platform::windows_backend {

// The real machine: \\.\PhysicalDrive0..15, volume letters C to Z.
std::unique_ptr<Platform> CreateWindowsPlatform();

// True inside Wine (ntdll exports wine_get_version). There \\.\PhysicalDriveN may be a disk of
// the host machine, so the backend then sends only the reads of the identify and SMART blocks
// and never restarts anything.
bool RunningUnderWine();

}  // namespace vellumin::platform::windows_backend
