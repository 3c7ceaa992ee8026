// The TRIM state command's output.
#include "pages/trim/TrimSetting.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)vellumin::trim::ReadTrimNumber(
        std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
