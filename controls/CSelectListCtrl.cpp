#include "controls/CSelectListCtrl.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "ui/FocusMark.h"

namespace vellumin::controls {

namespace {

// Paints each cell in the list's colours and nothing else: no selection, focus or hover marks.
class CellPainter : public QStyledItemDelegate {
public:
    explicit CellPainter(CSelectListCtrl* list) : QStyledItemDelegate(list), m_list(list) {}

    void paint(QPainter* p, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        p->save();
        p->fillRect(option.rect, m_list->CellBackground(index.row()));
        if ((m_list->GetExtendedStyle() & CSelectListCtrl::kGridLines) != 0) {
            // Drawn here rather than by the view, whose grid colour the style darkens from
            // the background and which would be lost on the page colour.
            p->setPen(CSelectListCtrl::GridColor());
            p->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
            p->drawLine(option.rect.topRight(), option.rect.bottomRight());
        }
        const QRect text = option.rect.adjusted(CSelectListCtrl::kCellPadding, 0,
                                                -CSelectListCtrl::kCellPadding, 0);
        const QVariant align = m_list->model()->headerData(index.column(), Qt::Horizontal,
                                                           Qt::TextAlignmentRole);
        const int flags =
            (align.isValid() ? align.toInt() & Qt::AlignHorizontal_Mask : int(Qt::AlignLeft)) |
            Qt::AlignVCenter | Qt::TextSingleLine;
        const QString value = CSelectListCtrl::ShownText(index.data(Qt::DisplayRole).toString());
        const QFont font = m_list->FontFor(value, text.width());
        const QFontMetrics metrics(font);
        p->setFont(font);
        p->setPen(CSelectListCtrl::TextColor());
        p->drawText(text, flags, metrics.elidedText(value, Qt::ElideRight, text.width()));
        // Where the keyboard is: the chosen row of a highlighting list that has the focus.
        if (m_list->ShowsFocusMark() && m_list->GetHighlight() &&
            index.row() == m_list->GetChosenRow()) {
            QRect row = option.rect;
            if (index.column() == 0) {
                row.setRight(m_list->viewport()->width() - 1);
            }
            vellumin::ui::DrawFocusMark(*p, row);
        }
        p->restore();
    }

private:
    CSelectListCtrl* m_list;
};

}  // namespace

CSelectListCtrl::CSelectListCtrl(QWidget* parent) : QTableWidget(parent) {
    setItemDelegate(new CellPainter(this));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The selected row is the drive every page acts on: Tab moves the focus on, never the row.
    setTabKeyNavigation(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->hide();
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    // A column is as wide as asked: the style's minimum (some 30 pixels) would widen the
    // 1-pixel lead column of the report lists into an empty strip.
    horizontalHeader()->setMinimumSectionSize(0);
    horizontalHeader()->setSectionsClickable(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SetBkColor(QColor(255, 255, 255));
    FitRowHeight();
    connect(this, &QTableWidget::itemSelectionChanged, this, [this] {
        const int row = GetSelectedRow();
        if (row >= 0) {
            // Whatever moved the selection (a jump key included), the highlight follows it.
            if (row != m_nChosenRow) {
                m_nChosenRow = row;
                viewport()->update();
            }
            emit ItemChanged(row);
        }
    });
}

int CSelectListCtrl::InsertColumn(int column, const QString& heading, Align align, int width) {
    column = std::clamp(column, 0, columnCount());
    insertColumn(column);
    auto* header = new QTableWidgetItem(heading);
    const Qt::Alignment h = align == Align::Center  ? Qt::AlignHCenter
                            : align == Align::Right ? Qt::AlignRight
                                                    : Qt::AlignLeft;
    header->setTextAlignment(h | Qt::AlignVCenter);
    setHorizontalHeaderItem(column, header);
    if (width >= 0) {
        setColumnWidth(column, width);
    }
    return column;
}

int CSelectListCtrl::InsertItem(int row, const QString& text) {
    if (columnCount() == 0) {
        InsertColumn(0, QString());
    }
    row = std::clamp(row, 0, rowCount());
    insertRow(row);
    setItem(row, 0, new QTableWidgetItem(text));
    return row;
}

bool CSelectListCtrl::SetItemText(int row, int column, const QString& text) {
    if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount()) {
        return false;
    }
    if (QTableWidgetItem* cell = item(row, column)) {
        cell->setText(text);
    } else {
        setItem(row, column, new QTableWidgetItem(text));
    }
    return true;
}

QString CSelectListCtrl::GetItemText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

bool CSelectListCtrl::DeleteItem(int row) {
    if (row < 0 || row >= rowCount()) {
        return false;
    }
    removeRow(row);
    return true;
}

bool CSelectListCtrl::DeleteAllItems() {
    setRowCount(0);
    return true;
}

void CSelectListCtrl::SetExtendedStyle(int styles) {
    m_exStyle = styles;
    // The selection is never painted, so whole rows are selected in either case; the cell
    // painter draws the grid lines.
    viewport()->update();
}

void CSelectListCtrl::SetBkColor(const QColor& colour) {
    QPalette pal = palette();
    pal.setColor(QPalette::Base, colour);
    setPalette(pal);
    viewport()->setAutoFillBackground(true);
}

void CSelectListCtrl::SetHeaderVisible(bool visible) { horizontalHeader()->setVisible(visible); }

void CSelectListCtrl::SetHighlight(bool on) {
    m_bHighlight = on;
    viewport()->update();
}

void CSelectListCtrl::SetChosenCell(int row, int column) {
    m_nChosenRow = row;
    m_nChosenColumn = column;
    viewport()->update();
}

QColor CSelectListCtrl::CellBackground(int row) const {
    return m_bHighlight && row == m_nChosenRow ? HighlightColor() : CellColor();
}

int CSelectListCtrl::GetSelectedRow() const {
    const QModelIndexList rows = selectionModel()->selectedIndexes();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void CSelectListCtrl::SetSelectedRow(int row) {
    if (row < 0 || row >= rowCount()) {
        clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(model()->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
}

void CSelectListCtrl::mousePressEvent(QMouseEvent* e) {
    // Only a click on a cell moves the chosen cell; the empty area below the rows does not.
    const QModelIndex cell = indexAt(e->position().toPoint());
    if (cell.isValid()) {
        m_nChosenRow = cell.row();
        m_nChosenColumn = cell.column();
        viewport()->update();
    }
    QTableWidget::mousePressEvent(e);
}

void CSelectListCtrl::mouseMoveEvent(QMouseEvent* e) {
    // A list-view row is chosen by the press alone; moving with the button held drags, it does
    // not sweep the selection (and the pages' drive) along under the mouse.
    if (e->buttons() != Qt::NoButton) {
        return;
    }
    QTableWidget::mouseMoveEvent(e);
}

void CSelectListCtrl::keyPressEvent(QKeyEvent* e) {
    m_bKeyboardFocus = true;
    switch (e->key()) {
        // Neither may step to another row (and so another drive): Tab with no other control to
        // go to ends here, and Space would select the current cell and search for a blank.
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
        case Qt::Key_Space:
        case Qt::Key_Select:
            e->ignore();
            return;
        case Qt::Key_Left:
            if (m_nChosenColumn > 0) {
                --m_nChosenColumn;
            }
            break;
        case Qt::Key_Up:
            if (m_nChosenRow > 0) {
                --m_nChosenRow;
            }
            break;
        case Qt::Key_Right:
            if (m_nChosenColumn < columnCount() - 1) {
                ++m_nChosenColumn;
            }
            break;
        case Qt::Key_Down:
            if (m_nChosenRow < rowCount() - 1) {
                ++m_nChosenRow;
            }
            break;
        default: break;
    }
    viewport()->update();
    QTableWidget::keyPressEvent(e);
}

QString CSelectListCtrl::ShownText(const QString& text) {
    // Trailing blanks (of a padded drive field) show as nothing but would still push the text
    // into the cut-off mark.
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace()) {
        --end;
    }
    return text.left(end);
}

QFont CSelectListCtrl::FontFor(const QString& text, int room) const {
    QFont shown = font();
    if (!m_bShrinkToFit || shown.pixelSize() <= 0) {
        return shown;
    }
    // Down to four fifths of the list's size; a text that needs less is cut after all.
    const int full = shown.pixelSize();
    for (int size = full; size >= (full * 4 + 4) / 5; --size) {
        shown.setPixelSize(size);
        if (QFontMetrics(shown).horizontalAdvance(text) <= room) {
            break;
        }
    }
    return shown;
}

void CSelectListCtrl::SetShrinkToFit(bool shrink) {
    m_bShrinkToFit = shrink;
    viewport()->update();
}

bool CSelectListCtrl::IsCellCut(int row, int column) const {
    const QModelIndex index = model()->index(row, column);
    if (!index.isValid()) {
        return false;
    }
    const int room = visualRect(index).width() - 2 * kCellPadding;
    const QString text = ShownText(GetItemText(row, column));
    return QFontMetrics(FontFor(text, room)).horizontalAdvance(text) > room;
}

void CSelectListCtrl::FitColumnToText(int column) {
    if (column < 0 || column >= columnCount()) {
        return;
    }
    int widest = 0;
    for (int row = 0; row < rowCount(); ++row) {
        const QString text = ShownText(GetItemText(row, column));
        widest = std::max(widest, fontMetrics().horizontalAdvance(text));
    }
    if (widest + 2 * kCellPadding > columnWidth(column)) {
        setColumnWidth(column, widest + 2 * kCellPadding);
    }
}

void CSelectListCtrl::SetLastColumnFills(bool fills) {
    // Stretch, unlike the header's stretch-last-section, also narrows the column to the room
    // left, so nothing of it lies under the scroll bar.
    if (const int last = columnCount() - 1; last >= 0) {
        horizontalHeader()->setSectionResizeMode(
            last, fills ? QHeaderView::Stretch : QHeaderView::Interactive);
    }
    // Nothing lies beyond the last column then; a cell too narrow has its tooltip.
    setHorizontalScrollBarPolicy(fills ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
}

// A cell too narrow for its text shows the whole text as a tooltip.
bool CSelectListCtrl::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(e);
        const QModelIndex index = indexAt(help->pos());
        if (index.isValid() && IsCellCut(index.row(), index.column())) {
            const QString text = ShownText(GetItemText(index.row(), index.column()));
            QToolTip::showText(help->globalPos(), text, viewport(), visualRect(index));
        } else {
            QToolTip::hideText();
        }
        return true;
    }
    return QTableWidget::viewportEvent(e);
}

// Typing never chooses a row (the item view would jump to the next row starting with the
// letter, or with the blank the rows begin with for Space): rows move by click and arrow key.
void CSelectListCtrl::keyboardSearch(const QString&) {}

void CSelectListCtrl::focusInEvent(QFocusEvent* e) {
    m_bKeyboardFocus = e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason;
    QTableWidget::focusInEvent(e);
    viewport()->update();
}

void CSelectListCtrl::focusOutEvent(QFocusEvent* e) {
    m_bKeyboardFocus = false;
    QTableWidget::focusOutEvent(e);
    viewport()->update();
}

void CSelectListCtrl::changeEvent(QEvent* e) {
    if (e->type() == QEvent::FontChange) {
        FitRowHeight();
    }
    QTableWidget::changeEvent(e);
}

void CSelectListCtrl::FitRowHeight() {
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
}

}  // namespace vellumin::controls
