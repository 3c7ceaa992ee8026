// The CLI's hex dumps (identify --raw, smart --raw) pasted into a lab drive: the text before the
// first '|' is its identifyHex, the rest its smartHex.
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimLab.h"

namespace vellumin::platform::sim {

namespace {
std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}
}  // namespace

}  // namespace vellumin::platform::sim

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::platform::sim;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const size_t bar = input.find('|');
    std::string drive = "{\"slot\": 0, \"identifyHex\": " + JsonString(input.substr(0, bar));
    if (bar != std::string_view::npos) {
        drive += ", \"smartHex\": " + JsonString(input.substr(bar + 1));
    }
    try {
        LabDescription lab = ParseLab("{\"drives\": [" + drive + "}]}", "dump.json");
        SimDevice device(*lab.drives[0]);
        (void)device.IdentifyData();
        (void)device.SmartData();
    } catch (const LabError&) {
    }
    return 0;
}
