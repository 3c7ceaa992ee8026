// The dialog framework: templates to widgets, controls by id, modal results, UI-thread calls,
// timers and the message-box seam.
#include <atomic>
#include <thread>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include "ui/BitmapButton.h"
#include "ui/Dialog.h"
#include "ui/DialogUnits.h"
#include "ui/MessageBox.h"
#include "ui/UiThread.h"

namespace vellumin::ui {

namespace {

using namespace vellumin::ui;

TEST(DialogUnits, MapLikeTheDialogManagerWithBaseUnitsSixByThirteen) {
    // x * 6 / 4 and y * 13 / 8, halves rounded away from zero as MulDiv does.
    EXPECT_EQ(DialogUnitsToPixelsX(532), 798);
    EXPECT_EQ(DialogUnitsToPixelsY(277), 450);  // 450.125
    EXPECT_EQ(DialogUnitsToPixelsX(361), 542);  // 541.5 rounds up
    EXPECT_EQ(DialogUnitsToPixelsX(1), 2);      // 1.5
    EXPECT_EQ(DialogUnitsToPixelsY(65), 106);   // 105.625
    EXPECT_EQ(DialogUnitsToPixelsY(24), 39);
    EXPECT_EQ(DialogUnitsToPixelsY(3), 5);      // 4.875
    EXPECT_EQ(DialogUnitsToPixelsY(1), 2);      // 1.625
    EXPECT_EQ(MulDiv(-3, 1, 2), -2);            // -1.5 away from zero
    EXPECT_EQ(MulDiv(7, 1, -2), -4);
    EXPECT_EQ(DialogRectToPixels(361, 65, 166, 24), QRect(542, 106, 249, 39));
}

constexpr ControlTemplate kControls[] = {
    {10, ControlKind::Static, 4, 8, 100, 10, "hello"},
    {11, ControlKind::PushButton, 10, 20, 50, 14, "Go", TabStop},
    {12, ControlKind::Static, 10, 40, 50, 14, "", Hidden},
    {13, ControlKind::Edit, 10, 60, 50, 12, "C:\\", Disabled | ReadOnly},
};
constexpr DialogTemplate kTemplate{500, 200, 100, "Test", SysMenu, kControls};

class Probe : public Dialog {
public:
    explicit Probe(QWidget* parent = nullptr) : Dialog(kTemplate, parent) {}
    std::vector<int> commands;
    std::vector<int> ticks;
    std::vector<std::pair<unsigned, intptr_t>> messages;
    int initResult = -1;  // EndDialog from OnInitDialog when set
    bool bindInExchange = false;
    QLabel bound;

protected:
    void DoDataExchange() override {
        if (bindInExchange) {
            Bind(10, bound);
        }
    }
    bool OnInitDialog() override {
        if (initResult >= 0) {
            EndDialog(initResult);
        }
        return true;
    }
    void OnCommand(int id) override { commands.push_back(id); }
    void OnTimer(int id) override { ticks.push_back(id); }
    intptr_t OnMessage(unsigned message, intptr_t w, intptr_t) override {
        messages.emplace_back(message, w);
        return static_cast<intptr_t>(message) + w;
    }
};

TEST(Dialog, BuildsTheTemplateControlsWithTheirRectanglesAndStates) {
    Probe dlg;
    dlg.Create(nullptr);
    EXPECT_EQ(dlg.size(), QSize(300, 163));
    EXPECT_EQ(dlg.ItemText(10), "hello");
    EXPECT_EQ(dlg.Item(10)->geometry(), QRect(6, 13, 150, 16));
    EXPECT_NE(dlg.ItemAs<QPushButton>(11), nullptr);
    EXPECT_TRUE(dlg.IsItemShown(10));
    EXPECT_FALSE(dlg.IsItemShown(12));
    EXPECT_FALSE(dlg.IsItemEnabled(13));
    EXPECT_TRUE(dlg.ItemAs<QLineEdit>(13)->isReadOnly());
    EXPECT_EQ(dlg.Item(99), nullptr);
    dlg.SetItemText(99, "nothing happens");  // unknown ids are ignored

    dlg.SetItemText(10, "changed");
    dlg.ShowItem(12, true);
    dlg.EnableItem(13, true);
    EXPECT_EQ(dlg.ItemText(10), "changed");
    EXPECT_TRUE(dlg.IsItemShown(12));
    EXPECT_TRUE(dlg.IsItemEnabled(13));

    dlg.ItemAs<QPushButton>(11)->click();
    EXPECT_EQ(dlg.commands, std::vector<int>{11});
}

TEST(Dialog, BoundControlTakesTheTemplatePlaceBeforeOrAfterBuilding) {
    Probe before;
    before.bindInExchange = true;
    before.Create(nullptr);
    EXPECT_EQ(before.Item(10), &before.bound);
    EXPECT_EQ(before.bound.text(), "hello");
    EXPECT_EQ(before.bound.geometry(), QRect(6, 13, 150, 16));

    Probe after;
    after.Create(nullptr);
    after.SetItemText(12, "kept");
    QLabel label;
    after.Bind(12, label);
    EXPECT_EQ(after.Item(12), &label);
    EXPECT_EQ(label.text(), "kept");
    EXPECT_TRUE(label.isHidden());  // state of the control it replaced

    QPushButton button;
    after.Bind(11, button);
    EXPECT_EQ(button.text(), "Go");
    button.click();
    EXPECT_EQ(after.commands, std::vector<int>{11});
}

TEST(Dialog, ModalRunEndsWithTheGivenResultAndKeysEndWithOneOrTwo) {
    {
        Probe dlg;
        QTimer::singleShot(0, &dlg, [&] { dlg.EndDialog(42); });
        EXPECT_EQ(dlg.DoModal(), 42);
    }
    {
        Probe dlg;
        dlg.initResult = 7;  // ended while initialising: no loop runs
        EXPECT_EQ(dlg.DoModal(), 7);
    }
    for (auto [key, expected] : {std::pair{Qt::Key_Escape, 2}, std::pair{Qt::Key_Return, 1}}) {
        Probe dlg;
        QTimer::singleShot(0, &dlg, [&dlg, key = key] {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(&dlg, &press);
        });
        EXPECT_EQ(dlg.DoModal(), expected);
    }
    {
        Probe dlg;
        QTimer::singleShot(0, &dlg, [&] { dlg.close(); });
        EXPECT_EQ(dlg.DoModal(), 2);
    }
    {
        // Hidden, the window keeps its loop (the home screen while the main window runs);
        // only EndDialog ends it.
        Probe dlg;
        bool ranHidden = false;
        QTimer::singleShot(0, &dlg, [&] { dlg.hide(); });
        QTimer::singleShot(20, &dlg, [&] {
            ranHidden = dlg.isHidden();
            dlg.show();
            dlg.EndDialog(9);
        });
        EXPECT_EQ(dlg.DoModal(), 9);
        EXPECT_TRUE(ranHidden);
    }
}

TEST(Dialog, ConfirmKeyPressesTheFocusedButtonOfAnyKind) {
    Probe dlg;
    dlg.Create(nullptr);
    BitmapButton skinned;  // not a push button
    dlg.Bind(11, skinned);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    skinned.setFocus(Qt::TabFocusReason);
    ASSERT_EQ(dlg.focusWidget(), &skinned);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&skinned, &enter);
    EXPECT_EQ(dlg.commands, std::vector<int>{11});
    EXPECT_EQ(dlg.Result(), 0) << "the window goes on";
}

TEST(Dialog, ChildPassesTheCancelKeyToItsWindow) {
    Probe top;
    Probe child;
    top.Create(nullptr);
    child.Create(&top);
    EXPECT_FALSE(child.isWindow());
    QTimer::singleShot(0, &top, [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(&child, &press);
        if (!press.isAccepted()) {
            QApplication::sendEvent(&top, &press);
        }
    });
    EXPECT_EQ(top.DoModal(), 2);
}

TEST(Dialog, WorkerCallsRunOnTheUiThreadInOrder) {
    Probe dlg;
    dlg.Create(nullptr);
    std::atomic<bool> done{false};
    std::vector<std::string> seen;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) {
            dlg.SetItemText(10, std::to_string(i));
            seen.push_back(dlg.ItemText(10));  // blocking: the change has happened
        }
        EXPECT_EQ(dlg.SendMessage(8001, 5), 8006);
        dlg.EnableItem(11, false);
        done = true;
    });
    WaitUntil([&] { return done.load(); });
    worker.join();
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 0; i < 50; ++i) {
        EXPECT_EQ(seen[i], std::to_string(i));
    }
    EXPECT_FALSE(dlg.IsItemEnabled(11));
    // On the UI thread itself the same calls run at once.
    EXPECT_EQ(dlg.SendMessage(9000, 1), 9001);
}

