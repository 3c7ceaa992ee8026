#include <gtest/gtest.h>

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <vector>

#include "controls/CSelectListCtrl.h"
#include "controls/CTabCtrlM.h"

namespace vellumin::controls {

namespace {

const QColor kCell(1, 41, 108);
const QColor kChosen(2, 29, 73);

class SelectList : public ::testing::Test {
protected:
    void SetUp() override {
        list.resize(400, 300);
        list.SetExtendedStyle(CSelectListCtrl::kGridLines);
        list.InsertColumn(0, "", CSelectListCtrl::Align::Left, 1);
        list.InsertColumn(1, "Feature", CSelectListCtrl::Align::Left, 150);
        list.InsertColumn(2, "Content", CSelectListCtrl::Align::Left, 150);
        Fill(5);
        list.SetBkColor(kCell);
        list.show();
    }
    void Fill(int rows) {
        list.DeleteAllItems();
        for (int r = 0; r < rows; ++r) {
            list.InsertItem(r, "");
            list.SetItemText(r, 1, QStringLiteral("label %1").arg(r));
        }
    }
    void Click(QPoint at) {
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(at), QPointF(list.viewport()->mapToGlobal(at)),
                          Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::NoModifier);
            QCoreApplication::sendEvent(list.viewport(), &e);
        }
    }
    void ClickRow(int row) { Click(list.visualRect(list.model()->index(row, 2)).center()); }
    void Key(int key) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&list, &e);
    }
    // The colour painted at the far right of a row's Content cell (away from the text).
    QColor Painted(const QImage& img, int row) {
        const QRect cell = list.visualRect(list.model()->index(row, 2));
        return img.pixelColor(cell.right() - 3, cell.center().y());
    }
    QImage Grab() { return list.viewport()->grab().toImage(); }

    CSelectListCtrl list;
};

}  // namespace

TEST_F(SelectList, ClickChoosesRowAndHighlightPaintsOnlyIt) {
    list.SetHighlight(true);
    ClickRow(2);
    EXPECT_EQ(list.GetChosenRow(), 2);
    EXPECT_EQ(list.GetChosenColumn(), 2);
    const QImage img = Grab();
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(Painted(img, r), r == 2 ? kChosen : kCell) << r;
    }
}

TEST_F(SelectList, WithoutHighlightTheSelectionIsNeverPainted) {
    ClickRow(2);
    EXPECT_EQ(list.GetSelectedRow(), 2);  // the built-in selection moved...
    const QImage img = Grab();
    for (int r = 0; r < 5; ++r) {
        EXPECT_EQ(Painted(img, r), kCell) << r;  // ...but nothing shows it
    }
}

TEST_F(SelectList, ClickOutsideAnyCellChangesNothing) {
    list.SetHighlight(true);
    ClickRow(3);
    Click(QPoint(100, 280));  // below the last row
    EXPECT_EQ(list.GetChosenRow(), 3);
    EXPECT_EQ(list.GetChosenColumn(), 2);
}

TEST_F(SelectList, ArrowKeysStopAtTheEdges) {
    ClickRow(0);
    Key(Qt::Key_Up);
    EXPECT_EQ(list.GetChosenRow(), 0);
    Key(Qt::Key_Right);
    EXPECT_EQ(list.GetChosenColumn(), 2);  // already the last column
    for (int i = 0; i < 6; ++i) {
        Key(Qt::Key_Down);
    }
    EXPECT_EQ(list.GetChosenRow(), 4);
    Key(Qt::Key_Up);
    EXPECT_EQ(list.GetChosenRow(), 3);
    for (int i = 0; i < 4; ++i) {
        Key(Qt::Key_Left);
    }
    EXPECT_EQ(list.GetChosenColumn(), 0);
    Key(Qt::Key_Right);
    EXPECT_EQ(list.GetChosenColumn(), 1);
    Key(Qt::Key_A);  // other keys leave the cell alone
    EXPECT_EQ(list.GetChosenRow(), 3);
    EXPECT_EQ(list.GetChosenColumn(), 1);
}

// The highlighted row and the selected row (the drive the pages serve) never part: a drag
// moves neither, keys that jump move both.
TEST_F(SelectList, DragAndJumpKeysKeepHighlightAndSelectionTogether) {
    const QPoint from = list.visualRect(list.model()->index(1, 2)).center();
    const QPoint to = list.visualRect(list.model()->index(3, 2)).center();
    const auto send = [&](QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(at), QPointF(list.viewport()->mapToGlobal(at)), Qt::LeftButton, held,
                      Qt::NoModifier);
        QCoreApplication::sendEvent(list.viewport(), &e);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    EXPECT_EQ(list.GetSelectedRow(), 1);
    EXPECT_EQ(list.GetChosenRow(), 1);
    for (int key : {Qt::Key_End, Qt::Key_Home, Qt::Key_PageDown}) {
        Key(key);
        EXPECT_EQ(list.GetChosenRow(), list.GetSelectedRow()) << key;
    }
}

// The drive list's row is the drive the pages act on (the erase page's too): Tab only moves the
// focus on, and Space changes nothing.
TEST_F(SelectList, TabAndSpaceNeverMoveTheSelection) {
    ClickRow(4);
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        QString text;
    } keys[] = {{Qt::Key_Tab, Qt::NoModifier, "\t"},
                {Qt::Key_Backtab, Qt::ShiftModifier, ""},
                {Qt::Key_Space, Qt::NoModifier, " "},
                {Qt::Key_Tab, Qt::NoModifier, "\t"}};
    for (const auto& k : keys) {
        QKeyEvent e(QEvent::KeyPress, k.key, k.modifiers, k.text);
        QCoreApplication::sendEvent(&list, &e);
        EXPECT_EQ(list.GetSelectedRow(), 4) << k.key;
        EXPECT_EQ(list.GetChosenRow(), 4) << k.key;
    }
}

