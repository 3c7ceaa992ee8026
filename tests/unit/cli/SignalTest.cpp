// The CLI's signals: Ctrl-C as a request, the hold while a drive is being changed, a download
// ended by SIGTERM or SIGHUP. Each test starts from the dispositions it needs, whatever the
// runner inherited (a background job gets SIGINT ignored, nohup SIGHUP).

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "ata/Registers.h"
#include "cli/Command.h"
#include "cli/Interrupt.h"
#include "platform/sim/SimPlatform.h"

namespace vellumin::cli {
namespace {

namespace fs = std::filesystem;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Sets every signal of kSignals to `handler` for the scope and restores what was there.
class Dispositions {
public:
    explicit Dispositions(void (*handler)(int)) {
        for (int signal : kSignals) {
            struct sigaction action {};
            action.sa_handler = handler;
            sigemptyset(&action.sa_mask);
            sigaction(signal, &action, &m_saved[Index(signal)]);
        }
    }
    ~Dispositions() {
        for (int signal : kSignals) {
            sigaction(signal, &m_saved[Index(signal)], nullptr);
        }
    }
    static int Index(int signal) { return signal == SIGINT ? 0 : signal == SIGTERM ? 1 : 2; }

private:
    struct sigaction m_saved[3]{};
};

void (*Handler(int signal))(int) {
    struct sigaction current {};
    sigaction(signal, nullptr, &current);
    return current.sa_handler;
}

TEST(CliSignals, AnInheritedIgnoreStaysIgnored) {
    Dispositions ignored(SIG_IGN);
    std::atomic<int32_t> request{0};
    {
        InterruptAsRequest interrupt(request, "note\n", EndingSignals::All);
        SignalHold hold("note\n");
        hold.Begin();
        for (int signal : kSignals) {
            EXPECT_EQ(Handler(signal), SIG_IGN) << signal;
            raise(signal);
        }
    }
    for (int signal : kSignals) {
        EXPECT_EQ(Handler(signal), SIG_IGN) << signal;
    }
    EXPECT_EQ(request.load(), 0);
    EXPECT_EQ(TakeDeferredSignal(), 0);
}

// The lab's drives as the test sees them: at each command it notes whether SIGTERM is held,
// and while the erase command runs the signals arrive.
class SignalingDrives final : public platform::ForwardingDriveSystem {
public:
    explicit SignalingDrives(platform::DriveSystem& lab) : ForwardingDriveSystem(lab) {}
    std::vector<std::pair<uint8_t, bool>> heldAt;  // command, SIGTERM held

    platform::DriveHandlePtr WrapHandle(platform::DriveHandlePtr handle) override {
        return std::make_unique<Handle>(std::move(handle), *this);
    }

private:
    class Handle final : public platform::DriveHandle {
    public:
        Handle(platform::DriveHandlePtr inner, SignalingDrives& owner)
            : m_inner(std::move(inner)), m_owner(owner) {}
        platform::PassThroughResult PassThrough(ata::AtaPassThroughRequest& request) override {
            const auto& input = request.currentTaskFile;
            m_owner.heldAt.emplace_back(input.command, Handler(SIGTERM) != SIG_DFL);
            const bool erase =
                input.command == ata::cmd::kSecurityEraseUnit ||
                (input.command == ata::cmd::kSmart && input.features != ata::cmd::kSmartReadData);
            if (erase) {
                for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGTERM}) {
                    raise(signal);  // handled before raise returns; the test dies if not held
                }
            }
            return m_inner->PassThrough(request);
        }
        std::optional<uint64_t> SectorCount() override { return m_inner->SectorCount(); }
        bool Flush() override { return m_inner->Flush(); }

    private:
        platform::DriveHandlePtr m_inner;
        SignalingDrives& m_owner;
    };

};

struct Lent final : platform::Platform {
    Lent(platform::DriveSystem& drives, platform::System& system)
        : drives(drives), system(system) {}
    platform::DriveSystem& Drives() override { return drives; }
    platform::System& Sys() override { return system; }
    platform::DriveSystem& drives;
    platform::System& system;
};

