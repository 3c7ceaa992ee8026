#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include <QAbstractButton>

#include "pages/scan/CDiagnosticS.h"
#include "platform/sim/SimPlatform.h"
#include "ui/UiThread.h"

namespace vellumin::scan {

namespace {

using platform::sim::DriveDescription;
using platform::sim::SimPlatform;
using P = CDiagnosticS;

constexpr int kPageArea = 1020;
constexpr int kLocked[] = {1001, 1002, 1004, 1005, 1006, 1022, 1026};
constexpr int kResults[] = {P::IDC_PROGRESS, P::IDC_ITEMS, P::IDC_PERCENT, P::IDC_ELAPSED, P::IDC_STOP, P::IDC_RESULT};

constexpr ui::ControlTemplate Button(int id) { return {id, ui::ControlKind::PushButton, 0, 0, 20, 10, "b"}; }
constexpr ui::ControlTemplate kMainControls[] = {
    Button(1001), Button(1002), Button(1003), Button(1004), Button(1005), Button(1006), Button(1022),
    Button(1024), Button(1026), {kPageArea, ui::ControlKind::Tab, 180, 75, 330, 190, ""},
};
constexpr ui::DialogTemplate kMainTemplate{102, 520, 280, "Vellumin", ui::DialogNone, kMainControls};

// The page as the main window holds it: created hidden in the page area of a window with the
// buttons a scan locks, then shown.
struct ScanPageTest : ::testing::Test {
    struct Page : CDiagnosticS {
        using CDiagnosticS::CDiagnosticS;
        using CDiagnosticS::OnTimer;  // ticks without waiting for real seconds
    };

    void SetUp() override {
        DriveDescription drive;
        drive.model = "VQ TEST SSD";
        drive.sectors = 2'000'000;
        platform::sim::LabDescription desc;
        desc.drives[1] = std::move(drive);
        lab = std::make_unique<SimPlatform>(std::move(desc));
        main = std::make_unique<ui::Dialog>(kMainTemplate);
        main->Create(nullptr);
        page = new Page(*lab);  // owned by the page area
        page->CreatePage(main->Item(kPageArea));
        page->setHidden(true);
        page->SetPhysicalDrive(1);
        page->ShowWindow(true);
    }

    void Click(int id) { page->ItemAs<QAbstractButton>(id)->click(); }
    void Start(int id, uint32_t latencyUs) {
        lab->Device(1)->SetReadLatencyMicroseconds(latencyUs);
        Click(id);
    }
    void WaitForEnd() {
        ui::WaitUntil([&] { return !page->IsBusy(); });
    }
    void RunEventsFor(std::chrono::milliseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        ui::WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
    }
    std::string Text(int id) { return page->ItemText(id); }
    void ExpectShown(std::initializer_list<int> ids, bool shown) {
        for (int id : ids) {
            EXPECT_EQ(page->IsItemShown(id), shown) << id;
        }
    }
    void ExpectLocked(bool locked) {
        EXPECT_EQ(page->IsItemEnabled(P::IDC_QUICK_SCAN), !locked);
        EXPECT_EQ(page->IsItemEnabled(P::IDC_FULL_SCAN), !locked);
        for (int id : kLocked) {
            EXPECT_EQ(main->IsItemEnabled(id), !locked) << id;
        }
        EXPECT_TRUE(main->IsItemEnabled(1003) && main->IsItemEnabled(1024)) << "its own page button and About stay";
    }
    void ExpectFinal(const char* items, const char* percent, const char* result, int barPos) {
        EXPECT_EQ(Text(P::IDC_ITEMS), items);
        EXPECT_EQ(Text(P::IDC_PERCENT), percent);
        EXPECT_EQ(Text(P::IDC_RESULT), result);
        EXPECT_EQ(page->ProgressBar().GetPos(), barPos);
        ExpectShown({P::IDC_RESULT}, true);
        ExpectShown({P::IDC_STOP}, false);
        EXPECT_FALSE(page->IsTimerSet(P::kElapsedTimer));
        ExpectLocked(false);
    }

