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

// Queued reads of `bytes` of zeros held in memory (the lab's stand-in for a drive's media):
// io_uring where the system allows it, else one read at a time. nullptr where the system has
// no such file (Windows: the lab's scan then reads chunk by chunk through the pass-through).
QueuedReaderPtr OpenMemoryQueuedReader(uint64_t bytes, unsigned depth);

}  // namespace vellumin::platform
