#include "controls/CGdipButton.h"

#include <algorithm>
#include <cmath>

#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <vector>

#include "ui/FocusMark.h"

namespace vellumin::controls {

namespace {

// What a screen reader sees of the button: Qt's own button interface knows nothing of the
// latch or of pictures that are no buttons at all.
class CGdipButtonAccessible : public QAccessibleWidget {
public:
    explicit CGdipButtonAccessible(CGdipButton* button)
        : QAccessibleWidget(button, QAccessible::Button) {}

    CGdipButton* Button() const { return static_cast<CGdipButton*>(widget()); }
    bool IsButton() const { return Button()->AccessibleRole() == QAccessible::Button; }

    QAccessible::Role role() const override { return Button()->AccessibleRole(); }

    QString text(QAccessible::Text t) const override {
        if (t != QAccessible::Name) {
            return QAccessibleWidget::text(t);
        }
        const QString name = Button()->accessibleName();
        return name.isEmpty() ? Button()->text() : name;
    }

    QAccessible::State state() const override {
        QAccessible::State st = QAccessibleWidget::state();
        if (IsButton()) {
            st.pressed = Button()->isDown() || Button()->IsLatched();
        } else {
            // A picture is disabled only so that it takes no clicks; it is not greyed out.
            st.disabled = false;
        }
        return st;
    }

