// The erase page inside the real main window, on the built-in lab: what the page shows for a
// drive, and what a flow does to the page and the window while it runs and when it ends.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

#include "app/CVelluminApp.h"
#include "app/CVelluminDlg.h"
#include "app/CVelluminPre.h"
#include "pages/erase/CSecureErase.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"
#include "ui/VisibleWindow.h"

namespace vellumin::erase {

namespace {

using erase::EraseEnding;
using P = CSecureErase;
using vellumin::ui::VisibleWindow;

constexpr const char* kEraseRunning =
    "Secure erase is in progress. Please wait until it has finished.";
constexpr int kMainLocked[] = {1000, 1001, 1002, 1003, 1004, 1005, 1006, 1022, 1026};
constexpr int kAbout = 1024;

bool WaitFor(const std::function<bool()>& done,
             std::chrono::seconds limit = std::chrono::seconds(20)) {
    const auto until = std::chrono::steady_clock::now() + limit;
    ui::WaitUntil([&] { return done() || std::chrono::steady_clock::now() >= until; });
    return done();
}

void Select(app::CVelluminDlg& main, int slot) {
    const auto& table = main.DriveTable();
    for (int row = 0; row < table.count; ++row) {
        if (table.rowToDrive[row] == slot) {
            main.DriveList().SetSelectedRow(row);
            return;
        }
    }
    ADD_FAILURE() << "slot " << slot << " is not listed";
}

// Every text shown has the lines it needs, and none lies over another.
void ExpectTextsWhole(CSecureErase& page) {
    int below = 0;
    for (int id : {P::IDC_WARNING, P::IDC_GATE_MESSAGE, P::IDC_ELAPSED, P::IDC_DETAIL}) {
        auto* label = page.ItemAs<QLabel>(id);
        if (!page.IsItemShown(id) || label->text().isEmpty()) {
            continue;
        }
        EXPECT_GE(label->height(), label->heightForWidth(label->width())) << id;
        EXPECT_GE(label->y(), below) << id;
        below = label->geometry().bottom() + 1;
    }
}

struct ErasePageTest : ::testing::Test {
    ui::ScriptedMessageBoxes boxes;
    ui::ScopedMessageBoxes scope{boxes};
    std::unique_ptr<platform::sim::SimPlatform> lab = platform::sim::CreateSimLab();

    // Runs the main window on page 4 and `body` inside it, then closes it.
    void Visit(const std::function<void(app::CVelluminDlg&, CSecureErase&)>& body) {
        app::CVelluminDlg main(*lab);
        main.SetCurrentPage(4);
        bool ran = false;
        QTimer::singleShot(0, &main, [&] {
            auto* page = dynamic_cast<CSecureErase*>(main.Page(4));
            ASSERT_NE(page, nullptr);
            body(main, *page);
            ran = true;
            EXPECT_TRUE(WaitFor([&] { return !page->IsBusy(); }));
            main.close();
        });
        EXPECT_EQ(main.DoModal(), 2);
        EXPECT_TRUE(ran);
    }

    static void Click(CSecureErase& page, int id) { page.ItemAs<QAbstractButton>(id)->click(); }
    static void ExpectMainLocked(app::CVelluminDlg& main, bool locked) {
        for (int id : kMainLocked) {
            EXPECT_EQ(main.IsItemEnabled(id), !locked) << id;
        }
        EXPECT_TRUE(main.IsItemEnabled(kAbout));
    }
};

// What the page shows is what the gate decision says, including the warning that a refused
// listed drive leaves as it was.
TEST_F(ErasePageTest, ShowsTheGateDecisionForTheSelectedDrive) {
    struct Row {
        int slot;
        bool notSupported, warning, quick, full;
        std::string gateMessage;
    };
    const Row rows[] = {
        {1, false, true, true, true, ""},  // listed SMI2242: both erases
        {2, false, true, false, false, erase::kTextOutdatedFirmware},  // the warning stays shown
        {3, false, true, true, false, ""},                             // not listed: security erase
        {5, false, true, false, false, erase::kTextLocked},
        {4, false, true, false, false, erase::kTextSecurityEnabled},
    };
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        for (int id : {P::IDC_QUICK_ERASE, P::IDC_FULL_ERASE}) {
            EXPECT_EQ(page.Item(id)->size(), QSize(113, 22)) << "sized to its bitmap";
        }
        for (const Row& row : rows) {
            Select(main, row.slot);
            SCOPED_TRACE(row.slot);
            EXPECT_EQ(page.IsItemShown(P::IDC_NOT_SUPPORTED), row.notSupported);
            EXPECT_EQ(page.IsItemShown(P::IDC_WARNING), row.warning);
            EXPECT_EQ(page.IsItemShown(P::IDC_QUICK_ERASE), row.quick);
            EXPECT_EQ(page.IsItemShown(P::IDC_FULL_ERASE), row.full);
            EXPECT_EQ(page.ItemText(P::IDC_GATE_MESSAGE), row.gateMessage);
            EXPECT_TRUE(page.IsItemShown(P::IDC_GATE_MESSAGE));
            ExpectTextsWhole(page);
        }
    });
}

