// Sense data as SG_IO hands it back: byte 0 is the SCSI status, byte 1 sets the ioctl's success
// and the host and driver status, the rest is the sense buffer.
#include "platform/linux/SatPassThrough.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::platform::linux_backend;
    if (size < 2) {
        return 0;
    }
    std::span<const uint8_t> sense(data + 2, size - 2);
    (void)SummariseSense(sense);
    (void)DecodeAtaReturn(sense);
    SgCompletion completion{(data[1] & 1) != 0, data[0], static_cast<uint16_t>((data[1] >> 1) & 1),
                            static_cast<uint16_t>((data[1] >> 2) & 0x3F), sense};
    if (auto registers = ClassifyCompletion(completion)) {
        vellumin::platform::AtaPassThroughRequest request{};
        StoreReturn(*registers, request);
    }
    return 0;
}
