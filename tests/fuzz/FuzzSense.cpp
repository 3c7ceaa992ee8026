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
    SgCompletion completion;
    completion.ioctlSucceeded = (data[1] & 1) != 0;
    completion.scsiStatus = data[0];
    completion.hostStatus = (data[1] >> 1) & 1;
    completion.driverStatus = (data[1] >> 2) & 0x3F;
    completion.sense = sense;
    if (auto registers = ClassifyCompletion(completion)) {
        vellumin::ata::AtaPassThroughRequest request{};
        StoreReturn(*registers, request);
    }
    return 0;
}
