#pragma once

// The report list of the drive list and the information and SMART reports: every cell white
// text on the page colour RGB(1, 41, 108); with highlighting on, the chosen row on
// RGB(2, 29, 73). The chosen cell (row, column) is the list's own, moved by clicks on a cell
// and by the arrow keys, and kept when rows are deleted or inserted; the built-in selection is
// still there for the owner (GetSelectedRow, ItemChanged) but never painted.
//
// The calls mirror a list view's:
//
//     list->SetExtendedStyle(CSelectListCtrl::kGridLines);
//     list->InsertColumn(0, "", CSelectListCtrl::Align::Left, 1);
//     list->InsertColumn(1, "Feature", CSelectListCtrl::Align::Left, 200);
//     int row = list->InsertItem(0, "");
//     list->SetItemText(row, 1, "Model");

#include <QColor>
#include <QString>
#include <QTableWidget>

namespace vellumin::controls {

class CSelectListCtrl : public QTableWidget {
    Q_OBJECT
public:
    enum class Align { Left, Right, Center };
    // Extended styles (list-view values).
    static constexpr int kGridLines = 0x01;
    static constexpr int kFullRowSelect = 0x20;
    // Pixels between a cell's edge and its text, on either side.
    static constexpr int kCellPadding = 4;

    static QColor TextColor() { return QColor(255, 255, 255); }
    static QColor CellColor() { return QColor(1, 41, 108); }
    static QColor HighlightColor() { return QColor(2, 29, 73); }
    static QColor GridColor() { return QColor(96, 128, 180); }

    explicit CSelectListCtrl(QWidget* parent = nullptr);

    // Columns. Width -1 leaves the default. Answers the new column's index.
    int InsertColumn(int column, const QString& heading, Align align = Align::Left,
                     int width = -1);
    int GetColumnCount() const { return columnCount(); }
    int GetColumnWidth(int column) const { return columnWidth(column); }

    // Rows. InsertItem puts a row at `row` (clamped to the end) with `text` in column 0 and
    // answers its index; out-of-range rows or columns answer false / an empty text.
    int InsertItem(int row, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    bool DeleteItem(int row);
    bool DeleteAllItems();
    int GetItemCount() const { return rowCount(); }

    // Looks set by the owner.
    void SetExtendedStyle(int styles);
    int GetExtendedStyle() const { return m_exStyle; }
    void SetBkColor(const QColor& colour);  // the list's background outside the cells
    void SetHeaderVisible(bool visible);

    // Highlight flag: the chosen row painted in HighlightColor(). Off until the owner sets it.
    void SetHighlight(bool on);
    bool GetHighlight() const { return m_bHighlight; }

    // The chosen cell, row 0 / column 0 until a click or an arrow key moves it.
    int GetChosenRow() const { return m_nChosenRow; }
    int GetChosenColumn() const { return m_nChosenColumn; }
    void SetChosenCell(int row, int column);

    // Cell background as painted now.
    QColor CellBackground(int row) const;

    // The chosen row carries the focus mark while the keyboard is at work in the list (focus by
    // Tab or Shift+Tab, or a key pressed in it), as desktop lists hide it after a click.
    bool ShowsFocusMark() const { return m_bKeyboardFocus && hasFocus(); }

    // The built-in (unpainted) selection, for the owner's notion of the selected row.
    int GetSelectedRow() const;
    void SetSelectedRow(int row);

    // The text a cell shows for `text`: without trailing blanks.
    static QString ShownText(const QString& text);
    // Whether the cell is too narrow for its text (it then shows it whole as a tooltip).
    bool IsCellCut(int row, int column) const;
    // Widens the column to its widest text; never narrows it.
    void FitColumnToText(int column);
    // The last column (of those inserted so far) takes whatever width the others leave.
    void SetLastColumnFills(bool fills);
    // A text too wide for its cell is drawn in a smaller size (down to four fifths) before
    // it is cut.
    void SetShrinkToFit(bool shrink);
    // The font a cell `room` pixels wide draws `text` in.
    QFont FontFor(const QString& text, int room) const;

    // Typing does not move the selection (see the source).
    void keyboardSearch(const QString& search) override;

signals:
    // A row became selected (by click, key or SetSelectedRow).
    void ItemChanged(int row);

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool viewportEvent(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void FitRowHeight();

    int m_nChosenRow = 0;
    int m_nChosenColumn = 0;
    bool m_bHighlight = false;
    bool m_bKeyboardFocus = false;
    bool m_bShrinkToFit = false;
    int m_exStyle = 0;
};

}  // namespace vellumin::controls
