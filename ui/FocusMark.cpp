#include "ui/FocusMark.h"

#include <QPainter>
#include <QPen>

namespace vellumin::ui {

void DrawFocusMark(QPainter& painter, const QRect& rect) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setBrush(Qt::NoBrush);
    const QRect mark = rect.adjusted(1, 1, -2, -2);
    painter.setPen(QPen(QColor(0, 0, 0), 1));
    painter.drawRect(mark);
    QPen dots(QColor(255, 255, 255), 1, Qt::CustomDashLine);
    dots.setDashPattern({2, 2});
    painter.setPen(dots);
    painter.drawRect(mark);
    painter.restore();
}

}  // namespace vellumin::ui
