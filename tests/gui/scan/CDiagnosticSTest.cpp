#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>

#include <QAbstractButton>
#include <QApplication>

#include "pages/scan/CDiagnosticS.h"
#include "platform/sim/SimPlatform.h"
#include "ui/UiThread.h"

namespace {

using namespace vellumin;
using platform::sim::DriveSpec;
using platform::sim::SimPlatform;

constexpr int kPageArea = 1020;
constexpr int kLocked[] = {1001, 1002, 1004, 1005, 1006, 1022, 1026};
constexpr int kUntouched[] = {1003, 1024};

constexpr ui::ControlTemplate kMainControls[] = {
    {1001, ui::ControlKind::PushButton, 330, 9, 60, 27, "1"},  {1002, ui::ControlKind::PushButton, 330, 36, 60, 27, "2"},
    {1003, ui::ControlKind::PushButton, 390, 9, 60, 27, "3"},  {1004, ui::ControlKind::PushButton, 390, 36, 59, 27, "4"},
    {1005, ui::ControlKind::PushButton, 450, 9, 59, 27, "5"},  {1006, ui::ControlKind::PushButton, 449, 36, 60, 27, "6"},
    {1022, ui::ControlKind::PushButton, 12, 246, 25, 21, "H"}, {1024, ui::ControlKind::PushButton, 37, 246, 25, 21, "A"},
    {1026, ui::ControlKind::PushButton, 61, 246, 28, 21, "R"}, {kPageArea, ui::ControlKind::Tab, 180, 75, 330, 190, ""},
};
constexpr ui::DialogTemplate kMainTemplate{102, 520, 280, "Vellumin", ui::kDialogNone, kMainControls};

// The page exactly as the main window holds it: inside the page area of a window that has the
// buttons a scan locks.
struct ScanPageTest : ::testing::Test {
    // Lets the tests tick the elapsed-time timer without waiting for real seconds.
    struct Page : CDiagnosticS {
        using CDiagnosticS::CDiagnosticS;
        using CDiagnosticS::OnTimer;
    };

    void SetUp() override {
        DriveSpec drive;
        drive.model = "VQ TEST SSD";
        drive.sectors = 2'000'000;
        platform::sim::LabSpec spec;
        spec.drives[1] = std::move(drive);
        lab = std::make_unique<SimPlatform>(std::move(spec));
        main = std::make_unique<ui::Dialog>(kMainTemplate);
        main->Create(nullptr);
        page = new Page(*lab);  // owned by the page area once created
        page->CreatePage(main->Item(kPageArea));
        page->setHidden(true);  // as the main window creates its pages
        page->SetPhysicalDrive(1);
        page->ShowWindow(true);
    }
    void TearDown() override { main.reset(); }

    platform::sim::SimDevice& Device() { return *lab->Device(1); }
    void Click(int id) { page->ItemAs<QAbstractButton>(id)->click(); }
    void WaitForEnd() {
        ui::WaitUntil([&] { return !page->IsBusy(); });
    }
    std::string Text(int id) { return page->ItemText(id); }
    bool Shown(int id) { return page->IsItemShown(id); }
    bool Enabled(int id) { return page->IsItemEnabled(id); }
    void ExpectMainLocked(bool locked) {
        for (int id : kLocked) {
            EXPECT_EQ(main->IsItemEnabled(id), !locked) << id;
        }
        for (int id : kUntouched) {
            EXPECT_TRUE(main->IsItemEnabled(id)) << id;
        }
    }
    // Lets the UI thread run for a while, as a user watching the scan would.
    void RunEventsFor(std::chrono::milliseconds time) {
        const auto until = std::chrono::steady_clock::now() + time;
        ui::WaitUntil([&] { return std::chrono::steady_clock::now() >= until; });
    }

