#include "pages/scan/ScanEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "transport/Transport.h"
#include "pages/scan/ScanTexts.h"

namespace vellumin::scan {

const char* EndingName(ScanEnding ending) {
    switch (ending) {
    case ScanEnding::Completed:
        return "completed";
    case ScanEnding::Failed:
        return "failed";
    case ScanEnding::Stopped:
        return "stopped";
    case ScanEnding::NotOpened:
        return "not-opened";
    case ScanEnding::NoSize:
        return "no-size";
    }
    return "unknown";
}

Chunk ChunkAt(uint64_t lba, uint64_t total) {
    Chunk chunk;
    chunk.lba = lba;
    // The last chunk ends at the end of the medium: a read past it would fail with "sector not
    // found" and report a healthy drive as failing.
    chunk.sectors = lba < total ? static_cast<uint32_t>(std::min<uint64_t>(kChunkSectors, total - lba)) : 0;
    chunk.ext = lba + chunk.sectors > kLba28Sectors;
    return chunk;
}

namespace {

// Reads chunks with the requests of ata::ReadDma / ReadDmaExt and their result code, but
// - into one page-aligned buffer kept for the whole scan: a fresh region per chunk costs an
//   mmap/munmap pair each time (and on a real drive faulting in 32 pages) for data that is
//   thrown away, most of a chunk's cost on fast media;
// - without flushing the handle after each chunk: the scan writes nothing, and on Linux the
//   flush is an fsync that sends FLUSH CACHE to the drive with every chunk.
class ChunkReader {
public:
    explicit ChunkReader(platform::DriveHandle* drive)
        : m_drive(drive), m_buffer(ata::AllocatePageAligned(kChunkBytes)) {}

    int Read(const Chunk& chunk) {
        m_failingLba = chunk.lba;
        m_failure.reset();
        if (!m_buffer) {
            m_failure = platform::TransportFailure{platform::TransportStage::Request, ENOMEM};
            return ata::kReadNotDelivered;
        }
        const uint32_t bytes = chunk.sectors * kSectorBytes;
        auto request = chunk.ext ? ata::ReadDmaExtRequest(chunk.lba, bytes, m_buffer.get())
                                 : ata::ReadDmaRequest(chunk.lba, bytes, m_buffer.get());
        const platform::PassThroughResult sent = ata::AtaPassThrough(m_drive, request);
        const bool delivered = sent.delivered();
        m_failure = sent.failure();
        const int result = ata::ReadResultCode(delivered, request.currentTaskFile);
        const uint64_t reported = ata::RegisterLba(request);
        if (delivered && reported >= chunk.lba && reported < chunk.lba + chunk.sectors) {
            m_failingLba = reported;
        }
        return result;
    }

    // After a failed Read: where the chunk failed.
    uint64_t FailingLba() const { return m_failingLba; }
    // After a Read that was not delivered: why.
    const std::optional<platform::TransportFailure>& Failure() const { return m_failure; }

private:
    platform::DriveHandle* m_drive;
    ata::PageAlignedBuffer m_buffer;
    uint64_t m_failingLba = 0;
    std::optional<platform::TransportFailure> m_failure;
};

// One scan of a sized drive: the chunks at 0, step, 2 x step, ... below total, each read
// once and counted in order.
class ScanRun {
public:
    ScanRun(platform::DriveHandle* drive, uint64_t total, ScanMode mode, StopRequest& stop, ScanObserver& observer,
            ScanOutcome& outcome)
        : m_reader(drive), m_total(total), m_step(StepSectors(mode)), m_stop(stop), m_observer(observer),
          m_outcome(outcome) {}

    uint64_t Positions() const { return (m_total + m_step - 1) / m_step; }

    // One READ DMA per position in [first, last); true when the scan ended among them.
    bool ReadDma(uint64_t first, uint64_t last) {
        for (uint64_t i = first; i < last; ++i) {
            const Chunk chunk = ChunkAt(i * m_step, m_total);
            const int result = m_reader.Read(chunk);
            m_outcome.lastResult = result;
            if (result != ata::kReadOk) {
                m_failedAt = chunk.lba;
                return true;
            }
            if (Counted(chunk)) {
                return true;
            }
        }
        return false;
    }

