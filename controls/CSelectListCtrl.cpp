#include "controls/CSelectListCtrl.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

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
        const QRect text = option.rect.adjusted(4, 0, -4, 0);
        const QVariant align = m_list->model()->headerData(index.column(), Qt::Horizontal,
                                                           Qt::TextAlignmentRole);
        const int flags =
            (align.isValid() ? align.toInt() & Qt::AlignHorizontal_Mask : int(Qt::AlignLeft)) |
            Qt::AlignVCenter | Qt::TextSingleLine;
        p->setFont(option.font);
        p->setPen(CSelectListCtrl::TextColor());
        const QString value = index.data(Qt::DisplayRole).toString();
        p->drawText(text, flags, option.fontMetrics.elidedText(value, Qt::ElideRight, text.width()));
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