    std::unique_ptr<SimPlatform> lab;
    std::unique_ptr<ui::Dialog> main;
    Page* page = nullptr;
};

TEST_F(ScanPageTest, FreshPageOffersOnlyTheScanButtons) {
    for (int id : {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                   CDiagnosticS::IDC_ELAPSED, CDiagnosticS::IDC_STOP, CDiagnosticS::IDC_RESULT}) {
        EXPECT_FALSE(Shown(id)) << id;
    }
    EXPECT_TRUE(Shown(CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_TRUE(Shown(CDiagnosticS::IDC_FULL_SCAN));
    EXPECT_FALSE(page->IsBusy());
}

TEST_F(ScanPageTest, FullScanRunsLockedAndEndsCompleted) {
    Device().SetReadLatencyMicroseconds(100);
    Click(CDiagnosticS::IDC_FULL_SCAN);
    ASSERT_TRUE(page->IsBusy());
    EXPECT_FALSE(Enabled(CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_FALSE(Enabled(CDiagnosticS::IDC_FULL_SCAN));
    EXPECT_TRUE(page->IsTimerSet(CDiagnosticS::kElapsedTimer));
    EXPECT_EQ(Text(CDiagnosticS::IDC_ELAPSED), "Elapsed Time : 0 hr  0 min  0 sec");
    EXPECT_EQ(Text(CDiagnosticS::IDC_RESULT), "");
    for (int id : {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                   CDiagnosticS::IDC_ELAPSED}) {
        EXPECT_TRUE(Shown(id)) << id;
    }
    ExpectMainLocked(true);

    // The position reaches the screen while the worker runs on.
    ui::WaitUntil([&] { return Text(CDiagnosticS::IDC_ITEMS).rfind("Items Scanned : ", 0) == 0 || !page->IsBusy(); });
    RunEventsFor(std::chrono::milliseconds(100));
    if (page->IsBusy()) {
        EXPECT_TRUE(Shown(CDiagnosticS::IDC_STOP));
        const std::string items = Text(CDiagnosticS::IDC_ITEMS);
        EXPECT_EQ(items.substr(items.size() - 10), "/2000000  ");
    }

    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 2000000 /2000000 ");
    EXPECT_EQ(Text(CDiagnosticS::IDC_PERCENT), "100 %");
    EXPECT_EQ(Text(CDiagnosticS::IDC_RESULT), "");
    EXPECT_TRUE(Shown(CDiagnosticS::IDC_RESULT));
    EXPECT_FALSE(Shown(CDiagnosticS::IDC_STOP));
    EXPECT_EQ(page->ProgressBar().GetPos(), 2'000'000);
    EXPECT_TRUE(Enabled(CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_TRUE(Enabled(CDiagnosticS::IDC_FULL_SCAN));
    EXPECT_FALSE(page->IsTimerSet(CDiagnosticS::kElapsedTimer));
    ExpectMainLocked(false);
    EXPECT_EQ(Device().Stats().reads, 7906u);
}

TEST_F(ScanPageTest, StopEndsWithPositionZero) {
    Device().SetReadLatencyMicroseconds(500);
    Click(CDiagnosticS::IDC_FULL_SCAN);
    ui::WaitUntil([&] { return Shown(CDiagnosticS::IDC_STOP); });
    Click(CDiagnosticS::IDC_STOP);
    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 0 /2000000 ");
    EXPECT_EQ(Text(CDiagnosticS::IDC_PERCENT), "0 %");
    EXPECT_EQ(Text(CDiagnosticS::IDC_RESULT), "");
    EXPECT_EQ(page->ProgressBar().GetPos(), 0);
    EXPECT_LT(Device().Stats().reads, 7906u);
    ExpectMainLocked(false);
}

TEST_F(ScanPageTest, FailureShowsTheChunkAndItsReason) {
    Device().AddFault({1'000'000, 1, 0x40, false});
    Click(CDiagnosticS::IDC_FULL_SCAN);
    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 999856 /2000000 ");
    EXPECT_EQ(Text(CDiagnosticS::IDC_PERCENT), "50 %");
    EXPECT_EQ(Text(CDiagnosticS::IDC_RESULT), "Msg code : 1000000");
    EXPECT_EQ(page->ProgressBar().GetPos(), 999'856);
}

TEST_F(ScanPageTest, DriveThatCannotBeScannedShowsOnlyTheReason) {
    struct Case {
        std::function<void(SimPlatform&)> setUp;
        const char* text;
    };
    const Case cases[] = {
        {[](SimPlatform& lab) { lab.RemoveDrive(1); }, "The drive cannot be opened."},
        {[](SimPlatform& lab) {
             DriveSpec drive;
             drive.sectors = 2'000'000;
             drive.transport.sectorCountFails = true;
             lab.SetDrive(1, drive);
         },
         "The size of the drive cannot be read."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        c.setUp(*lab);
        Click(CDiagnosticS::IDC_QUICK_SCAN);
        WaitForEnd();
        EXPECT_EQ(Text(CDiagnosticS::IDC_RESULT), c.text);
        EXPECT_TRUE(Shown(CDiagnosticS::IDC_RESULT));
        for (int id : {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                       CDiagnosticS::IDC_STOP}) {
            EXPECT_FALSE(Shown(id)) << id;
        }
        EXPECT_TRUE(Enabled(CDiagnosticS::IDC_FULL_SCAN));
        ExpectMainLocked(false);
    }
}

TEST_F(ScanPageTest, HidingAndShowingReturnsToTheFreshPageOnlyWhenIdle) {
    Device().SetReadLatencyMicroseconds(300);
    Click(CDiagnosticS::IDC_QUICK_SCAN);
    page->ShowWindow(false);
    page->ShowWindow(true);
    EXPECT_TRUE(Shown(CDiagnosticS::IDC_PROGRESS)) << "a running scan keeps its controls";
    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 2000000 /2000000 ");
    page->ShowWindow(false);
    page->ShowWindow(true);
    for (int id : {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                   CDiagnosticS::IDC_ELAPSED, CDiagnosticS::IDC_STOP, CDiagnosticS::IDC_RESULT}) {
        EXPECT_FALSE(Shown(id)) << id;
    }
}

TEST_F(ScanPageTest, RefillDuringAScanDoesNotStartASecond) {
    Device().SetReadLatencyMicroseconds(500);
    Click(CDiagnosticS::IDC_FULL_SCAN);
    // What the main window does when the user picks a drive while the page is shown.
    page->SetPhysicalDrive(1);
    page->EnableItem(CDiagnosticS::IDC_QUICK_SCAN, true);
    main->EnableItem(1001, true);
    Click(CDiagnosticS::IDC_QUICK_SCAN);
    RunEventsFor(std::chrono::milliseconds(100));
    EXPECT_FALSE(Enabled(CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_FALSE(main->IsItemEnabled(1001));
    Click(CDiagnosticS::IDC_STOP);
    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 0 /2000000 ") << "the full scan was the only one";
}

TEST_F(ScanPageTest, ElapsedTimeCountsTimerTicks) {
    Device().SetReadLatencyMicroseconds(500);
    Click(CDiagnosticS::IDC_FULL_SCAN);
    const std::pair<int, const char*> ticks[] = {{59, "Elapsed Time : 0 hr  0 min  59 sec"},
                                                 {1, "Elapsed Time : 0 hr  1 min  0 sec"},
                                                 {3601, "Elapsed Time : 1 hr  1 min  1 sec"}};
    for (const auto& [count, text] : ticks) {
        for (int i = 0; i < count; ++i) {
            page->OnTimer(CDiagnosticS::kElapsedTimer);
        }
        EXPECT_EQ(Text(CDiagnosticS::IDC_ELAPSED), text);
    }
    Click(CDiagnosticS::IDC_STOP);
    WaitForEnd();
    EXPECT_EQ(Text(CDiagnosticS::IDC_ELAPSED), "Elapsed Time : 1 hr  1 min  1 sec") << "the duration stays";
}

TEST_F(ScanPageTest, LeavingDuringAScanStopsIt) {
    Device().SetReadLatencyMicroseconds(500);
    Click(CDiagnosticS::IDC_FULL_SCAN);
    page->StopAndWait();
    EXPECT_FALSE(page->IsBusy());
    EXPECT_EQ(Text(CDiagnosticS::IDC_ITEMS), "Items Scanned : 0 /2000000 ");
    ExpectMainLocked(false);

    // Closing the window with the scan running: the page stops and joins its worker.
    Click(CDiagnosticS::IDC_FULL_SCAN);
    ASSERT_TRUE(page->IsBusy());
    main.reset();
    page = nullptr;
    const auto reads = Device().Stats().reads;
    EXPECT_LT(reads, 7906u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(Device().Stats().reads, reads) << "no worker outlives the page";
}

}  // namespace