// What the program writes to its standard error file itself (a signal handler's note).
class CapturedStandardError {
public:
    CapturedStandardError() : m_path(fs::path(testing::TempDir()) / "vellumin-stderr.txt") {
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        const int file = open(m_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(file, STDERR_FILENO);
        close(file);
    }
    std::string Take() {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        std::ifstream in(m_path);
        std::stringstream text;
        text << in.rdbuf();
        fs::remove(m_path);
        return text.str();
    }

private:
    fs::path m_path;
    int m_saved = -1;
};

// From SECURITY SET PASSWORD (a vendor erase: from its command) to the end, the signals wait:
// said once, and the first one ends the program after the report.
TEST(CliSignals, TheEraseHoldsSignalsFromTheFirstChange) {
    Dispositions byDefault(SIG_DFL);
    struct Case {
        int drive;
        uint8_t firstHeld;
    } cases[] = {
        {14, ata::cmd::kSecuritySetPassword},  // UNLOCK and DISABLE PASSWORD come before
        {1, ata::cmd::kSmart},                 // the controller's quick erase
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.drive);
        auto lab = platform::sim::CreateSimLab();
        SignalingDrives seen(lab->Drives());
        std::ostringstream out, err;
        CapturedStandardError standardError;
        const int code = RunCli({"erase", std::to_string(c.drive), "--quick", "--yes"}, out, err,
                                std::make_unique<Lent>(seen, lab->Sys()));
        const std::string said = standardError.Take();
        EXPECT_EQ(code, ExitOk) << err.str();
        EXPECT_NE(out.str().find("Ending: done\n"), std::string::npos) << out.str();
        EXPECT_EQ(
            said,
            "\nThe erase cannot be interrupted; the program ends when the erase has ended.\n");
        EXPECT_EQ(TakeDeferredSignal(), SIGTERM);
        const auto first = std::find_if(seen.heldAt.begin(), seen.heldAt.end(),
                                        [](const auto& entry) { return entry.second; });
        ASSERT_NE(first, seen.heldAt.end());
        EXPECT_EQ(first->first, c.firstHeld);
        EXPECT_TRUE(std::all_of(first, seen.heldAt.end(), [](const auto& e) { return e.second; }));
        for (int signal : kSignals) {
            EXPECT_EQ(Handler(signal), SIG_DFL) << "given back after the erase";
        }
    }
}

// SIGTERM and SIGHUP cancel a download as Ctrl-C does, leaving no partial file, and then end
// the program; Ctrl-C only cancels.
TEST(CliSignals, ADownloadEndedBySignalLeavesNoFile) {
    Dispositions byDefault(SIG_DFL);
    const std::string lab = testing::TempDir() + "slow-download-lab.json";
    std::ofstream(lab) << R"({"machine": {
        "firmwareAnswers": [{"reply": "P/N=X<br>Flash=F<br>Controller=C<br>Current FW version=NEW<br>Download Url=http://{service}/fw/slow.bin<br>"}],
        "firmwareFiles": [{"path": "/fw/slow.bin", "content": "x", "size": 2000000,
                           "bytesPerSecond": 200000}]},
      "drives": [{"model": "VQ M500 SSD", "serial": "123456789012", "firmware": "OLD",
                  "sectors": 1000}]})";
    for (int signal : kSignals) {
        SCOPED_TRACE(signal);
        const fs::path folder =
            fs::path(testing::TempDir()) / ("signal-download-" + std::to_string(signal));
        fs::create_directories(folder);
        std::thread sender([&] {
            // The partial file exists only once the handlers are in place.
            for (int i = 0; i < 5000 && fs::is_empty(folder); ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            kill(getpid(), signal);
        });
        std::ostringstream out, err;
        const int code = RunCli(
            {"--simulate=" + lab, "update", "0", "--yes", "--download", folder.string()}, out, err);
        sender.join();
        EXPECT_EQ(code, ExitStopped) << out.str() << err.str();
        EXPECT_TRUE(fs::is_empty(folder));
        EXPECT_EQ(TakeDeferredSignal(), signal == SIGINT ? 0 : signal);
        fs::remove_all(folder);
    }
}

}  // namespace
}  // namespace vellumin::cli
