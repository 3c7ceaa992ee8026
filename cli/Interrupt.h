#pragma once

#include <atomic>
#include <cstdint>

#include "platform/HostIo.h"

namespace vellumin::cli {

// Ctrl-C as the Stop or Cancel button of the work in progress: the first sets `request` and
// prints `note` on standard error; a second gets the default action back and quits at once.
// The handler reaches the request through a global, so one is armed at a time.
class InterruptAsRequest {
public:
    InterruptAsRequest(std::atomic<int32_t>& request, const char* note);
    ~InterruptAsRequest();
    InterruptAsRequest(const InterruptAsRequest&) = delete;
    InterruptAsRequest& operator=(const InterruptAsRequest&) = delete;

private:
    platform::InterruptHook m_hook;
};

}  // namespace vellumin::cli
