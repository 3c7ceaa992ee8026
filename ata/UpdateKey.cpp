#include "ata/UpdateKey.h"

#include <array>
#include <cctype>

namespace vellumin::ata {
namespace {

// Models whose 20-character serials carry the key in front.
constexpr std::array<std::string_view, 3> kFrontKeyModels = {"KD5508", "KM5508", "KD3308"};

}  // namespace

std::string WonoValue(std::string_view serial, std::string_view model) {
    while (!serial.empty() && std::isspace(static_cast<unsigned char>(serial.back()))) {
        serial.remove_suffix(1);
    }
    switch (serial.size()) {
        case 12:
            return std::string(serial.substr(serial.starts_with("00") ? 2 : 0, 6));
        case 20:
            for (std::string_view series : kFrontKeyModels) {
                if (model.find(series) != std::string_view::npos) {
                    return std::string(serial.substr(0, 6));
                }
            }
            return std::string(serial.substr(8, 6));
        case 10:
            return std::string(serial.substr(0, 6));
        default:
            return "initial";
    }
}

}  // namespace vellumin::ata
