#include "controls/CMemDC.h"

#include <QPaintDevice>
#include <QPixmap>

namespace vellumin::controls {

namespace {

QRect ClipBox(QPainter& target) {
    if (target.hasClipping()) {
        return target.clipBoundingRect().toAlignedRect();
    }
    const QPaintDevice* device = target.device();
    return device ? QRect(0, 0, device->width(), device->height()) : QRect();
}

}  // namespace

CMemDC::CMemDC(QPainter& target, const QRect& rect, bool copyFirst)
    : m_target(&target),
      m_rect(rect.isNull() ? ClipBox(target) : rect),
      m_bOffscreen(target.device() == nullptr || target.device()->devType() != QInternal::Printer) {
    if (!m_bOffscreen) {
        return;
    }
    const qreal ratio = target.device() ? target.device()->devicePixelRatioF() : 1.0;
    m_bitmap = QImage(m_rect.size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_bitmap.setDevicePixelRatio(ratio);
    m_bitmap.fill(Qt::transparent);
    if (copyFirst && target.device() != nullptr) {
        QPaintDevice* device = target.device();
        if (device->devType() == QInternal::Image) {
            m_bitmap = static_cast<QImage*>(device)
                           ->copy(m_rect)
                           .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        } else if (device->devType() == QInternal::Pixmap) {
            m_bitmap = static_cast<QPixmap*>(device)->copy(m_rect).toImage().convertToFormat(
                QImage::Format_ARGB32_Premultiplied);
        }
    }
    m_painter.begin(&m_bitmap);
    m_painter.setFont(target.font());
    m_painter.translate(-m_rect.topLeft());
}

CMemDC::~CMemDC() {
    if (!m_bOffscreen) {
        return;
    }
    m_painter.end();
    m_target->save();
    m_target->setCompositionMode(QPainter::CompositionMode_Source);
    m_target->drawImage(m_rect.topLeft(), m_bitmap);
    m_target->restore();
}

}  // namespace vellumin::controls
