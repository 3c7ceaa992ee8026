#pragma once

#include <string>
#include <string_view>

namespace vellumin::ata {

// The update service's key for a drive, cut from the serial number S (trailing white space
// removed) by its length, and the model number M. The lab's service derives it as the page does.
std::string WonoValue(std::string_view serial, std::string_view model);

}  // namespace vellumin::ata
