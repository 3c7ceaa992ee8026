#include "pages/scan/ScanEngine.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "ata/Transport.h"
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
        : m_drive(drive), m_buffer(std::aligned_alloc(kPageBytes, kBufferBytes)) {}

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
    static constexpr std::size_t kPageBytes = 4096;
    static constexpr std::size_t kBufferBytes = (kChunkBytes + kPageBytes - 1) / kPageBytes * kPageBytes;
    struct Free {
        void operator()(void* p) const { std::free(p); }
    };
    platform::DriveHandle* m_drive;
    std::unique_ptr<void, Free> m_buffer;
    uint64_t m_failingLba = 0;
    std::optional<platform::TransportFailure> m_failure;
};

// Everything up to the outcome; the caller closes the drive before reporting the end.
ScanOutcome Scan(platform::DriveHandle* drive, ScanMode mode, StopRequest& stop, ScanObserver& observer) {
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

    const uint64_t step = StepSectors(mode);
    ChunkReader reader(drive);
    uint64_t lba = 0;
    int result = ata::kReadOk;
    bool stopped = false;
    Chunk chunk;
    while (lba < total) {
        chunk = ChunkAt(lba, total);
        result = reader.Read(chunk);
        if (result != ata::kReadOk) {
            break;
        }
        ++outcome.chunksRead;
        outcome.bytesRead += uint64_t{chunk.sectors} * kSectorBytes;
        if (stop.load(std::memory_order_relaxed) != 0) {
            stopped = true;
            break;
        }
        observer.OnChunk(lba);
        if (total - lba <= step) {
            break;
        }
        lba += step;
    }
    outcome.lastResult = result;

    // A failure found outranks a stop that arrived during the failing read: the user learns
    // where the drive failed instead of a stopped scan at position 0.
    if (result != ata::kReadOk) {
        outcome.ending = ScanEnding::Failed;
        outcome.finalPosition = lba;
        outcome.firstFailingLba = reader.FailingLba();
        outcome.resultText = ReadResultText(result);
        if (reader.Failure()) {
            outcome.notDeliveredCommand = chunk.ext ? "READ DMA EXT" : "READ DMA";
            outcome.notDelivered = reader.Failure();
        }
    } else if (stopped) {
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
                    ScanObserver& observer) {
    ScanOutcome outcome;
    {
        const auto opening = ata::OpenDrive(drives, driveNumber);
        outcome = Scan(opening.handle.get(), mode, stop, observer);
        if (!opening.handle) {
            outcome.notDelivered = opening.failure;
        }
    }
    return Finish(std::move(outcome), stop, observer);
}

ScanOutcome RunScan(platform::DriveHandle* drive, ScanMode mode, StopRequest& stop, ScanObserver& observer) {
    return Finish(Scan(drive, mode, stop, observer), stop, observer);
}

}  // namespace vellumin::scan
