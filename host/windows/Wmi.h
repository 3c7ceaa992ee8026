#pragma once

#include <string>

namespace vellumin::platform::windows_backend {

// The Version property of WMI's Win32_OperatingSystem ("6.3.9600"), the last object's when
// there are several; "-1" when any step fails. COM is initialised for the call and released.
std::string QueryWmiOsVersion();

}  // namespace vellumin::platform::windows_backend
