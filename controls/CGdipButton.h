#pragma once

// A push button drawn from PNG images with per-pixel alpha.
//
// Three looks (normal, pressed, hover) are rendered once, at the first paint, into state
// surfaces of the button's size with the parent's own pixels under the image, so transparent
// parts of the PNG show what lies behind the button as it was then. Later paints only copy a
// ready surface. Without a pressed image the pressed look is the normal image moved one pixel
// right and down; without a hover image the hover look is the normal image through the
// brightening matrix (each colour channel x 1.05 + 0.05, alpha unchanged). A latched button
// is drawn pressed whatever the mouse does. A double-click counts as two clicks.
//
// Set the images (by PNG resource id) before the button is first painted:
//
//     auto* b = new CGdipButton(dialog);          // or a member; parent owns it
//     b->setGeometry(...);
//     b->SetNormalImage(130);
//     b->SetHoverImage(136);
//     b->SetPressedImage(136);                    // these three: b->SetImages(130, 136)
//
// Assistive technology reads the button's text (set, never drawn) or accessible name as its
// name, and sees a push button whose latch is its pressed state; a picture that only labels
// or divides is given another role with SetAccessibleRole (it then offers no action).
//
// Mouse reports to the parent. For every mouse move over the button the parent receives,
// synchronously (QCoreApplication::sendEvent), a CGdipButtonEvent with Message() == 9000
// (kMsgCursorPos) and X()/Y() the cursor position in the parent's client coordinates; when
// the mouse leaves the button the parent receives one CGdipButtonEvent with Message() == 9001
// (kMsgMouseLeft) and X() == Y() == 1. React to them in the parent's event():
//
//     bool MyDialog::event(QEvent* e) {
//         if (const auto* m = CGdipButtonEvent::From(e)) {
//             if (m->Message() == CGdipButton::kMsgCursorPos) ShowDescriptionAt(m->X(), m->Y());
//             else HideDescriptions();
//             return true;
//         }
//         return QDialog::event(e);
//     }

#include <QAbstractButton>
#include <QAccessible>
#include <QEvent>
#include <QImage>
#include <QTimer>
#include <memory>

#include "controls/CGdiPlusBitmap.h"

namespace vellumin::controls {

class CGdipButtonEvent : public QEvent {
public:
    CGdipButtonEvent(int message, int x, int y) : QEvent(Type()), m_message(message), m_x(x), m_y(y) {}

    // The registered event type shared by all button reports.
    static QEvent::Type Type();
    // The event as a button report, or nullptr when it is something else.
    static const CGdipButtonEvent* From(const QEvent* e) {
        return e != nullptr && e->type() == Type() ? static_cast<const CGdipButtonEvent*>(e)
                                                   : nullptr;
    }

    int Message() const { return m_message; }  // 9000 or 9001
    int X() const { return m_x; }              // wParam
    int Y() const { return m_y; }              // lParam

private:
    int m_message;
    int m_x;
    int m_y;
};

class CGdipButton : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kMsgCursorPos = 9000;
    static constexpr int kMsgMouseLeft = 9001;

    enum class Look { None, Normal, Pressed, Hover };

    explicit CGdipButton(QWidget* parent = nullptr);
    ~CGdipButton() override;

    // Each answers whether the image loaded. The normal holder is reused on a second call;
    // pressed and hover are set at most once per button.
    bool SetNormalImage(int id, const char* type = "PNG");
    bool SetPressedImage(int id, const char* type = "PNG");
    bool SetHoverImage(int id, const char* type = "PNG");
    // The usual set: `normal`, and `highlight` for both hover and pressed.
    void SetImages(int normal, int highlight);

    void SetLatched(bool latched);
    // QAccessible::Button (a push button, the default), StaticText or Separator.
    void SetAccessibleRole(QAccessible::Role role) { m_accRole = role; }
    QAccessible::Role AccessibleRole() const { return m_accRole; }
    bool IsLatched() const { return m_bLatched; }
    bool IsHover() const { return m_bHover; }

    // The focus mark is drawn over the look while the keyboard (Tab, Shift+Tab) put the focus here.
    bool ShowsFocusMark() const { return m_bKeyboardFocus && hasFocus(); }

    // The look chosen at the last paint (None before the first, or without a normal image).
    Look ShownLook() const { return m_pShown; }
    // The rendered surfaces, in the button's size times the device pixel ratio of its screen at
    // the first paint; null images until then.
    const QImage& NormalSurface() const { return m_surfNormal; }
    const QImage& PressedSurface() const { return m_surfPressed; }
    const QImage& HoverSurface() const { return m_surfHover; }

    QSize sizeHint() const override;

    // The hover look made from the normal image: 1.05 x channel + 0.05 per colour channel
    // (values 0..1, clamped), alpha unchanged. Works on straight (non-premultiplied) colour.
    static QImage Brighten(const QImage& image);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;

private:
    void RenderSurfaces();
    QImage Compose(const QImage& image, QPoint at) const;
    void CaptureBackground();
    void OnHover();

    bool m_bLatched = false;
    bool m_bSurfacesReady = false;
    bool m_bHover = false;
    bool m_bTracking = false;
    bool m_bKeyboardFocus = false;
    std::unique_ptr<CGdiPlusBitmapResource> m_imgNormal;
    std::unique_ptr<CGdiPlusBitmapResource> m_imgPressed;
    std::unique_ptr<CGdiPlusBitmapResource> m_imgHover;
    QImage m_surfBack;
    QImage m_surfNormal;
    QImage m_surfPressed;
    QImage m_surfHover;
    Look m_pShown = Look::None;
    QTimer m_hoverTimer;
    QAccessible::Role m_accRole = QAccessible::Button;
};

}  // namespace vellumin::controls
