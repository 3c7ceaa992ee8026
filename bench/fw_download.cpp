// A 64 MiB firmware download from the loopback update server: through the download engine,
// through the firmware-update page offscreen, and with `curl -o` from the same server. The
// page must not slow the transfer by its progress display (target: both at least 0.9 of curl).
// The destination folder is VELLUMIN_BENCH_FOLDER, else /dev/shm, else /tmp.

#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <QAbstractButton>
#include <QApplication>

#include "pages/fwupdate/CFWUpdate.h"
#include "pages/fwupdate/CFolderDialog.h"
#include "pages/fwupdate/DownloadEngine.h"
#include "platform/sim/SimDevice.h"
#include "platform/sim/SimPlatform.h"
#include "platform/sim/UpdateServer.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"

namespace vellumin::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr uint64_t kFileBytes = 64ull * 1024 * 1024;
constexpr const char* kFilePath = "/fw/bench64.bin";

struct Service {
    Service()
        : server([](const std::string&) {
              platform::sim::ServedReply reply;
              reply.body =
                  "P/N=B<br>Flash=F<br>Controller=C<br>Current FW version=NEW<br>Download "
                  "Url=http://{service}" +
                  std::string(kFilePath) + "<br>";
              return reply;
          }) {
        platform::sim::ServedReply file;
        file.body.resize(kFileBytes);
        for (size_t i = 0; i < file.body.size(); ++i) {
            file.body[i] = static_cast<char>(i * 31 + (i >> 12));
        }
        server.SetFile(kFilePath, std::move(file));
        const char* chosen = std::getenv("VELLUMIN_BENCH_FOLDER");
        const std::string base = chosen != nullptr        ? chosen
                                 : fs::exists("/dev/shm") ? "/dev/shm"
                                                          : "/tmp";
        std::string pattern = base + "/vellumin-bench-XXXXXX";
        folder = mkdtemp(pattern.data());
    }
    ~Service() { fs::remove_all(folder); }
    std::string Url() const { return "http://" + server.Host() + kFilePath; }
    std::string Saved() const { return folder + "/bench64.bin"; }

    platform::sim::UpdateServer server;
    std::string folder;
};

Service& TheService() {
    static Service service;
    return service;
}

void Finish(benchmark::State& state, uint64_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(bytes));
    fs::remove(TheService().Saved());
}

void BM_CurlCli(benchmark::State& state) {
    Service& service = TheService();
    const std::string command =
        "curl -s --noproxy '*' -o '" + service.Saved() + "' '" + service.Url() + "'";
    uint64_t bytes = 0;
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("curl failed");
            return;
        }
        bytes += fs::file_size(service.Saved());
    }
    Finish(state, bytes);
}

struct Blocks : fwupdate::DownloadObserver {
    uint64_t last = 0;
    void OnBlock(uint64_t received) override { last = received; }
};

void BM_Engine(benchmark::State& state) {
    Service& service = TheService();
    uint64_t bytes = 0;
    for (auto _ : state) {
        std::atomic<int> cancel{0};
        Blocks blocks;
        const auto outcome = fwupdate::RunDownload(service.Url(), service.folder, cancel, blocks);
        if (outcome.ending != fwupdate::DownloadEnding::Completed) {
            state.SkipWithError(outcome.statusText.c_str());
            return;
        }
        bytes += outcome.received;
    }
    Finish(state, bytes);
}

constexpr int kPageArea = 1020;
constexpr ui::ControlTemplate kMainControls[] = {
    {kPageArea, ui::ControlKind::Tab, 180, 75, 330, 190, ""}};
constexpr ui::DialogTemplate kMainTemplate{102,          520, 280, "Vellumin", ui::DialogNone,
                                           kMainControls};

struct BenchLab : platform::sim::SimPlatform {
    BenchLab() : SimPlatform(platform::sim::DefaultLab()) {}
    std::string UpdateServiceHost() override { return TheService().server.Host(); }
};

void BM_Page(benchmark::State& state) {
    Service& service = TheService();
    BenchLab lab;
    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes scoped(boxes);
    ui::Dialog main(kMainTemplate);
    main.Create(nullptr);
    auto* page = new fwupdate::CFWUpdate(lab);  // owned by the page area
    page->CreatePage(main.Item(kPageArea));
    main.show();
    page->ShowWindow(true);
    const ata::IdentifyBlock identify = lab.Device(3)->IdentifyData();
    boxes.Answer(ui::kIdYes);
    page->StartUpdateQuery(identify);
    ui::WaitUntil([&] { return !page->IsBusy(); });
    {
        fwupdate::CFolderDialog::ScopedChooser chooser(
            [&](const std::string&) { return std::optional(service.folder); });
        page->ItemAs<QAbstractButton>(fwupdate::CFWUpdate::IDC_BROWSE)->click();
    }
    auto* button = page->ItemAs<QAbstractButton>(fwupdate::CFWUpdate::IDC_DOWNLOAD);
    uint64_t bytes = 0;
    for (auto _ : state) {
        button->click();
        while (page->IsBusy()) {
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        }
        if (page->LastDownload().ending != fwupdate::DownloadEnding::Completed) {
            state.SkipWithError(page->LastDownload().statusText.c_str());
            return;
        }
        bytes += page->LastDownload().received;
    }
    Finish(state, bytes);
}

// Repeated and (with --benchmark_enable_random_interleaving=true) interleaved, so that all three
// see the same load of a shared machine; compare the medians.
BENCHMARK(BM_CurlCli)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(10);
BENCHMARK(BM_Engine)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(10);
BENCHMARK(BM_Page)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(10);

}  // namespace
}  // namespace vellumin::bench
