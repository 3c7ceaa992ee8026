// /proc/self/mountinfo as the kernel might write it, or not.
#include "platform/linux/Volumes.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::platform::linux_backend;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const auto& mount : ParseMountInfo(text)) {
        (void)DriveNumberOfDiskName(mount.source);
    }
    (void)DecodeMountEscapes(text);
    return 0;
}
