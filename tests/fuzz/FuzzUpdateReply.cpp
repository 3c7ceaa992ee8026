// The update service's reply body, as the firmware-update page reads it.
#include <algorithm>

#include "pages/fwupdate/UpdateQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace vellumin::fwupdate;
    const std::string_view body(reinterpret_cast<const char*>(data), std::min(size, kReplyBodyMax));
    const std::string reply = ReplyText(body);
    (void)ParseUpdateReply(reply);
    (void)StatusText(DecideUpdate(reply, "U1103"));
    return 0;
}