TEST(Dialog, PostedTextsCoalesceToTheLatest) {
    Probe dlg;
    dlg.Create(nullptr);
    std::thread worker([&] {
        for (int i = 0; i <= 1000; ++i) {
            dlg.PostItemText(10, "n" + std::to_string(i));
        }
    });
    worker.join();  // posting never waits for the UI thread
    EXPECT_EQ(dlg.ItemText(10), "hello");
    QApplication::processEvents();
    EXPECT_EQ(dlg.ItemText(10), "n1000");
}

TEST(Coalescer, KeepsTheNewestChangePerKeyInFirstArrivalOrder) {
    Coalescer coalescer;
    std::vector<std::string> runs;
    coalescer.Post(2, [&] { runs.push_back("b1"); });
    coalescer.Post(1, [&] { runs.push_back("a1"); });
    coalescer.Post(2, [&] { runs.push_back("b2"); });
    QApplication::processEvents();
    EXPECT_EQ(runs, (std::vector<std::string>{"b2", "a1"}));
    QApplication::processEvents();
    EXPECT_EQ(runs.size(), 2u);
}

TEST(Dialog, TimersTickUntilKilled) {
    Probe dlg;
    dlg.Create(nullptr);
    dlg.SetTimer(8001, 5);
    EXPECT_TRUE(dlg.IsTimerSet(8001));
    WaitUntil([&] { return dlg.ticks.size() >= 2; });
    std::thread worker([&] { dlg.KillTimer(8001); });  // workers may kill a page's timer
    WaitUntil([&] { return !dlg.IsTimerSet(8001); });
    worker.join();
    const size_t ticks = dlg.ticks.size();
    QThread::msleep(20);
    QApplication::processEvents();
    EXPECT_EQ(dlg.ticks.size(), ticks);
    EXPECT_EQ(dlg.ticks.front(), 8001);
}