// Typing searches nothing: the item view would jump to the next row beginning with the letter.
TEST_F(SelectList, TypingNeverChoosesAnotherRow) {
    for (int r = 0; r < 5; ++r) {
        list.SetItemText(r, 2, QStringLiteral("line %1").arg(r));
    }
    ClickRow(1);  // the current cell is in that column
    for (int key : {Qt::Key_L, Qt::Key_A}) {
        QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier, QString(QChar(key)).toLower());
        QCoreApplication::sendEvent(&list, &e);
        EXPECT_EQ(list.GetSelectedRow(), 1) << key;
        EXPECT_EQ(list.GetChosenRow(), 1) << key;
    }
}

TEST_F(SelectList, TrailingBlanksAreNotShownAndACutCellHasItsTextAsTooltip) {
    EXPECT_EQ(CSelectListCtrl::ShownText("VQ S300  \t "), "VQ S300");
    list.SetItemText(0, 2, "short" + QString(40, ' '));
    list.SetItemText(1, 2, QString(60, 'W'));
    EXPECT_FALSE(list.IsCellCut(0, 2));
    EXPECT_TRUE(list.IsCellCut(1, 2));
    // Drawn smaller, a slightly too long text fits; a much too long one is still cut.
    QFont font = list.font();
    font.setPixelSize(20);
    list.setFont(font);
    const int room = list.GetColumnWidth(2) - 2 * CSelectListCtrl::kCellPadding;
    QString slightly;
    while (QFontMetrics(font).horizontalAdvance(slightly) <= room) {  // one letter too long
        slightly += "x";
    }
    list.SetItemText(3, 2, slightly);
    EXPECT_TRUE(list.IsCellCut(3, 2));
    list.SetShrinkToFit(true);
    EXPECT_FALSE(list.IsCellCut(3, 2));
    EXPECT_LT(list.FontFor(slightly, room).pixelSize(), 20);
    EXPECT_TRUE(list.IsCellCut(1, 2));
    list.SetShrinkToFit(false);
    list.SetItemText(2, 1, QString(30, 'W'));
    ASSERT_TRUE(list.IsCellCut(2, 1));
    list.FitColumnToText(1);
    EXPECT_FALSE(list.IsCellCut(2, 1));
    const int fitted = list.GetColumnWidth(1);
    list.SetItemText(2, 1, "W");
    list.FitColumnToText(1);
    EXPECT_EQ(list.GetColumnWidth(1), fitted) << "never narrows";
}

TEST_F(SelectList, ChosenRowSurvivesRefillAndPastTheEndHighlightsNothing) {
    list.SetHighlight(true);
    ClickRow(4);
    Fill(2);
    EXPECT_EQ(list.GetChosenRow(), 4);
    const QImage img = Grab();
    EXPECT_EQ(Painted(img, 0), kCell);
    EXPECT_EQ(Painted(img, 1), kCell);
    Fill(5);
    EXPECT_EQ(Painted(Grab(), 4), kChosen);
}

TEST_F(SelectList, ListViewCalls) {
    EXPECT_EQ(list.GetItemCount(), 5);
    EXPECT_EQ(list.GetColumnCount(), 3);
    EXPECT_EQ(list.GetColumnWidth(1), 150);
    EXPECT_EQ(list.GetColumnWidth(0), 1);  // as narrow as asked, below the style's minimum
    EXPECT_EQ(list.InsertItem(0, "first"), 0);  // inserted at the index, others move down
    EXPECT_EQ(list.GetItemText(0, 0), "first");
    EXPECT_EQ(list.GetItemText(1, 1), "label 0");
    EXPECT_EQ(list.InsertItem(99, "last"), 6);
    EXPECT_FALSE(list.SetItemText(7, 1, "x"));
    EXPECT_FALSE(list.SetItemText(0, 3, "x"));
    EXPECT_EQ(list.GetItemText(9, 9), "");
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetItemText(0, 1), "label 0");
    std::vector<int> changed;
    QObject::connect(&list, &CSelectListCtrl::ItemChanged, [&](int row) { changed.push_back(row); });
    list.SetSelectedRow(3);
    EXPECT_EQ(changed, std::vector<int>{3});
    EXPECT_EQ(list.GetSelectedRow(), 3);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST(TabCtrlM, PaintsNothingSoTheWindowAndPagesShow) {
    QWidget window;
    window.resize(200, 100);
    window.setAutoFillBackground(true);
    QPalette pal = window.palette();
    pal.setColor(QPalette::Window, QColor(200, 30, 30));
    window.setPalette(pal);
    auto* area = new CTabCtrlM(&window);
    area->setGeometry(10, 10, 180, 80);
    auto* page = new QWidget(area);
    page->setGeometry(0, 0, 90, 80);
    page->setAutoFillBackground(true);
    pal.setColor(QPalette::Window, QColor(1, 41, 108));
    page->setPalette(pal);
    window.show();
    const QImage img = window.grab().toImage();
    EXPECT_EQ(img.pixelColor(150, 50), QColor(200, 30, 30));
    EXPECT_EQ(img.pixelColor(40, 50), QColor(1, 41, 108));
}

}  // namespace vellumin::controls
