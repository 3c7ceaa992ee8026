#pragma once

namespace vellumin {

const char* VelluminVersion();

}  // namespace vellumin
