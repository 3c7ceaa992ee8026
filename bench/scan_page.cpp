// A full scan through the real scan page on Qt's offscreen platform, against the engine alone
// on the same lab: the page must not slow the worker down (target: at least 0.95 of the
// engine's chunks per second).

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

#include <QAbstractButton>
#include <QApplication>

#include "bench/ScanBench.h"
#include "pages/scan/CDiagnosticS.h"
#include "ui/Dialog.h"

namespace vellumin::bench {
namespace {

constexpr int kPageArea = 1020;
constexpr ui::ControlTemplate kMainControls[] = {
    {1001, ui::ControlKind::PushButton, 330, 9, 60, 27, "1"},  {1002, ui::ControlKind::PushButton, 330, 36, 60, 27, "2"},
    {1003, ui::ControlKind::PushButton, 390, 9, 60, 27, "3"},  {1004, ui::ControlKind::PushButton, 390, 36, 59, 27, "4"},
    {1005, ui::ControlKind::PushButton, 450, 9, 59, 27, "5"},  {1006, ui::ControlKind::PushButton, 449, 36, 60, 27, "6"},
    {1022, ui::ControlKind::PushButton, 12, 246, 25, 21, "H"}, {1026, ui::ControlKind::PushButton, 61, 246, 28, 21, "R"},
    {kPageArea, ui::ControlKind::Tab, 180, 75, 330, 190, ""},
};
constexpr ui::DialogTemplate kMainTemplate{102, 520, 280, "Vellumin", ui::DialogNone, kMainControls};

void BM_PageFullScan(benchmark::State& state) {
    auto lab = MakeBenchLab();
    ui::Dialog main(kMainTemplate);
    main.Create(nullptr);
    auto* page = new scan::CDiagnosticS(*lab);  // owned by the page area
    page->CreatePage(main.Item(kPageArea));
    page->setHidden(true);
    page->SetPhysicalDrive(kBenchSlot);
    main.show();
    page->ShowWindow(true);
    auto* full = page->ItemAs<QAbstractButton>(scan::CDiagnosticS::IDC_FULL_SCAN);
    uint64_t chunks = 0;
    const CpuClock cpu;
    for (auto _ : state) {
        full->click();
        while (page->IsBusy()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (page->LastOutcome().ending != scan::ScanEnding::Completed) {
            state.SkipWithError("scan did not complete");
            return;
        }
        chunks += page->LastOutcome().chunksRead;
    }
    ReportChunks(state, chunks, cpu, true);
}

// Repeated and (with --benchmark_enable_random_interleaving=true) interleaved, so that all three
// see the same load of a shared machine; compare the medians.
void BM_EngineFullScan(benchmark::State& state) { EngineFullScans(state, false); }
void BM_EngineOnThread(benchmark::State& state) { EngineFullScans(state, true); }
BENCHMARK(BM_EngineFullScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(20);
BENCHMARK(BM_EngineOnThread)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(20);
BENCHMARK(BM_PageFullScan)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(20);

}  // namespace
}  // namespace vellumin::bench
