#pragma once

// The lab both scan benchmarks run on: one drive with zero-latency media whose reads leave the
// buffer untouched, so what is measured is the scan's own cost per chunk.

#include <benchmark/benchmark.h>
#include <time.h>

#include <cstdint>
#include <memory>
#include <thread>

#include "pages/scan/ScanEngine.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::bench {

inline constexpr int kBenchSlot = 0;
// 1,581,028 chunks, READ DMA EXT beyond 2^28: long enough that starting a scan (thread,
// first paint) is lost in it.
inline constexpr uint64_t kBenchSectors = 400'000'000;

inline std::unique_ptr<platform::sim::SimPlatform> MakeBenchLab(uint64_t sectors = kBenchSectors) {
    platform::sim::DriveDescription drive;
    drive.model = "VQ BENCH SSD";
    drive.serial = "BENCH0001";
    drive.firmware = "B1";
    drive.sectors = sectors;
    drive.readLatencyMicroseconds = 0;
    drive.readData = platform::sim::ReadData::Untouched;
    platform::sim::LabDescription lab;
    lab.drives[kBenchSlot] = std::move(drive);
    return std::make_unique<platform::sim::SimPlatform>(std::move(lab));
}

// CPU seconds of the whole process (every thread): on a shared machine the wall clock mostly
// measures the neighbours, the CPU spent per chunk measures the scan.
inline double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

inline double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU time of the process, and of the calling thread, over a benchmark's loop.
struct CpuClock {
    double process = ProcessCpuSeconds();
    double thread = ThreadCpuSeconds();
};

// chunks/s over wall time; chunks per CPU second of the whole process; and chunks per CPU
// second of the scanning thread (the process less the calling thread, when `worker` is set).
inline void ReportChunks(benchmark::State& state, uint64_t chunks, const CpuClock& start, bool worker) {
    const double process = ProcessCpuSeconds() - start.process;
    const double caller = ThreadCpuSeconds() - start.thread;
    const auto n = static_cast<double>(chunks);
    state.counters["chunks/s"] = benchmark::Counter(n, benchmark::Counter::kIsRate);
    state.counters["chunks/cpu_s"] = n / process;
    state.counters["scan_chunks/cpu_s"] = n / (worker ? process - caller : process);
}

// Full scans of the bench drive by the engine alone, nothing watching: on the calling thread,
// or each on a thread of its own as the page runs it.
inline void EngineFullScans(benchmark::State& state, bool onThread) {
    auto lab = MakeBenchLab();
    scan::StopRequest stop{0};
    scan::ScanObserver observer;
    uint64_t chunks = 0;
    const CpuClock cpu;
    for (auto _ : state) {
        scan::ScanOutcome outcome;
        const auto run = [&] { outcome = scan::RunScan(lab->Drives(), kBenchSlot, scan::ScanMode::Full, stop, observer); };
        if (onThread) {
            std::thread(run).join();
        } else {
            run();
        }
        if (outcome.ending != scan::ScanEnding::Completed) {
            state.SkipWithError("scan did not complete");
            return;
        }
        chunks += outcome.chunksRead;
    }
    ReportChunks(state, chunks, cpu, onThread);
}

}  // namespace vellumin::bench
