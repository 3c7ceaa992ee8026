// The scan page inside the real main window: what the window does to a running scan.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include <QAbstractButton>
#include <QTimer>

#include "app/CVelluminDlg.h"
#include "pages/scan/CDiagnosticS.h"
#include "platform/sim/SimPlatform.h"
#include "ui/UiThread.h"

namespace vellumin::scan {

namespace {

// Runs `body` inside a visit of the main window on page 3, which the close box then ends.
void InScanVisit(platform::sim::SimPlatform& lab,
                 const std::function<void(app::CVelluminDlg&, CDiagnosticS&)>& body) {
    app::CVelluminDlg main(lab);
    main.SetCurrentPage(3);
    bool ran = false;
    QTimer::singleShot(0, &main, [&] {
        auto* page = dynamic_cast<CDiagnosticS*>(main.Page(3));
        ASSERT_NE(page, nullptr);
        body(main, *page);
        ran = true;
        main.close();  // the close box: a scan is stopped, the pages go, the visit ends
    });
    EXPECT_EQ(main.DoModal(), 2);
    EXPECT_TRUE(ran);
}

TEST(ScanInMainWindow, RefillAndCloseDuringAScan) {
    platform::sim::DriveDescription drive;
    drive.model = "VQ TEST SSD";
    drive.sectors = 2'000'000;
    drive.readLatencyMicroseconds = 300;
    platform::sim::LabDescription desc;
    desc.drives[0] = std::move(drive);
    platform::sim::SimPlatform lab(std::move(desc));

    InScanVisit(lab, [](app::CVelluminDlg& main, CDiagnosticS& page) {
        page.ItemAs<QAbstractButton>(CDiagnosticS::IDC_FULL_SCAN)->click();
        ASSERT_TRUE(page.IsBusy());
        EXPECT_FALSE(main.IsItemEnabled(app::CVelluminDlg::IDC_HOME));
        EXPECT_FALSE(main.IsItemEnabled(app::CVelluminDlg::IDC_PAGE_BUTTON_1));

        // Picking the drive again refills the page, which offers the scan buttons anew.
        main.ShowFeaturePage(3);
        page.ItemAs<QAbstractButton>(CDiagnosticS::IDC_QUICK_SCAN)->click();
        EXPECT_TRUE(page.IsBusy());
    });
    const auto reads = lab.Device(0)->Stats().reads;
    EXPECT_LT(reads, 7906u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(lab.Device(0)->Stats().reads, reads) << "the scan ended with the visit";
}

TEST(ScanInMainWindow, ScanLocksTheDriveListAndAnotherDriveClearsItsResults) {
    platform::sim::LabDescription desc;
    for (int slot : {0, 1}) {
        platform::sim::DriveDescription drive;
        drive.model = "VQ TEST SSD " + std::to_string(slot);
        drive.sectors = 200'000;
        drive.readLatencyMicroseconds = slot == 0 ? 2000 : 0;
        desc.drives[slot] = std::move(drive);
    }
    platform::sim::SimPlatform lab(std::move(desc));

    InScanVisit(lab, [](app::CVelluminDlg& main, CDiagnosticS& page) {
        page.ItemAs<QAbstractButton>(CDiagnosticS::IDC_QUICK_SCAN)->click();
        ASSERT_TRUE(page.IsBusy());
        EXPECT_FALSE(main.IsItemEnabled(app::CVelluminDlg::IDC_DRIVE_LIST));
        ui::WaitUntil([&] { return !page.IsBusy(); });
        EXPECT_TRUE(main.IsItemEnabled(app::CVelluminDlg::IDC_DRIVE_LIST));
        EXPECT_TRUE(page.IsItemShown(CDiagnosticS::IDC_ITEMS));

        main.DriveList().SetSelectedRow(1);
        EXPECT_EQ(page.PhysicalDrive(), 1);
        for (int id : {CDiagnosticS::IDC_PROGRESS, CDiagnosticS::IDC_ITEMS, CDiagnosticS::IDC_PERCENT,
                       CDiagnosticS::IDC_ELAPSED, CDiagnosticS::IDC_RESULT}) {
            EXPECT_FALSE(page.IsItemShown(id)) << id;
        }
        EXPECT_TRUE(page.IsItemShown(CDiagnosticS::IDC_QUICK_SCAN));
    });
}

}  // namespace

}  // namespace vellumin::scan
