// The scan engine alone on the simulated lab, and the cost of what each READ DMA does besides
// the command: a fresh page-aligned scratch buffer and a flush of the handle. And the queued
// scan against bare queued reads of the same lab drive's block device.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "transport/Transport.h"
#include "bench/ScanBench.h"

namespace vellumin::bench {
namespace {

void BM_EngineFullScan(benchmark::State& state) { EngineFullScans(state, false); }
BENCHMARK(BM_EngineFullScan)->Unit(benchmark::kMillisecond)->UseRealTime();

// One chunk as the scan issues it: ReadDma allocates, sends, flushes, frees.
void BM_ReadDma(benchmark::State& state) {
    auto lab = MakeBenchLab();
    auto drive = ata::OpenPhysicalDrive(lab->Drives(), kBenchSlot);
    uint64_t lba = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ata::ReadDma(drive.get(), lba, scan::kChunkBytes));
        lba = (lba + scan::kChunkSectors) % (kBenchSectors - scan::kChunkSectors);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDma);

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};

// The same command on a buffer kept for the whole scan, with and without the flush.
void ReadReused(benchmark::State& state, bool flush) {
    auto lab = MakeBenchLab();
    auto drive = ata::OpenPhysicalDrive(lab->Drives(), kBenchSlot);
    std::unique_ptr<void, FreeDeleter> buffer(std::aligned_alloc(4096, 32 * 4096));
    uint64_t lba = 0;
    for (auto _ : state) {
        auto request = ata::ReadDmaRequest(lba, scan::kChunkBytes, buffer.get());
        benchmark::DoNotOptimize(ata::AtaPassThrough(drive.get(), request));
        if (flush) {
            drive->Flush();
        }
        lba = (lba + scan::kChunkSectors) % (kBenchSectors - scan::kChunkSectors);
    }
    state.SetItemsProcessed(state.iterations());
}
void BM_ReadReusedBufferFlush(benchmark::State& state) { ReadReused(state, true); }
void BM_ReadReusedBufferNoFlush(benchmark::State& state) { ReadReused(state, false); }
BENCHMARK(BM_ReadReusedBufferFlush);
BENCHMARK(BM_ReadReusedBufferNoFlush);

// The scratch allocation on its own, as ReadDma makes it.
void BM_ScratchAllocation(benchmark::State& state) {
    for (auto _ : state) {
        std::unique_ptr<void, FreeDeleter> scratch(std::aligned_alloc(4096, 32 * 4096));
        benchmark::DoNotOptimize(scratch.get());
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ScratchAllocation);

// A 2 GiB lab drive: the queued reads copy from its memory file, so a size like the VM bench's.
constexpr uint64_t kQueuedSectors = uint64_t{4} << 20;

void BM_QueuedFullScan(benchmark::State& state) {
    auto lab = MakeBenchLab(kQueuedSectors);
    scan::StopRequest stop{0};
    scan::ScanObserver observer;
    uint64_t bytes = 0;
    for (auto _ : state) {
        const auto outcome =
            scan::RunScan(lab->Drives(), kBenchSlot, scan::ScanMode::Full, stop, observer, scan::ScanWay::Queued);
        if (outcome.ending != scan::ScanEnding::Completed || outcome.way != scan::ScanWay::Queued) {
            state.SkipWithError("the queued scan did not complete by queued reads");
            return;
        }
        bytes += outcome.bytesRead;
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_QueuedFullScan)->Unit(benchmark::kMillisecond)->UseRealTime();

// What the scan is held against: the same requests (size, depth, buffers) with nothing else,
// as fio would read the device.
void BM_BareQueuedReads(benchmark::State& state) {
    auto lab = MakeBenchLab(kQueuedSectors);
    auto drive = ata::OpenPhysicalDrive(lab->Drives(), kBenchSlot);
    constexpr uint64_t kRequest = uint64_t{scan::kChunksPerRequest} * scan::kChunkBytes;
    constexpr uint64_t kTotal = kQueuedSectors * scan::kSectorBytes;
    std::unique_ptr<void, FreeDeleter> buffers(std::aligned_alloc(4096, scan::kQueuedRequests * kRequest));
    uint64_t bytes = 0;
    for (auto _ : state) {
        auto queue = drive->OpenQueuedReader(scan::kQueuedRequests);
        uint64_t offset = 0;
        unsigned inFlight = 0;
        std::vector<unsigned> free;
        for (unsigned b = 0; b < scan::kQueuedRequests; ++b) {
            free.push_back(b);
        }
        while (offset < kTotal || inFlight > 0) {
            while (offset < kTotal && !free.empty()) {
                const auto length = static_cast<uint32_t>(std::min(kRequest, kTotal - offset));
                queue->Queue(offset, static_cast<char*>(buffers.get()) + free.back() * kRequest, length, free.back());
                free.pop_back();
                offset += length;
                ++inFlight;
            }
            const auto done = queue->WaitOne();
            if (!done || done->result != static_cast<int>(done->bytes)) {
                state.SkipWithError("a bare queued read failed");
                return;
            }
            free.push_back(static_cast<unsigned>(done->tag));
            bytes += done->bytes;
            --inFlight;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_BareQueuedReads)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace vellumin::bench

BENCHMARK_MAIN();