    // Queued requests of `group` positions each; where one fails, READ DMA over its positions,
    // then queued again after them.
    void Queued(platform::QueuedReader& queue) {
        const uint32_t group = m_step == kChunkSectors ? kChunksPerRequest : 1;
        const unsigned depth = std::min(queue.Depth(), kQueuedRequests);
        const uint64_t bufferBytes = (uint64_t{group} * kChunkBytes + kPageBytes - 1) / kPageBytes * kPageBytes;
        m_buffers = ata::AllocatePageAligned(depth * bufferBytes);
        if (depth == 0 || !m_buffers) {
            ReadDma(0, Positions());
            return;
        }
        Requests requests{group, (Positions() + group - 1) / group, depth, static_cast<uint8_t*>(m_buffers.get()),
                          bufferBytes};
        m_outcome.lastResult = ata::kReadOk;
        uint64_t from = 0;
        while (from < requests.count) {
            const Pass pass = QueuedPass(queue, requests, from);
            if (Ended()) {
                return;
            }
            if (pass.lost) {
                // The system lost the reads in flight; READ DMA reads on from the first not counted.
                m_outcome.readDmaFrom = m_outcome.readDmaFrom.value_or(pass.failed * group * m_step);
                ReadDma(pass.failed * group, Positions());
                return;
            }
            if (pass.failed == requests.count) {
                return;
            }
            // The block layer names neither the failing sector nor the drive's answer: READ DMA,
            // one chunk at a time, finds the chunk and its error as the scan always has.
            m_outcome.readDmaFrom = m_outcome.readDmaFrom.value_or(pass.failed * group * m_step);
            if (ReadDma(pass.failed * group, std::min((pass.failed + 1) * group, Positions()))) {
                return;
            }
            from = pass.failed + 1;
        }
    }

    bool Ended() const { return m_failedAt || m_stopped; }
    std::optional<uint64_t> FailedAt() const { return m_failedAt; }
    bool Stopped() const { return m_stopped; }
    uint64_t FailingLba() const { return m_reader.FailingLba(); }
    // The failing read's transport reason, when it was not delivered.
    const std::optional<platform::TransportFailure>& Failure() const { return m_reader.Failure(); }

private:
    static constexpr uint64_t kPageBytes = 4096;

    struct Requests {
        uint32_t group;   // positions per request
        uint64_t count;   // requests of the scan
        unsigned depth;   // buffers, one per request in flight
        uint8_t* buffers;
        uint64_t bufferBytes;
    };
    struct Pass {
        uint64_t failed = 0;  // the first request that failed, or Requests::count
        bool lost = false;    // the queue lost or refused its reads; `failed` is the first not counted
    };

    // Reads requests from `from` on until one fails, the stop is seen or the last is counted;
    // waits for every read in flight before it returns, as the buffers are the caller's.
    Pass QueuedPass(platform::QueuedReader& queue, const Requests& requests, uint64_t from) {
        std::vector<unsigned> freeBuffers;
        for (unsigned b = requests.depth; b > 0; --b) {
            freeBuffers.push_back(b - 1);
        }
        std::set<uint64_t> finished;  // read, not yet counted (ahead of one still in flight)
        Pass pass{requests.count, false};
        uint64_t next = from;
        uint64_t counted = from;
        unsigned inFlight = 0;
        for (;;) {
            while (!m_stopped && pass.failed == requests.count && next < requests.count && !freeBuffers.empty()) {
                const unsigned buffer = freeBuffers.back();
                const uint64_t first = next * requests.group * m_step;
                const uint64_t last = std::min((next + 1) * requests.group, Positions()) - 1;
                const uint64_t end = std::min(last * m_step + kChunkSectors, m_total);
                if (!queue.Queue(first * kSectorBytes, requests.buffers + buffer * requests.bufferBytes,
                                 static_cast<uint32_t>((end - first) * kSectorBytes), next << 8 | buffer)) {
                    break;
                }
                freeBuffers.pop_back();
                ++next;
                ++inFlight;
            }
            if (inFlight == 0) {
                // A queue that takes nothing while nothing is in flight reads no further.
                const bool refused = !m_stopped && pass.failed == requests.count && next < requests.count;
                return refused ? Pass{counted, true} : pass;
            }
            const auto done = queue.WaitOne();
            if (!done) {
                return Pass{counted, true};
            }
            --inFlight;
            const uint64_t request = done->tag >> 8;
            freeBuffers.push_back(static_cast<unsigned>(done->tag & 0xFF));
            if (done->result < 0 || static_cast<uint32_t>(done->result) != done->bytes) {
                pass.failed = std::min(pass.failed, request);
            } else {
                finished.insert(request);
            }
            while (!m_stopped && counted < pass.failed && finished.erase(counted) > 0) {
                const uint64_t end = std::min((counted + 1) * requests.group, Positions());
                for (uint64_t i = counted * requests.group; i < end && !m_stopped; ++i) {
                    Counted(ChunkAt(i * m_step, m_total));
                }
                ++counted;
            }
        }
    }

