// The main window's page protocol, drive list and ways out, with real widgets on a scripted
// machine.
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <gtest/gtest.h>

#include "tests/gui/shell/FakePlatform.h"
#include "app/CAboutDlg.h"
#include "tests/gui/shell/PageWatch.h"
#include "ui/MessageBox.h"

namespace vellumin::app {

namespace {

using namespace shelltest;
using vellumin::ui::ScopedMessageBoxes;
using vellumin::ui::ScriptedMessageBoxes;

constexpr const char* kNotice = "Please ensure your SSD is connected with SATA interface!";

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }

    // Drives 0 and 2 are ours, 1 is a rotating disk, 3 another maker's.
    void TwoDrives() {
        machine.drives.identify[0] = MakeIdentify("VQ Alpha 256GB");
        machine.drives.identify[1] = MakeIdentify("VQ Spinner", 0x1C20);
        machine.drives.identify[2] = MakeIdentify("VQ Beta 512GB");
        machine.drives.identify[3] = MakeIdentify("XY Other");
    }

    std::unique_ptr<CVelluminDlg> Open(int page, int row) {
        auto dlg = std::make_unique<CVelluminDlg>(machine);
        dlg->SetPageFactory(WatchingFactory(log, work));
        dlg->SetCurrentPage(page);
        dlg->SetSelectedRow(row);
        dlg->Create(nullptr);
        return dlg;
    }

    static void Click(CVelluminDlg& dlg, int id) { dlg.ItemAs<QAbstractButton>(id)->click(); }

    FakePlatform machine;
    ProtocolLog log;
    Workload work;
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes useBoxes{boxes};
};