    QStringList actionNames() const override {
        QStringList names;
        if (IsButton() && Button()->isEnabled()) {
            names << pressAction();
        }
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override {
        if (action == pressAction()) {
            // Deferred, so a command that opens a modal window does not hold up the caller.
            if (IsButton() && Button()->isEnabled()) {
                Button()->animateClick();
            }
            return;
        }
        QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* AccessibleFactory(const QString& key, QObject* object) {
    if (key == QLatin1String(CGdipButton::staticMetaObject.className())) {
        if (auto* button = qobject_cast<CGdipButton*>(object)) {
            return new CGdipButtonAccessible(button);
        }
    }
    return nullptr;
}

}  // namespace

QEvent::Type CGdipButtonEvent::Type() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

CGdipButton::CGdipButton(QWidget* parent) : QAbstractButton(parent) {
    static const bool factory = [] {
        QAccessible::installFactory(AccessibleFactory);
        return true;
    }();
    (void)factory;
    // Mouse moves without a pressed button are what drive hover and the 9000 reports.
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setInterval(1);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CGdipButton::OnHover);
}

CGdipButton::~CGdipButton() = default;

bool CGdipButton::SetNormalImage(int id, const char* type) {
    if (!m_imgNormal) {
        m_imgNormal = std::make_unique<CGdiPlusBitmapResource>();
    }
    return m_imgNormal->Load(id, type);
}

bool CGdipButton::SetPressedImage(int id, const char* type) {
    m_imgPressed = std::make_unique<CGdiPlusBitmapResource>();
    return m_imgPressed->Load(id, type);
}

bool CGdipButton::SetHoverImage(int id, const char* type) {
    m_imgHover = std::make_unique<CGdiPlusBitmapResource>();
    return m_imgHover->Load(id, type);
}

void CGdipButton::SetImages(int normal, int highlight) {
    SetNormalImage(normal);
    SetHoverImage(highlight);
    SetPressedImage(highlight);
}

void CGdipButton::SetLatched(bool latched) {
    const bool changed = latched != m_bLatched;
    m_bLatched = latched;
    if (changed && m_accRole == QAccessible::Button) {
        QAccessible::State pressed;
        pressed.pressed = true;
        QAccessibleStateChangeEvent event(this, pressed);
        QAccessible::updateAccessibility(&event);
    }
    update();
}

QSize CGdipButton::sizeHint() const {
    const QImage* image = m_imgNormal ? m_imgNormal->GetBitmap() : nullptr;
    return image ? image->size() : QSize(0, 0);
}

QImage CGdipButton::Brighten(const QImage& image) {
    QImage out = image.convertToFormat(QImage::Format_ARGB32);
    auto channel = [](int v) {
        const float x = std::min(1.0f, 1.05f * (float(v) / 255.0f) + 0.05f);
        return int(std::lround(x * 255.0f));
    };
    for (int y = 0; y < out.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgba(channel(qRed(c)), channel(qGreen(c)), channel(qBlue(c)), qAlpha(c));
        }
    }
    return out;
}

// The parent's own pixels under the button: every ancestor from the window down to the parent
// painted without its children, so siblings (and this button) never get into the picture.
void CGdipButton::CaptureBackground() {
    const qreal ratio = devicePixelRatioF();
    m_surfBack = QImage(size() * ratio, QImage::Format_ARGB32_Premultiplied);
    m_surfBack.setDevicePixelRatio(ratio);
    m_surfBack.fill(palette().color(QPalette::Window));
    std::vector<QWidget*> chain;
    for (QWidget* w = parentWidget(); w != nullptr; w = w->isWindow() ? nullptr : w->parentWidget()) {
        chain.push_back(w);
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        QWidget* ancestor = *it;
        const QRect area(mapTo(ancestor, QPoint(0, 0)), size());
        ancestor->render(&m_surfBack, QPoint(0, 0), QRegion(area), QWidget::DrawWindowBackground);
    }
}

QImage CGdipButton::Compose(const QImage& image, QPoint at) const {
    QImage canvas = m_surfBack;
    QPainter p(&canvas);
    // Only a fractional device pixel ratio scales the image here.
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(at, image);
    return canvas;
}

void CGdipButton::RenderSurfaces() {
    if (m_bSurfacesReady || !m_imgNormal || !*m_imgNormal) {
        return;
    }
    if (m_surfBack.isNull()) {
        CaptureBackground();
    }
    // On a screen of device pixel ratio above 1 the twice-size images, so the looks are as
    // sharp as the screen; they draw in the same logical size.
    const qreal ratio = devicePixelRatioF();
    const QImage& normal = *m_imgNormal->GetBitmap(ratio);
    if (m_surfNormal.isNull()) {
        m_surfNormal = Compose(normal, QPoint(0, 0));
        if (m_surfPressed.isNull()) {
            const bool own = m_imgPressed && *m_imgPressed;
            m_surfPressed = Compose(own ? *m_imgPressed->GetBitmap(ratio) : normal, QPoint(1, 1));
        }
        if (m_surfHover.isNull()) {
            const bool own = m_imgHover && *m_imgHover;
            m_surfHover =
                Compose(own ? *m_imgHover->GetBitmap(ratio) : Brighten(normal), QPoint(0, 0));
        }
    }
    if (m_pShown == Look::None) {
        m_pShown = Look::Normal;
    }
    m_bSurfacesReady = true;
}

void CGdipButton::paintEvent(QPaintEvent*) {
    RenderSurfaces();
    if (!m_bSurfacesReady) {
        return;
    }
    // A disabled button keeps its looks.
    const QImage* surface = &m_surfNormal;
    if (m_bLatched || isDown()) {
        m_pShown = Look::Pressed;
        surface = &m_surfPressed;
    } else if (m_bHover) {
        m_pShown = Look::Hover;
        surface = &m_surfHover;
    } else {
        m_pShown = Look::Normal;
    }
    QPainter p(this);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(0, 0, *surface);
    if (ShowsFocusMark()) {
        vellumin::ui::DrawFocusMark(p, rect());
    }
}

// As on the desktop, the mark shows where the keyboard moved the focus, not after a click.
void CGdipButton::focusInEvent(QFocusEvent* e) {
    m_bKeyboardFocus = e->reason() == Qt::TabFocusReason || e->reason() == Qt::BacktabFocusReason;
    QAbstractButton::focusInEvent(e);
    update();
}

void CGdipButton::focusOutEvent(QFocusEvent* e) {
    m_bKeyboardFocus = false;
    QAbstractButton::focusOutEvent(e);
    update();
}

void CGdipButton::mouseMoveEvent(QMouseEvent* e) {
    if (!m_bTracking) {
        m_bTracking = true;
        m_hoverTimer.start();
    }
    if (QWidget* parent = parentWidget()) {
        const QPoint at = mapToParent(e->position().toPoint());
        CGdipButtonEvent report(kMsgCursorPos, at.x(), at.y());
        QCoreApplication::sendEvent(parent, &report);
    }
    QAbstractButton::mouseMoveEvent(e);
}

void CGdipButton::OnHover() {
    m_bHover = true;
    update();
}

// A double-click is a second press, so two quick clicks are two clicks.
void CGdipButton::mouseDoubleClickEvent(QMouseEvent* e) { mousePressEvent(e); }

void CGdipButton::leaveEvent(QEvent* e) {
    // Leaving is reported only for a visit that began with a move, once.
    QWidget* parent = parentWidget();
    if (m_bTracking && parent != nullptr) {
        CGdipButtonEvent report(kMsgMouseLeft, 1, 1);
        QCoreApplication::sendEvent(parent, &report);
    }
    m_hoverTimer.stop();
    m_bTracking = false;
    m_bHover = false;
    update();
    QAbstractButton::leaveEvent(e);
}

}  // namespace vellumin::controls
