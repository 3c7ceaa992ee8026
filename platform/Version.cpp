#include "platform/Version.h"

namespace vellumin {

const char* VelluminVersion() { return VELLUMIN_VERSION; }

}  // namespace vellumin
