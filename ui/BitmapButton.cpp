#include "ui/BitmapButton.h"

#include <QPainter>

#include "ui/FocusMark.h"

namespace vellumin::ui {

BitmapButton::BitmapButton(QWidget* parent) : QAbstractButton(parent) {}

void BitmapButton::LoadBitmaps(const QPixmap& normal, const QPixmap& pressed, const QPixmap& focus,
                               const QPixmap& disabled) {
    m_normal = normal;
    m_pressed = pressed;
    m_focus = focus;
    m_disabled = disabled;
    update();
}

void BitmapButton::SizeToContent() {
    if (!m_normal.isNull()) {
        resize(m_normal.deviceIndependentSize().toSize());
    }
}

QSize BitmapButton::sizeHint() const {
    return m_normal.isNull() ? QSize(75, 23) : m_normal.deviceIndependentSize().toSize();
}

BitmapButton::Look BitmapButton::CurrentLook() const {
    if (!isEnabled()) {
        return Look::Disabled;
    }
    if (isDown()) {
        return Look::Pressed;
    }
    return hasFocus() ? Look::Focus : Look::Normal;
}

void BitmapButton::paintEvent(QPaintEvent*) {
    const QPixmap* shown = &m_normal;
    switch (CurrentLook()) {
    case Look::Disabled: shown = m_disabled.isNull() ? &m_normal : &m_disabled; break;
    case Look::Pressed: shown = m_pressed.isNull() ? &m_normal : &m_pressed; break;
    case Look::Focus: shown = m_focus.isNull() ? &m_normal : &m_focus; break;
    case Look::Normal: break;
    }
    QPainter painter(this);
    if (!shown->isNull()) {
        painter.drawPixmap(0, 0, *shown);
    }
    // A button without a focus bitmap would not show the focus at all.
    if (CurrentLook() == Look::Focus && m_focus.isNull()) {
        DrawFocusMark(painter, rect());
    }
}

}  // namespace vellumin::ui