// A drive behind a USB bridge or a RAID controller gets the refusal naming its connection in
// the red line, whatever its controller, and no button.
TEST_F(ErasePageTest, OnlyADriveOnASataPortIsOffered) {
    const std::pair<int, platform::DriveConnection> rows[] = {
        {1, platform::DriveConnection::Raid},  // listed: would have both buttons
        {3, platform::DriveConnection::Usb},   // not listed: would have Quick Erase
    };
    for (const auto& [slot, connection] : rows) {
        auto drive = *lab->DriveAsItStands(slot);
        drive.connection = connection;
        lab->SetDrive(slot, drive);
    }
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        for (const auto& [slot, connection] : rows) {
            SCOPED_TRACE(slot);
            Select(main, slot);
            EXPECT_EQ(page.ItemText(P::IDC_GATE_MESSAGE), erase::ConnectionRefusal(connection));
            for (int id : {P::IDC_QUICK_ERASE, P::IDC_FULL_ERASE, P::IDC_WARNING,
                           P::IDC_NOT_SUPPORTED}) {
                EXPECT_FALSE(page.IsItemShown(id)) << id;
            }
            ExpectTextsWhole(page);
            Click(page, P::IDC_QUICK_ERASE);
        }
        EXPECT_EQ(page.FlowsStarted(), 0);
    });
    EXPECT_EQ(boxes.Count(), 0u);
}

// The frozen-state box keeps its text and offers the suspend as a second button; the lab's
// suspend thaws the drive, and the flow goes on through the confirmation to the erase.
TEST_F(ErasePageTest, FrozenDriveThawsThroughTheSuspendButton) {
    boxes.Answer(ui::kIdYes);
    boxes.Answer(ui::kIdExtra);
    boxes.Answer(ui::kIdYes);
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        Select(main, 6);
        Click(page, P::IDC_QUICK_ERASE);
        ASSERT_TRUE(WaitFor([&] { return !page.IsBusy(); }));
        EXPECT_EQ(page.LastFlow().ending, EraseEnding::Done);
    });
    const auto shown = boxes.Shown();
    ASSERT_GE(shown.size(), 4u);
    EXPECT_EQ(shown[1].text, erase::MessageFor(erase::MessageId::Frozen).text);
    EXPECT_EQ(shown[1].flags, ui::mb::kOk);
    EXPECT_EQ(shown[1].extraButton, "Suspend");
    EXPECT_NE(shown[1].note, "");
    EXPECT_EQ(shown[2].caption, "Confirmation");
    EXPECT_EQ(shown.back().caption, "Success");
    EXPECT_EQ(lab->Machine().suspends, 1);
    EXPECT_EQ(lab->Device(6)->Erases().size(), 1u);
}

TEST_F(ErasePageTest, OnWindows81OnlyListedDrivesAreOffered) {
    lab->Machine().os.version.minor = 3;
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        EXPECT_TRUE(page.OsUnsupported());
        Select(main, 1);
        EXPECT_TRUE(page.IsItemShown(P::IDC_FULL_ERASE));
        Select(main, 3);
        EXPECT_TRUE(page.IsItemShown(P::IDC_NOT_SUPPORTED));
        EXPECT_EQ(page.ItemText(P::IDC_NOT_SUPPORTED), erase::kTextOsNotSupported);
        EXPECT_FALSE(page.IsItemShown(P::IDC_QUICK_ERASE) || page.IsItemShown(P::IDC_WARNING));
        Select(main, 2);  // a refused listed drive keeps the warning hidden, as it was
        EXPECT_FALSE(page.IsItemShown(P::IDC_NOT_SUPPORTED) || page.IsItemShown(P::IDC_WARNING));
        EXPECT_EQ(page.ItemText(P::IDC_GATE_MESSAGE), erase::kTextOutdatedFirmware);
    });
}

