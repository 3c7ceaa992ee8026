#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace vellumin::scan {

// One READ DMA per chunk; 253 rather than 256 sectors is what the scan has always used, and
// its positions (0, 253, 506, ...) are part of what the user sees.
inline constexpr uint32_t kChunkSectors = 253;
inline constexpr uint32_t kSectorBytes = 512;
inline constexpr uint32_t kChunkBytes = kChunkSectors * kSectorBytes;  // 129,536

// READ DMA's 28-bit registers reach sectors 0 .. 0x0FFFFFFE (0x0FFFFFFF is the largest count
// a 28-bit drive reports); a chunk touching anything beyond goes out as READ DMA EXT.
inline constexpr uint64_t kLba28Sectors = 0x0FFFFFFF;

// The value is the step multiplier: a quick scan reads one chunk in a hundred.
enum class ScanMode : uint32_t { Full = 1, Quick = 100 };

inline constexpr uint64_t StepSectors(ScanMode mode) {
    return uint64_t{kChunkSectors} * static_cast<uint32_t>(mode);
}

// How the chunks are read. Both give the same ending, position and result text on the same drive.
enum class ScanWay {
    ReadDma,  // one READ DMA per chunk, one at a time
    // Direct reads through the system's block layer, about 1 MiB each and several in flight, in
    // the background I/O class; over a read that fails, READ DMA per chunk finds the failing
    // chunk and its error. A drive the platform cannot read so is read by READ DMA throughout.
    Queued,
};

enum class ScanEnding {
    Completed,  // every chunk read; final position = total
    Failed,     // a chunk failed; final position = its first LBA
    Stopped,    // the stop request was seen; final position 0
    NotOpened,  // the drive could not be opened; nothing read
    NoSize,     // the drive's sector count could not be read (or is 0); nothing read
};

const char* EndingName(ScanEnding ending);  // "completed", "failed", ...

// One chunk as it goes to the drive: never past the end of the medium, and by the command
// whose registers reach all of it.
struct Chunk {
    uint64_t lba = 0;
    uint32_t sectors = 0;
    bool ext = false;  // READ DMA EXT (0x25) instead of READ DMA (0xC8)
};
Chunk ChunkAt(uint64_t lba, uint64_t total);

struct ScanOutcome {
    ScanEnding ending = ScanEnding::NotOpened;
    uint64_t finalPosition = 0;
    uint64_t total = 0;
    int lastResult = 0;      // the read result of the last chunk read (1 = read)
    std::string resultText;  // "" unless a read failed or the scan could not start
    uint64_t chunksRead = 0;  // chunks read successfully
    uint64_t bytesRead = 0;
    // Failed: the first LBA the drive could not read, as it reported it in the LBA registers;
    // the failing chunk's first LBA when the reported one lies outside that chunk (a drive
    // that leaves the registers alone, a read that was not delivered).
    uint64_t firstFailingLba = 0;
    // NotOpened, or Failed by a read that was not delivered: the command that was not ("open",
    // "READ DMA", "READ DMA EXT") and the transport's reason.
    const char* notDeliveredCommand = nullptr;
    std::optional<platform::TransportFailure> notDelivered;
    ScanWay way = ScanWay::ReadDma;  // as the scan actually read
    // Queued: the first LBA of the first queued read that failed, from where READ DMA read on.
    std::optional<uint64_t> readDmaFrom;
};

// Queued reads: requests in flight, and chunks per request of a full scan (2,024 sectors, so
// every request starts on a 4096-byte boundary as direct reads of 4K-sector disks need).
inline constexpr unsigned kQueuedRequests = 8;
inline constexpr uint32_t kChunksPerRequest = 8;

// Everything a scan reports, in order: OnOpened, OnRange, OnChunk per chunk read, OnEnd.
// All calls come on the scanning thread; a GUI observer must not block in them.
class ScanObserver {
public:
    virtual ~ScanObserver() = default;
    virtual void OnOpened() {}
    virtual void OnRange(uint64_t /*total*/) {}
    // After the chunk at `lba` was read and no stop was requested: the position to show.
    virtual void OnChunk(uint64_t /*lba*/) {}
    virtual void OnEnd(const ScanOutcome& /*outcome*/) {}
};

// Set to 1 from any thread to stop the scan; read once per chunk and cleared when the scan
// ends.
using StopRequest = std::atomic<int32_t>;

// Opens the drive, scans it and closes it again. Blocks until the scan ends.
ScanOutcome RunScan(platform::DriveSystem& drives, int driveNumber, ScanMode mode, StopRequest& stop,
                    ScanObserver& observer, ScanWay way = ScanWay::ReadDma);

// The scan proper, on a drive the caller opened (nullptr counts as an open that failed).
ScanOutcome RunScan(platform::DriveHandle* drive, ScanMode mode, StopRequest& stop, ScanObserver& observer,
                    ScanWay way = ScanWay::ReadDma);

}  // namespace vellumin::scan
