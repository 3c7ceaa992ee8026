// The home screen and start-up: hover descriptions, visits of the main window on the lab,
// the clone tool, elevation and the lab option.
#include <filesystem>
#include <fstream>
#include <functional>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include "tests/gui/shell/FakePlatform.h"
#include "app/CAboutDlg.h"
#include "app/CVelluminApp.h"
#include "app/CVelluminDlg.h"
#include "app/CVelluminPre.h"
#include "app/Shell.h"
#include "transport/Discovery.h"
#include "platform/sim/SimPlatform.h"
#include "ui/MessageBox.h"
#include "ui/VisibleWindow.h"

namespace vellumin::app {

namespace {

using namespace shelltest;
using vellumin::ui::ScopedMessageBoxes;
using vellumin::ui::ScriptedMessageBoxes;
namespace ui = vellumin::ui;
using vellumin::ui::VisibleWindow;

// Runs `action` once, as soon as a window of type T is visible (inside whatever modal loop
// runs then). Delete the answer to give up waiting.
template <class T>
QTimer* WhenVisible(std::function<void(T&)> action) {
    auto* poll = new QTimer(QApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, action] {
        if (auto* window = VisibleWindow<T>()) {
            poll->stop();
            poll->deleteLater();
            action(*window);
        }
    });
    poll->start(5);
    return poll;
}

void Hover(CVelluminPre& home, unsigned message, int x, int y) {
    controls::CGdipButtonEvent report(static_cast<int>(message), x, y);
    QApplication::sendEvent(&home, &report);
}

std::vector<int> ShownDescriptions(const CVelluminPre& home) {
    std::vector<int> shown;
    for (int id : vellumin::app::kHoverDescriptions) {
        if (home.IsItemShown(id)) {
            shown.push_back(id);
        }
    }
    return shown;
}

class HomeTest : public ::testing::Test {
protected:
    void SetUp() override { QApplication::setQuitOnLastWindowClosed(false); }
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes useBoxes{boxes};
};

TEST_F(HomeTest, HoverShowsOneDescriptionKeepsItInTheGapsAndLeavingHidesAll) {
    FakePlatform machine;
    CVelluminPre home(machine);
    home.Create(nullptr);
    EXPECT_TRUE(ShownDescriptions(home).empty());
    Hover(home, 9000, 600, 120);
    EXPECT_EQ(ShownDescriptions(home), std::vector<int>{1044});
    Hover(home, 9000, 600, 141);  // last rows of the DRIVE bar: outside every range
    EXPECT_EQ(ShownDescriptions(home), std::vector<int>{1044});
    Hover(home, 9000, 600, 350);
    EXPECT_EQ(ShownDescriptions(home), std::vector<int>{1049});
    Hover(home, 9001, 1, 1);
    EXPECT_TRUE(ShownDescriptions(home).empty());
}

TEST_F(HomeTest, MovingOverABarAndLeavingItReachTheDescriptions) {
    FakePlatform machine;
    CVelluminPre home(machine);
    home.Create(nullptr);
    QWidget* smart = home.Item(1035);  // at (542, 145) in the home screen
    QMouseEvent move(QEvent::MouseMove, QPointF(50, 10), smart->mapToGlobal(QPointF(50, 10)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(smart, &move);
    EXPECT_EQ(ShownDescriptions(home), std::vector<int>{1045});
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(smart, &leave);
    EXPECT_TRUE(ShownDescriptions(home).empty());
}

TEST_F(HomeTest, EachBarOpensTheMainWindowOnItsPageWithTheLabsDrivesAndHomeKeepsTheRow) {
    auto lab = vellumin::platform::sim::CreateSimPlatform();
    const auto rows = vellumin::ata::DiscoverDrives(lab->Drives()).rows;
    ASSERT_GT(rows.size(), 3u);
    CVelluminPre home(*lab);
    // Run as the program runs it: the visits happen inside the home screen's own modal loop,
    // which must outlive every one of them.
    int visits = 0;
    std::function<void()> visit = [&] {
        const int page = visits + 1;
        bool seen = false;
        WhenVisible<CVelluminDlg>([&](CVelluminDlg& main) {
            seen = true;
            EXPECT_FALSE(home.isVisible());
            EXPECT_EQ(main.CurrentPage(), page);
            EXPECT_TRUE(main.Page(page)->IsWindowShown());
            ASSERT_EQ(main.DriveList().GetItemCount(), static_cast<int>(rows.size()));
            for (int r = 0; r < main.DriveList().GetItemCount(); ++r) {
                EXPECT_EQ(main.DriveList().GetItemText(r, 0).toStdString(), rows[r]);
            }
            // The row chosen on the first visit is the selected row of every later one.
            EXPECT_EQ(main.SelectedRow(), page == 1 ? 0 : 2);
            EXPECT_EQ(main.DriveList().GetSelectedRow(), page == 1 ? 0 : 2);
            if (page == 1) {
                main.DriveList().SetSelectedRow(2);
            }
            main.ItemAs<QAbstractButton>(CVelluminDlg::IDC_HOME)->click();
        });
        home.ItemAs<QAbstractButton>(CVelluminPre::kPageButtons[page - 1])->click();
        EXPECT_TRUE(seen) << page;
        EXPECT_TRUE(home.isVisible());
        EXPECT_EQ(home.SavedRow(), 2);
        EXPECT_EQ(home.RequestedPage(), page);
        // The next visit starts from the home screen's loop, as a later click would.
        if (++visits < 6) {
            QTimer::singleShot(0, &home, visit);
        } else {
            QTimer::singleShot(0, &home, [&] { home.EndDialog(5); });
        }
    };
    QTimer::singleShot(0, &home, visit);
    EXPECT_EQ(home.DoModal(), 5);
    EXPECT_EQ(visits, 6);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(HomeTest, ClosingTheMainWindowEndsTheHomeScreen) {
    auto lab = vellumin::platform::sim::CreateSimPlatform();
    CVelluminPre home(*lab);
    QTimer::singleShot(0, &home, [&] {
        WhenVisible<CVelluminDlg>([](CVelluminDlg& main) { main.close(); });
        home.OpenMainWindow(3);
    });
    EXPECT_EQ(home.DoModal(), 2);
    EXPECT_FALSE(home.isVisible());
}

TEST_F(HomeTest, AboutOpensTheHomeScreensAboutDialogWhichEndsOnOk) {
    FakePlatform machine;
    CVelluminPre home(machine);
    home.Create(nullptr);
    bool seen = false;
    WhenVisible<CAboutPreDlg>([&](CAboutPreDlg& about) {
        seen = true;
        EXPECT_EQ(about.Template().id, 199);
        EXPECT_EQ(about.ItemText(CAboutDlg::IDC_NAME), "Vellumin, Version 1.11");
        about.ItemAs<QAbstractButton>(CAboutDlg::IDOK)->click();
    });
    home.ItemAs<QAbstractButton>(CVelluminPre::IDC_ABOUT)->click();
    EXPECT_TRUE(seen);
}

TEST_F(HomeTest, FailedGateOpensNothing) {
    FakePlatform machine;
    machine.drives.identify[0] = MakeIdentify("VQ Alpha");
    machine.system.version = vellumin::platform::OsVersionRecord{true, 1, 4, 10, 0, "", 1, ""};
    CVelluminPre home(machine);
    home.Create(nullptr);
    bool opened = false;
    QTimer* watch = WhenVisible<CVelluminDlg>([&](CVelluminDlg& main) {
        opened = true;
        main.close();
    });
    home.OpenMainWindow(2);
    EXPECT_FALSE(opened);
    EXPECT_EQ(home.RequestedPage(), 1);
    watch->stop();
    watch->deleteLater();
}

TEST_F(HomeTest, CloneToolIsReportedMissingOrStartedFromItsFolder) {
    FakePlatform machine;
    const auto folder = std::filesystem::temp_directory_path() / "vellumin-clone-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "Twinara");
    CVelluminPre home(machine);
    home.SetProgramFolder(folder.string());
    home.Create(nullptr);

    const auto tool = vellumin::app::CloneToolFor(folder.string(), vellumin::app::Is64BitSystem());
    home.ItemAs<QAbstractButton>(CVelluminPre::IDC_CLONE)->click();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Shown()[0].text, tool.missingMessage);
    EXPECT_EQ(boxes.Shown()[0].caption, "Error!");
    EXPECT_EQ(boxes.Shown()[0].flags, ui::mb::kOk | ui::mb::kIconStop);
    EXPECT_TRUE(machine.system.opened.empty());

    std::ofstream(tool.file) << "#!/bin/sh\n";
    home.ItemAs<QAbstractButton>(CVelluminPre::IDC_CLONE)->click();
    EXPECT_EQ(boxes.Count(), 1u);
    ASSERT_EQ(machine.system.opened.size(), 1u);
    EXPECT_EQ(machine.system.opened[0].first, tool.file);
    EXPECT_EQ(machine.system.opened[0].second, tool.folder);
    std::filesystem::remove_all(folder);
}

class StartUpTest : public HomeTest {
protected:
    // The real platform the app would make: a fake the test keeps its hands on.
    CVelluminApp MakeApp() {
        return CVelluminApp([this] {
            ++realPlatforms;
            auto made = std::make_unique<FakePlatform>();
            made->system = system;
            last = made.get();
            return made;
        });
    }
    FakeSystem system;
    FakePlatform* last = nullptr;
    int realPlatforms = 0;
};

TEST_F(StartUpTest, SimulateOpensTheHomeScreenWithoutAskingForRights) {
    CVelluminApp app = MakeApp();
    bool home = false;
    WhenVisible<CVelluminPre>([&](CVelluminPre& pre) {
        home = true;
        pre.close();
    });
    EXPECT_FALSE(app.RunStartUp({"vellumin", "--simulate"}));
    EXPECT_TRUE(home);
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_EQ(realPlatforms, 0);
    EXPECT_TRUE(boxes.Shown().empty());
}

TEST_F(StartUpTest, MalformedLabIsReportedAndEndsNonZero) {
    CVelluminApp app = MakeApp();
    const std::string lab = std::string(VELLUMIN_FIXTURES) + "/shell/malformed-lab.json";
    EXPECT_FALSE(app.RunStartUp({"vellumin", "--simulate=" + lab}));
    EXPECT_NE(app.ExitCode(), 0);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.Shown()[0].text.find("malformed-lab.json"), std::string::npos);
    EXPECT_EQ(VisibleWindow<CVelluminPre>(), nullptr);
}

TEST_F(StartUpTest, WithoutRightsRelaunchesWithRunasAloneUnlessAlreadyRelaunched) {
    system.administrator = false;
    {
        CVelluminApp app = MakeApp();
        EXPECT_FALSE(app.RunStartUp({"vellumin", "first", "second"}));
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->system.relaunches, (std::vector<std::vector<std::string>>{{"runas"}}));
        EXPECT_TRUE(boxes.Shown().empty());  // this copy ends quietly
    }
    {
        CVelluminApp app = MakeApp();
        EXPECT_FALSE(app.RunStartUp({"vellumin", "runas"}));
        EXPECT_TRUE(last->system.relaunches.empty());
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.Shown()[0].text, "Vellumin requires Administrator Privileges.");
        EXPECT_EQ(boxes.Shown()[0].caption, "Vellumin");
        EXPECT_EQ(boxes.Shown()[0].flags, ui::mb::kOk | ui::mb::kIconExclamation);
        EXPECT_NE(app.ExitCode(), 0);
    }
    system.relaunchSucceeds = false;  // the prompt was declined
    {
        CVelluminApp app = MakeApp();
        EXPECT_FALSE(app.RunStartUp({"vellumin"}));
        EXPECT_EQ(last->system.relaunches.size(), 1u);
        EXPECT_EQ(boxes.Count(), 2u);
    }
}

TEST_F(StartUpTest, WithRightsTheHomeScreenRuns) {
    CVelluminApp app = MakeApp();
    bool home = false;
    WhenVisible<CVelluminPre>([&](CVelluminPre& pre) {
        home = true;
        pre.close();
    });
    EXPECT_FALSE(app.RunStartUp({"vellumin"}));
    EXPECT_TRUE(home);
    EXPECT_TRUE(last->system.relaunches.empty());
}

}  // namespace

}  // namespace vellumin::app