TEST(MessageBoxSeam, ScriptAnswersAndRecordsBoxesFromAnyThread) {
    ScriptedMessageBoxes script;
    ScopedMessageBoxes use(script);
    Probe dlg;
    dlg.Create(nullptr);
    script.Answer(kIdYes);
    EXPECT_EQ(dlg.MessageBox("Erase?", "Confirmation", mb::kYesNo | mb::kIconQuestion), kIdYes);
    // Empty script: the cautious answer.
    EXPECT_EQ(MessageBox(nullptr, "Erase?", "Confirmation", mb::kYesNo), kIdNo);
    EXPECT_EQ(MessageBox(nullptr, "Done", "Success"), kIdOk);

    std::atomic<int> answer{0};
    std::thread worker([&] { answer = MessageBox(&dlg, "from worker", "Vellumin", mb::kOkCancel); });
    WaitUntil([&] { return answer.load() != 0; });
    worker.join();
    EXPECT_EQ(answer.load(), kIdCancel);

    const auto shown = script.Shown();
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].owner, &dlg);
    EXPECT_EQ(shown[0].caption, "Confirmation");
    EXPECT_EQ(shown[0].flags, mb::kYesNo | mb::kIconQuestion);
    EXPECT_EQ(shown[3].text, "from worker");
    EXPECT_EQ(shown[3].owner, &dlg);
}

// A box whose text stopped being true is closed by its owner's window: the real box answers
// its cautious choice, and a box of another owner stays.
TEST(MessageBoxSeam, DismissClosesTheOwnersOpenBoxOnly) {
    QtMessageBoxes real;
    ScopedMessageBoxes use(real);
    Probe owner;
    Probe other;
    owner.Create(nullptr);
    other.Create(nullptr);
    bool otherStayed = false;
    QTimer::singleShot(10, &owner, [&] {
        DismissMessageBoxes(&other);
        otherStayed = QApplication::activeModalWidget() != nullptr;
        DismissMessageBoxes(&owner);
    });
    bool stuck = false;
    QTimer::singleShot(3000, &owner, [&] {  // not dismissed: fail rather than hang
        if (QWidget* box = QApplication::activeModalWidget()) {
            stuck = true;
            box->close();
        }
    });
    EXPECT_EQ(owner.MessageBox("Busy", "Vellumin", mb::kOkCancel), kIdCancel);
    EXPECT_TRUE(otherStayed);
    EXPECT_FALSE(stuck);
}

}  // namespace

}  // namespace vellumin::ui