    std::unique_ptr<SimPlatform> lab;
    std::unique_ptr<ui::Dialog> main;
    Page* page = nullptr;
};

TEST_F(ScanPageTest, FullScanRunsLockedAndEndsCompleted) {
    Start(P::IDC_FULL_SCAN, 100);
    ASSERT_TRUE(page->IsBusy());
    ExpectLocked(true);
    EXPECT_TRUE(page->IsTimerSet(P::kElapsedTimer));
    EXPECT_EQ(Text(P::IDC_ELAPSED), "Elapsed Time : 0 hr  0 min  0 sec");
    EXPECT_EQ(Text(P::IDC_RESULT), "");
    ExpectShown({P::IDC_PROGRESS, P::IDC_ITEMS, P::IDC_PERCENT, P::IDC_ELAPSED}, true);

    // The published position reaches the screen while the worker runs on.
    ui::WaitUntil([&] { return !Text(P::IDC_ITEMS).empty() || !page->IsBusy(); });
    if (page->IsBusy()) {
        ExpectShown({P::IDC_STOP}, true);
        const std::string items = Text(P::IDC_ITEMS);
        EXPECT_EQ(items.rfind("Items Scanned : ", 0), 0u) << items;
        EXPECT_EQ(items.substr(items.size() - 10), "/2000000  ");
    }
    WaitForEnd();
    ExpectFinal("Items Scanned : 2000000 /2000000 ", "100 %", "", 2'000'000);
    EXPECT_EQ(lab->Device(1)->Stats().reads, 7906u);
}

TEST_F(ScanPageTest, StopAndFailureEndings) {
    Start(P::IDC_FULL_SCAN, 500);
    ui::WaitUntil([&] { return page->IsItemShown(P::IDC_STOP); });
    Click(P::IDC_STOP);
    WaitForEnd();
    ExpectFinal("Items Scanned : 0 /2000000 ", "0 %", "", 0);
    EXPECT_LT(lab->Device(1)->Stats().reads, 7906u);

    lab->Device(1)->AddFault({1'000'000, 1, 0x40, false});
    Start(P::IDC_FULL_SCAN, 0);
    WaitForEnd();
    ExpectFinal("Items Scanned : 999856 /2000000 ", "50 %", "Msg code : 1000000", 999'856);
}

TEST_F(ScanPageTest, DriveThatCannotBeScannedShowsOnlyTheReason) {
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { lab->RemoveDrive(1); }, "The drive cannot be opened."},
        {[&] {
             DriveDescription drive;
             drive.sectors = 2'000'000;
             drive.transport.sectorCountFails = true;
             lab->SetDrive(1, drive);
         },
         "The size of the drive cannot be read."},
    };
    for (const auto& [setUp, text] : cases) {
        SCOPED_TRACE(text);
        setUp();
        Click(P::IDC_QUICK_SCAN);
        WaitForEnd();
        EXPECT_EQ(Text(P::IDC_RESULT), text);
        ExpectShown({P::IDC_RESULT}, true);
        ExpectShown({P::IDC_PROGRESS, P::IDC_ITEMS, P::IDC_PERCENT, P::IDC_STOP}, false);
        ExpectLocked(false);
    }
}

// Why the drive was not reached stands under the result, whose text stays as it was; a read the
// drive itself failed was delivered and adds no such line, nor does the next scan keep one.
TEST_F(ScanPageTest, ReasonANotDeliveredCommandFailedStandsUnderTheResult) {
    const struct {
        std::function<void(DriveDescription&)> fault;
        const char* result;
        const char* detail;  // nullptr: the line stays hidden
    } cases[] = {
        {[](DriveDescription& d) { d.transport.undeliveredCommands = {0xC8, 0x25}; }, "DeviceIO error",
         "Physical drive 1: READ DMA: refused by the lab's transport"},
        {[](DriveDescription& d) { d.transport.openFails = true; }, "The drive cannot be opened.",
         "Physical drive 1 cannot be opened: held open by another program (errno 16: Device or "
         "resource busy)"},
        {[](DriveDescription& d) { d.faults.push_back({0, 1, 0x40, false}); }, "Msg code : 1000000", nullptr},
        {[](DriveDescription&) {}, "", nullptr},
    };
    for (const auto& c : cases) {
        DriveDescription drive;
        drive.sectors = 2'000'000;
        c.fault(drive);
        lab->SetDrive(1, drive);
        Click(P::IDC_QUICK_SCAN);
        WaitForEnd();
        EXPECT_EQ(Text(P::IDC_RESULT), c.result);
        EXPECT_EQ(page->IsItemShown(P::IDC_DETAIL), c.detail != nullptr) << c.result;
        if (c.detail) {
            EXPECT_EQ(Text(P::IDC_DETAIL), c.detail);
        }
    }
}

TEST_F(ScanPageTest, ShowingAndHidingReturnsToTheFreshPageOnlyWhenIdle) {
    for (int id : kResults) {
        EXPECT_FALSE(page->IsItemShown(id)) << "fresh page: " << id;
    }
    ExpectShown({P::IDC_QUICK_SCAN, P::IDC_FULL_SCAN}, true);

    Start(P::IDC_QUICK_SCAN, 300);
    page->ShowWindow(false);
    page->ShowWindow(true);
    ExpectShown({P::IDC_PROGRESS, P::IDC_ITEMS, P::IDC_PERCENT, P::IDC_ELAPSED}, true);
    WaitForEnd();
    EXPECT_EQ(Text(P::IDC_ITEMS), "Items Scanned : 2000000 /2000000 ");
    page->ShowWindow(false);
    page->ShowWindow(true);
    for (int id : kResults) {
        EXPECT_FALSE(page->IsItemShown(id)) << "after a scan: " << id;
    }
}

TEST_F(ScanPageTest, RefillDuringAScanDoesNotStartASecond) {
    Start(P::IDC_FULL_SCAN, 500);
    // What the main window does when the user picks a drive while the page is shown.
    page->SetPhysicalDrive(1);
    page->EnableItem(P::IDC_QUICK_SCAN, true);
    main->EnableItem(1001, true);
    Click(P::IDC_QUICK_SCAN);
    RunEventsFor(std::chrono::milliseconds(100));
    ExpectLocked(true);
    Click(P::IDC_STOP);
    WaitForEnd();
    EXPECT_EQ(Text(P::IDC_ITEMS), "Items Scanned : 0 /2000000 ") << "the full scan was the only one";
}

TEST_F(ScanPageTest, ElapsedTimeCountsTimerTicks) {
    Start(P::IDC_FULL_SCAN, 500);
    const std::pair<int, const char*> ticks[] = {{59, "Elapsed Time : 0 hr  0 min  59 sec"},
                                                 {1, "Elapsed Time : 0 hr  1 min  0 sec"},
                                                 {3601, "Elapsed Time : 1 hr  1 min  1 sec"}};
    for (const auto& [count, text] : ticks) {
        for (int i = 0; i < count; ++i) {
            page->OnTimer(P::kElapsedTimer);
        }
        EXPECT_EQ(Text(P::IDC_ELAPSED), text);
    }
    Click(P::IDC_STOP);
    WaitForEnd();
    EXPECT_EQ(Text(P::IDC_ELAPSED), "Elapsed Time : 1 hr  1 min  1 sec") << "the duration stays";
}

TEST_F(ScanPageTest, LeavingDuringAScanStopsIt) {
    Start(P::IDC_FULL_SCAN, 500);
    page->StopAndWait();
    EXPECT_FALSE(page->IsBusy());
    EXPECT_EQ(Text(P::IDC_ITEMS), "Items Scanned : 0 /2000000 ");
    ExpectLocked(false);

    // Closing the window with the scan running: the page stops and joins its worker.
    Click(P::IDC_FULL_SCAN);
    ASSERT_TRUE(page->IsBusy());
    main.reset();
    const auto reads = lab->Device(1)->Stats().reads;
    EXPECT_LT(reads, 7906u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(lab->Device(1)->Stats().reads, reads) << "no worker outlives the page";
}

}  // namespace

}  // namespace vellumin::scan
