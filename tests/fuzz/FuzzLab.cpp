// Lab files: any text is either a lab or a LabError, and every drive it describes can be built.
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimLab.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::platform::sim;
    try {
        LabDescription lab =
            ParseLab(std::string(reinterpret_cast<const char*>(data), size), "fuzz.json");
        for (auto& drive : lab.drives) {
            if (drive) {
                SimDevice device(*drive);
                (void)device.IdentifyData();
                (void)device.SmartData();
            }
        }
    } catch (const LabError&) {
    }
    return 0;
}