TEST_F(MainWindowTest, ErasePageGetsItsDriveAndTheFillMessageTwiceBeforeItShows) {
    TwoDrives();
    auto dlg = Open(4, 1);
    auto* erase = dynamic_cast<erase::CSecureErase*>(dlg->Page(4));
    ASSERT_NE(erase, nullptr);
    EXPECT_EQ(erase->PhysicalDrive(), 2);
    EXPECT_EQ(erase->ModelText(), "VQ Beta 512GB");
    EXPECT_EQ(erase->Identify(), &dlg->DriveTable().identify[2]);
    EXPECT_EQ(log.Of(4), (std::vector<std::string>{"fill-message 2", "fill-message 2", "show"}));
    EXPECT_TRUE(erase->IsItemEnabled(erase::CSecureErase::IDC_QUICK_ERASE));
    EXPECT_TRUE(erase->IsWindowShown());
    for (int n : {1, 2, 3, 5, 6}) {
        EXPECT_FALSE(dlg->Page(n)->IsWindowShown()) << n;
    }
    EXPECT_EQ(dlg->DriveList().GetItemCount(), 2);
    EXPECT_EQ(dlg->DriveList().GetItemText(0, 0).toStdString(), " VQ Alpha 256GB ");
    EXPECT_EQ(dlg->DriveList().GetSelectedRow(), 1);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(MainWindowTest, SelectingAnotherDriveRefillsOnlyTheShownSmartPage) {
    TwoDrives();
    auto dlg = Open(2, 0);
    EXPECT_EQ(log.Of(2), (std::vector<std::string>{"fill 0", "show"}));
    log.events.clear();
    dlg->Page(2)->ShowItem(pages::CSmartInfo::IDC_MESSAGE,
                           true);  // as a fill that took the message row

    dlg->DriveList().SetSelectedRow(1);

    EXPECT_EQ(log.Of(2), (std::vector<std::string>{"fill 2"}));  // message line hidden first
    EXPECT_EQ(dlg->SelectedRow(), 1);
    for (int n = 1; n <= 6; ++n) {
        EXPECT_EQ(dlg->Page(n)->PhysicalDrive(), 2) << n;
    }
    for (int n : {1, 3, 4, 5, 6}) {
        EXPECT_TRUE(log.Of(n).empty()) << n;
    }
}

TEST_F(MainWindowTest, PageButtonsSwitchPageLatchAndSideLabel) {
    TwoDrives();
    auto dlg = Open(1, 0);
    Click(*dlg, 1006);
    EXPECT_EQ(dlg->CurrentPage(), 6);
    EXPECT_TRUE(dlg->Page(6)->IsWindowShown());
    EXPECT_FALSE(dlg->Page(1)->IsWindowShown());
    EXPECT_TRUE(dlg->ItemAs<controls::CGdipButton>(1006)->IsLatched());
    EXPECT_FALSE(dlg->ItemAs<controls::CGdipButton>(1001)->IsLatched());
    EXPECT_TRUE(dlg->IsItemShown(1043));
    EXPECT_FALSE(dlg->IsItemShown(1033));

    Click(*dlg, 1005);
    auto* update = dynamic_cast<WatchedUpdate*>(dlg->Page(5));
    EXPECT_EQ(update->m_identify, &dlg->DriveTable().identify[0]);
    EXPECT_FALSE(update->IsItemShown(fwupdate::CFWUpdate::IDC_AHCI_NOTE));
    Click(*dlg, 1003);
    EXPECT_TRUE(dlg->Page(3)->IsItemShown(scan::CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_TRUE(dlg->Page(3)->IsItemEnabled(scan::CDiagnosticS::IDC_FULL_SCAN));
    EXPECT_FALSE(dlg->Page(3)->IsItemShown(scan::CDiagnosticS::IDC_NOT_SUPPORTED));
}

TEST_F(MainWindowTest, RestrictedSeriesGetsNoScanButtonsAndTheAhciNote) {
    machine.drives.identify[0] = MakeIdentify("VQ KD5508 128GB");
    auto dlg = Open(3, 0);
    auto* scan = dlg->Page(3);
    EXPECT_FALSE(scan->IsItemShown(scan::CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_FALSE(scan->IsItemEnabled(scan::CDiagnosticS::IDC_FULL_SCAN));
    EXPECT_TRUE(scan->IsItemShown(scan::CDiagnosticS::IDC_NOT_SUPPORTED));
    Click(*dlg, 1005);
    EXPECT_TRUE(dlg->Page(5)->IsItemShown(fwupdate::CFWUpdate::IDC_AHCI_NOTE));
}

TEST_F(MainWindowTest, NoDeviceNoticeOncePerDiscoveryAndAgainAfterAnEmptyRefresh) {
    machine.drives.identify[1] = MakeIdentify("XY Other");
    auto dlg = Open(1, 0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{kNotice});
    EXPECT_EQ(boxes.Shown()[0].caption, "Vellumin");
    EXPECT_EQ(dlg->DriveList().GetItemCount(), 1);
    EXPECT_EQ(dlg->DriveList().GetItemText(0, 0).toStdString(), " No compatible device found! ");
    EXPECT_FALSE(dlg->IsItemShown(CVelluminDlg::IDC_PAGE_AREA));
    EXPECT_TRUE(dlg->IsItemEnabled(1001));
    for (int id : {1002, 1003, 1004, 1005, 1006}) {
        EXPECT_FALSE(dlg->IsItemEnabled(id)) << id;
    }
    EXPECT_TRUE(dlg->IsItemEnabled(CVelluminDlg::IDC_HOME));
    EXPECT_TRUE(dlg->IsItemEnabled(CVelluminDlg::IDC_REFRESH));

    Click(*dlg, 1001);
    EXPECT_EQ(boxes.Count(), 1u);
    Click(*dlg, CVelluminDlg::IDC_REFRESH);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(dlg->DriveList().GetItemCount(), 1);

    // The drive is connected now: refresh lists it and opens the page area again.
    machine.drives.identify[4] = MakeIdentify("VQ Gamma");
    Click(*dlg, CVelluminDlg::IDC_REFRESH);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(dlg->DriveList().GetItemCount(), 1);
    EXPECT_EQ(dlg->DriveList().GetItemText(0, 0).toStdString(), " VQ Gamma ");
    EXPECT_TRUE(dlg->IsItemShown(CVelluminDlg::IDC_PAGE_AREA));
    EXPECT_TRUE(dlg->IsItemEnabled(1004));
    EXPECT_EQ(dlg->Page(1)->PhysicalDrive(), 4);
}

TEST_F(MainWindowTest, NoDeviceDisablesTheScanAndEraseButtonsOfTheirPages) {
    auto dlg = Open(3, 0);
    EXPECT_FALSE(dlg->Page(3)->IsItemEnabled(scan::CDiagnosticS::IDC_QUICK_SCAN));
    EXPECT_FALSE(dlg->Page(3)->IsItemEnabled(scan::CDiagnosticS::IDC_FULL_SCAN));
    auto erase = Open(4, 0);
    EXPECT_FALSE(erase->Page(4)->IsItemEnabled(erase::CSecureErase::IDC_QUICK_ERASE));
    EXPECT_EQ(log.Of(4), (std::vector<std::string>{"fill-message 0", "show"}));  // once only
}

TEST_F(MainWindowTest, SelectedRowBeyondTheDrivesFallsBackToRowZero) {
    TwoDrives();
    auto dlg = Open(1, 5);
    EXPECT_EQ(dlg->SelectedRow(), 0);
    EXPECT_EQ(log.Of(1).front(), "fill 0");
    EXPECT_EQ(dlg->DriveList().GetSelectedRow(), 0);

    // Row 1 selected, then its drive goes away before a refresh.
    dlg->DriveList().SetSelectedRow(1);
    EXPECT_EQ(dlg->Page(1)->PhysicalDrive(), 2);
    machine.drives.identify.erase(2);
    log.events.clear();
    Click(*dlg, CVelluminDlg::IDC_REFRESH);
    EXPECT_EQ(log.Of(1).front(), "fill 0");
    EXPECT_EQ(dlg->SelectedRow(), 0);
}

TEST_F(MainWindowTest, HomeEndsWithOneAndCloseWithTwoAfterThePagesAreGone) {
    TwoDrives();
    for (auto [action, expected] : {std::pair{0, 1}, std::pair{1, 2}, std::pair{2, 1}, std::pair{3, 2}}) {
        CVelluminDlg dlg(machine);
        dlg.SetPageFactory(WatchingFactory(log, work));
        QPointer<vellumin::ui::FeaturePage> page;
        QTimer::singleShot(0, &dlg, [&, action = action] {
            page = dlg.Page(3);
            switch (action) {
            case 0: Click(dlg, CVelluminDlg::IDC_HOME); break;
            case 1: dlg.close(); break;
            case 2: {
                QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QApplication::sendEvent(&dlg, &enter);
                break;
            }
            default: {
                QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(&dlg, &esc);
            }
            }
        });
        EXPECT_EQ(dlg.DoModal(), expected) << action;
        EXPECT_TRUE(page.isNull());
        EXPECT_EQ(dlg.Page(1), nullptr);
    }
}

// The stops Tab makes from the drive list round to it again, by control id; a page's controls
// as page * 10000 + id.
std::vector<int> TabStops(CVelluminDlg& dlg) {
    auto idOf = [&](QWidget* w) {
        for (const auto& c : dlg.Template().controls) {
            if (dlg.Item(c.id) == w) {
                return c.id;
            }
        }
        for (int n = 1; n <= CVelluminDlg::kPageCount; ++n) {
            for (const auto& c : dlg.Page(n)->Template().controls) {
                if (dlg.Page(n)->Item(c.id) == w) {
                    return n * 10000 + c.id;
                }
            }
        }
        return -1;
    };
    std::vector<int> stops;
    QWidget* w = &dlg.DriveList();
    do {
        stops.push_back(idOf(w));
        do {
            w = w->nextInFocusChain();
        } while (w != &dlg.DriveList() &&
                 !((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && w->isVisibleTo(&dlg)));
    } while (w != &dlg.DriveList() && stops.size() < 40);
    return stops;
}

TEST_F(MainWindowTest, TabGoesInReadingOrderThroughTheWindowAndThePageOnShow) {
    TwoDrives();
    auto dlg = Open(5, 0);
    auto* update = dlg->Page(5);
    for (int id : {fwupdate::CFWUpdate::IDC_FOLDER, fwupdate::CFWUpdate::IDC_BROWSE,
                   fwupdate::CFWUpdate::IDC_DOWNLOAD}) {
        update->ShowItem(id, true);  // as after an offer
    }
    EXPECT_EQ(TabStops(*dlg), (std::vector<int>{1000, 1001, 1003, 1005, 1002, 1004, 1006, 51051, 51021,
                                                 51022, 1022, 1024, 1026}));
}

TEST_F(MainWindowTest, FailedGateKeepsHomeAndAboutFromDoingAnything) {
    TwoDrives();
    auto dlg = Open(1, 0);
    machine.system.version = std::nullopt;
    Click(*dlg, CVelluminDlg::IDC_HOME);
    Click(*dlg, CVelluminDlg::IDC_ABOUT);
    EXPECT_NE(dlg->Page(1), nullptr);
    EXPECT_TRUE(QApplication::topLevelWidgets().size() > 0);
    for (QWidget* w : QApplication::topLevelWidgets()) {
        EXPECT_EQ(dynamic_cast<CAboutDlg*>(w), nullptr);
    }
}

TEST_F(MainWindowTest, RunningEraseRefusesToCloseAndARunningScanIsStoppedFirst) {
    TwoDrives();
    CVelluminDlg dlg(machine);
    dlg.SetPageFactory(WatchingFactory(log, work));
    QTimer::singleShot(0, &dlg, [&] {
        work.eraseBusy = true;
        dlg.close();
        EXPECT_NE(dlg.Page(4), nullptr);  // still open
        EXPECT_EQ(boxes.Count(), 1u);
        work.eraseBusy = false;
        work.scanBusy = true;
        dlg.close();
    });
    EXPECT_EQ(dlg.DoModal(), 2);
    EXPECT_EQ(work.scanStops, 1);
}

TEST_F(MainWindowTest, TheEraseInProgressBoxClosesWhenTheEraseEnds) {
    TwoDrives();
    auto dlg = Open(4, 0);
    work.eraseBusy = true;
    boxes.HoldNextUntilDismissed();
    QTimer::singleShot(10, dlg.get(), [&] {
        work.eraseBusy = false;
        emit dlg->Page(4)->WorkEnded();
    });
    Click(*dlg, CVelluminDlg::IDC_HOME);  // refused: returns once the box is gone
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0], "Secure erase is in progress. Please wait until it has finished.");
    EXPECT_EQ(boxes.Dismissed(), 1u);
    EXPECT_NE(dlg->Page(4), nullptr);  // the visit goes on
}

}  // namespace

}  // namespace vellumin::app