TEST_F(ErasePageTest, RefusalsStartNothing) {
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        Select(main, 0);  // holds C:, the Windows directory
        Click(page, P::IDC_QUICK_ERASE);
        Select(main, 1);
        Click(page, P::IDC_FULL_ERASE);  // the confirmation answered No
        EXPECT_EQ(page.FlowsStarted(), 0);
        EXPECT_EQ(page.VendorCode(), ata::cmd::kVendorEraseFull);
        EXPECT_TRUE(page.IsItemEnabled(P::IDC_QUICK_ERASE) &&
                    page.IsItemEnabled(P::IDC_FULL_ERASE));
    });
    const auto shown = boxes.Shown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(
        shown[0].text,
        "The selected drive VQ S300 SSD 128GB is the boot drive and cannot use this functionive");
    EXPECT_EQ(shown[0].caption, "Error");
    EXPECT_EQ(shown[0].flags, ui::mb::kOk | ui::mb::kIconStop);
    EXPECT_EQ(shown[1].caption, "Confirmation");
    EXPECT_EQ(shown[1].flags, ui::mb::kYesNo | ui::mb::kIconQuestion);
    EXPECT_EQ(lab->Device(1)->Erases().size(), 0u);
}

// A whole erase on each path: the window is locked while the drive erases (and cannot be
// closed, nor can a refill start a second erase), unlocked after, and the lab restarted.
TEST_F(ErasePageTest, EraseRunLocksTheWindowUntilItEndsAndRestarts) {
    struct Case {
        int slot;
        int button;
        EraseEnding ending;
        std::string lastCommand;
    };
    const Case cases[] = {
        {1, P::IDC_FULL_ERASE, EraseEnding::Done, "SMART VENDOR ERASE E3"},
        {3, P::IDC_QUICK_ERASE, EraseEnding::Done, "SECURITY ERASE UNIT"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        boxes.Clear();
        lab->Machine().restartRequested = false;
        lab->Device(c.slot)->SetEraseMilliseconds(2500);
        boxes.Answer(ui::kIdYes);
        Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
            Select(main, c.slot);
            Click(page, c.button);
            ASSERT_TRUE(page.IsBusy());
            ASSERT_TRUE(WaitFor([&] { return !main.IsItemEnabled(1000); }));
            ExpectMainLocked(main, true);

            main.close();
            EXPECT_TRUE(main.IsWindowShown());
            EXPECT_EQ(boxes.Texts().back(), kEraseRunning);

            main.ShowFeaturePage(4);  // as a drive-list pick does: enables the buttons, refills
            EXPECT_FALSE(page.IsItemEnabled(P::IDC_QUICK_ERASE) ||
                         page.IsItemEnabled(P::IDC_FULL_ERASE));
            page.EnableItem(c.button, true);  // whatever enables it, the running flow holds
            Click(page, c.button);
            EXPECT_EQ(page.FlowsStarted(), 1);
            EXPECT_EQ(boxes.Texts().back(), kEraseRunning) << "no second confirmation";

            ASSERT_TRUE(WaitFor([&] { return !page.IsBusy(); }));
            ExpectMainLocked(main, false);
            EXPECT_TRUE(page.IsItemEnabled(P::IDC_QUICK_ERASE) &&
                        page.IsItemEnabled(P::IDC_FULL_ERASE));
            EXPECT_GE(page.EraseSeconds(), 1);
            EXPECT_EQ(page.ItemText(P::IDC_ELAPSED), erase::ElapsedTimeText(page.EraseSeconds()));
            EXPECT_FALSE(page.IsTimerSet(P::kElapsedTimer));
        });
        EXPECT_TRUE(lab->Machine().restartRequested);
        EXPECT_EQ(lab->Device(c.slot)->Erases().size(), 1u);
        EXPECT_EQ(boxes.Shown().back().caption, "Success");
    }
}

// Endings before the erase run leave the page buttons as the endings table says, and never
// touch the main window.
TEST_F(ErasePageTest, EarlyEndingsLeaveTheButtonsAsTheirEndingSays) {
    struct Case {
        int slot;
        std::vector<int> answers;  // after the first confirmation
        EraseEnding ending;
    };
    const Case cases[] = {
        {7, {}, EraseEnding::CheckFailed},                           // no security feature set
        {6, {ui::kIdOk, ui::kIdNo}, EraseEnding::DeclinedOnRepeat},  // frozen, then No
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot);
        boxes.Clear();
        boxes.Answer(ui::kIdYes);
        for (int answer : c.answers) {
            boxes.Answer(answer);
        }
        Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
            Select(main, c.slot);
            Click(page, P::IDC_QUICK_ERASE);
            ASSERT_TRUE(WaitFor([&] { return !page.IsBusy(); }));
            EXPECT_EQ(page.LastFlow().ending, c.ending);
            const auto after = erase::ButtonsAfterEnding(c.ending);
            EXPECT_EQ(page.IsItemEnabled(P::IDC_QUICK_ERASE),
                      after != erase::ButtonsAfter::BothDisabled);
            EXPECT_EQ(page.IsItemEnabled(P::IDC_FULL_ERASE),
                      after == erase::ButtonsAfter::AllEnabled);
            ExpectMainLocked(main, false);
        });
        EXPECT_FALSE(lab->Machine().restartRequested);
    }
}