    // A chunk read: counted, then the stop request looked at; true when the scan stops there.
    bool Counted(const Chunk& chunk) {
        ++m_outcome.chunksRead;
        m_outcome.bytesRead += uint64_t{chunk.sectors} * kSectorBytes;
        if (m_stop.load(std::memory_order_relaxed) != 0) {
            m_stopped = true;
            return true;
        }
        m_observer.OnChunk(chunk.lba);
        return false;
    }

    ChunkReader m_reader;
    uint64_t m_total;
    uint64_t m_step;
    StopRequest& m_stop;
    ScanObserver& m_observer;
    ScanOutcome& m_outcome;
    std::optional<uint64_t> m_failedAt;
    bool m_stopped = false;
    // The queued reads' buffers; the run outlives the queue, so reads the system lost in flight
    // never land in memory given back.
    ata::PageAlignedBuffer m_buffers;
};

// Everything up to the outcome; the caller closes the drive before reporting the end.
ScanOutcome Scan(platform::DriveHandle* drive, ScanMode mode, ScanWay way, StopRequest& stop,
                 ScanObserver& observer) {
    ScanOutcome outcome;
    if (!drive) {
        outcome.ending = ScanEnding::NotOpened;
        outcome.resultText = kCannotOpenText;
        outcome.notDeliveredCommand = "open";
        outcome.notDelivered = platform::TransportFailure{platform::TransportStage::Open};
        return outcome;
    }
    observer.OnOpened();
    // Without a real sector count there is nothing sound to scan against.
    const auto size = drive->SectorCount();
    if (!size || *size == 0) {
        outcome.ending = ScanEnding::NoSize;
        outcome.resultText = kNoSizeText;
        return outcome;
    }
    const uint64_t total = *size;
    outcome.total = total;
    observer.OnRange(total);

    ScanRun run(drive, total, mode, stop, observer, outcome);
    outcome.lastResult = ata::kReadOk;
    const auto queue = way == ScanWay::Queued ? drive->OpenQueuedReader(kQueuedRequests) : nullptr;
    if (queue) {
        outcome.way = ScanWay::Queued;
        run.Queued(*queue);
    } else {
        run.ReadDma(0, run.Positions());
    }

    // A failure found outranks a stop that arrived during the failing read: the user learns
    // where the drive failed instead of a stopped scan at position 0.
    if (run.FailedAt()) {
        outcome.ending = ScanEnding::Failed;
        outcome.finalPosition = *run.FailedAt();
        outcome.firstFailingLba = run.FailingLba();
        outcome.resultText = ReadResultText(outcome.lastResult);
        if (run.Failure()) {
            outcome.notDeliveredCommand = ChunkAt(*run.FailedAt(), total).ext ? "READ DMA EXT" : "READ DMA";
            outcome.notDelivered = run.Failure();
        }
    } else if (run.Stopped()) {
        outcome.ending = ScanEnding::Stopped;
        outcome.finalPosition = 0;
    } else {
        outcome.ending = ScanEnding::Completed;
        outcome.finalPosition = total;
    }
    return outcome;
}

// However the drive was opened: the stop request is cleared, then the end reported.
ScanOutcome Finish(ScanOutcome outcome, StopRequest& stop, ScanObserver& observer) {
    stop.store(0, std::memory_order_relaxed);
    observer.OnEnd(outcome);
    return outcome;
}

}  // namespace

ScanOutcome RunScan(platform::DriveSystem& drives, int driveNumber, ScanMode mode, StopRequest& stop,
                    ScanObserver& observer, ScanWay way) {
    ScanOutcome outcome;
    {
        const auto opening = ata::OpenDrive(drives, driveNumber);
        outcome = Scan(opening.handle.get(), mode, way, stop, observer);
        if (!opening.handle) {
            outcome.notDelivered = opening.failure;
        }
    }
    return Finish(std::move(outcome), stop, observer);
}

ScanOutcome RunScan(platform::DriveHandle* drive, ScanMode mode, StopRequest& stop, ScanObserver& observer,
                    ScanWay way) {
    return Finish(Scan(drive, mode, way, stop, observer), stop, observer);
}

}  // namespace vellumin::scan
