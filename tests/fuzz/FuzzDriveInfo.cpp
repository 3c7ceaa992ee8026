// The thirteen information rows from any identify block (the first 512 bytes) and SMART block
// (the next 512); missing bytes are zero.
#include <algorithm>

#include "pages/driveinfo/DriveInfoReport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    vellumin::ata::IdentifyBlock identify{};
    vellumin::ata::SmartBlock smart{};
    std::copy_n(data, std::min<size_t>(size, 512), identify.begin());
    if (size > 512) {
        std::copy_n(data + 512, std::min<size_t>(size - 512, 512), smart.begin());
    }
    (void)vellumin::pages::DriveInfoRows(0, identify, smart);
    return 0;
}
