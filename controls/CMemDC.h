#pragma once

// Collects drawing off-screen and copies it onto its target in one step when it goes out of
// scope, so a control's paint never shows half-drawn states. Callers draw through painter()
// in the target's coordinates. On a printer there is nothing to flicker: drawing goes to the
// target directly.

#include <QImage>
#include <QPainter>
#include <QRect>

namespace vellumin::controls {

class CMemDC {
public:
    // rect empty (all four values 0): the target's clip box, or its whole device without
    // clipping. copyFirst: start from the target's pixels, possible when the target paints
    // into an image or pixmap; a widget target starts transparent.
    CMemDC(QPainter& target, const QRect& rect = QRect(), bool copyFirst = false);
    ~CMemDC();

    CMemDC(const CMemDC&) = delete;
    CMemDC& operator=(const CMemDC&) = delete;

    QPainter& painter() { return m_bOffscreen ? m_painter : *m_target; }
    QPainter* operator->() { return &painter(); }
    const QRect& rect() const { return m_rect; }

private:
    QImage m_bitmap;
    QPainter m_painter;
    QPainter* m_target;
    QRect m_rect;
    bool m_bOffscreen;
};

}  // namespace vellumin::controls