// A run that does not finish takes the erase password off again and says so last, after the
// run's own messages, in a box of the page.
TEST_F(ErasePageTest, AFailedRunSaysWhatTheDriveIsLeftWith) {
    lab->Device(3)->SetAborted(0xF4, true);
    boxes.Answer(ui::kIdYes);
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        Select(main, 3);
        Click(page, P::IDC_QUICK_ERASE);
        ASSERT_TRUE(WaitFor([&] { return !page.IsBusy(); }));
        EXPECT_EQ(page.LastFlow().ending, EraseEnding::EraseAborted);
    });
    const auto texts = boxes.Texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[texts.size() - 2], "cmd aborted");
    EXPECT_EQ(texts.back(), erase::MessageFor(erase::MessageId::PasswordRemoved).text);
    lab->Device(3)->PowerCycle();
    EXPECT_FALSE(lab->Device(3)->Security().locked);
}

// A command that did not reach the drive: the run's messages stay as they are, and why it did
// not stands on the page under them until the page is filled anew.
TEST_F(ErasePageTest, WhyACommandDidNotReachTheDriveStandsOnThePage) {
    lab->Device(3)->SetUndelivered(0xF4, true);
    boxes.Answer(ui::kIdYes);
    Visit([&](app::CVelluminDlg& main, CSecureErase& page) {
        Select(main, 3);
        EXPECT_FALSE(page.IsItemShown(P::IDC_DETAIL));
        Click(page, P::IDC_QUICK_ERASE);
        ASSERT_TRUE(WaitFor([&] { return !page.IsBusy(); }));
        EXPECT_EQ(page.LastFlow().ending, EraseEnding::EraseNotDelivered);
        EXPECT_TRUE(page.IsItemShown(P::IDC_DETAIL));
        EXPECT_EQ(page.ItemText(P::IDC_DETAIL),
                  "Physical drive 3: SECURITY ERASE UNIT: refused by the lab's transport");
        ExpectTextsWhole(page);
        main.ShowFeaturePage(4);
        EXPECT_FALSE(page.IsItemShown(P::IDC_DETAIL));
    });
    EXPECT_EQ(boxes.Texts().back(), erase::MessageFor(erase::MessageId::PasswordRemoved).text);
}

// The whole program: an erase through the home screen and the main window, then the lab as the
// run left it written to the file --save-lab names.
TEST_F(ErasePageTest, SaveLabWritesWhatTheRunLeftBehind) {
    QTemporaryDir dir;
    const std::string saved = dir.filePath("after.json").toStdString();
    app::CVelluminApp app([] {
        ADD_FAILURE() << "the program left the lab";
        return platform::sim::CreateSimPlatform();
    });
    boxes.Answer(ui::kIdYes);
    int step = 0;
    CSecureErase* page = nullptr;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, [&] {
        if (step == 0) {
            if (auto* home = VisibleWindow<app::CVelluminPre>()) {
                step = 1;
                QMetaObject::invokeMethod(
                    home, [home] { home->OpenMainWindow(4); }, Qt::QueuedConnection);
            }
        } else if (step == 1) {
            if (auto* main = VisibleWindow<app::CVelluminDlg>()) {
                step = 2;
                page = dynamic_cast<CSecureErase*>(main->Page(4));
                Select(*main, 1);
                Click(*page, P::IDC_FULL_ERASE);
            }
        } else if (step == 2 && !page->IsBusy()) {
            step = 3;
            VisibleWindow<app::CVelluminDlg>()->close();  // the close box ends the program
        }
    });
    driver.start(10);
    EXPECT_FALSE(app.RunStartUp({"vellumin", "--simulate", "--save-lab", saved}));
    EXPECT_EQ(step, 3);
    EXPECT_EQ(app.ExitCode(), 0);

    const platform::sim::LabDescription after = platform::sim::LoadLabFile(saved);
    EXPECT_TRUE(after.machine.restartRequested);
    for (int slot : {1, 3}) {
        ASSERT_TRUE(after.drives[slot]);
        EXPECT_EQ(after.drives[slot]->mediaBlank, slot == 1) << slot;
    }
}

TEST(SaveLabOption, NeedsTheLab) {
    app::CVelluminApp app([] {
        ADD_FAILURE() << "the real machine was opened";
        return platform::sim::CreateSimPlatform();
    });
    EXPECT_FALSE(app.RunStartUp({"vellumin", "--save-lab", "after.json"}));
    EXPECT_EQ(app.ExitCode(), 2);
}

}  // namespace

}  // namespace vellumin::erase
