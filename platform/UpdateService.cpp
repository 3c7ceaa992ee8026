// Where the firmware-update service is and how it is reached, the same on every system.
#include <cstdlib>

#include "platform/HttpClient.h"
#include "platform/Platform.h"

#ifndef VELLUMIN_UPDATE_HOST_DEFAULT
#define VELLUMIN_UPDATE_HOST_DEFAULT "update.invalid"
#endif

namespace vellumin::platform {

std::string DefaultUpdateServiceHost() {
    const char* host = std::getenv("VELLUMIN_UPDATE_HOST");
    return host != nullptr && *host != '\0' ? std::string(host)
                                            : std::string(VELLUMIN_UPDATE_HOST_DEFAULT);
}

std::string NoProxyList(const char* environmentValue) {
    std::string list = environmentValue != nullptr ? environmentValue : "";
    if (list == "*") {
        return list;
    }
    if (!list.empty()) {
        list += ',';
    }
    return list + "localhost,127.0.0.0/8,::1";
}

std::string System::UpdateServiceHost() { return DefaultUpdateServiceHost(); }

}  // namespace vellumin::platform
