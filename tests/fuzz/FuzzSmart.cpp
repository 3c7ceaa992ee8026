// The SMART dispatch and every decoder on any SMART block (the first 512 bytes) with any identify
// block (the next 512); missing bytes are zero.
#include <algorithm>

#include "pages/smart/SmartDispatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::pages;
    vellumin::ata::SmartBlock smart{};
    vellumin::ata::IdentifyBlock identify{};
    std::copy_n(data, std::min<size_t>(size, 512), smart.begin());
    if (size > 512) {
        std::copy_n(data + 512, std::min<size_t>(size - 512, 512), identify.begin());
    }
    (void)DecodeSmart(smart, identify);
    for (auto decoder : {SmartDecoder::Smi, SmartDecoder::Sm2246, SmartDecoder::Jmf667,
                         SmartDecoder::Jmf612, SmartDecoder::ModelSeries}) {
        (void)DecodeSmartWith(decoder, smart);
    }
    return 0;
}
