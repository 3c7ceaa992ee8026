#pragma once

// Queued reads of an open file descriptor: io_uring where the system offers it, else one
// pread at a time behind the same interface.

#include "platform/Platform.h"

namespace vellumin::platform {

// Takes the descriptor (closed with the reader, or at once when nullptr is returned). nullptr
// when io_uring cannot be set up here (an old kernel, a sandbox that forbids it).
QueuedReaderPtr OpenUringReader(int fd, unsigned depth);

// Takes the descriptor. Reads one request at a time, in the order queued, when it is waited for.
QueuedReaderPtr OpenPreadReader(int fd, unsigned depth);

}  // namespace vellumin::platform
