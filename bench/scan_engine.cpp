// The scan engine alone on the simulated lab, and the cost of what each READ DMA does besides
// the command: a fresh page-aligned scratch buffer and a flush of the handle.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include "ata/Transport.h"
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

}  // namespace
}  // namespace vellumin::bench

BENCHMARK_MAIN();
