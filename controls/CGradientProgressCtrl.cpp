#include "controls/CGradientProgressCtrl.h"

#include <climits>

#include <QMetaObject>
#include <QPainter>
#include <QPaintEvent>
#include <QThread>

#include "controls/CMemDC.h"

namespace vellumin::controls {

namespace {

controls::ColorRef ToRef(const QColor& c) { return controls::Rgb(c.red(), c.green(), c.blue()); }

QColor ToColor(controls::ColorRef c) {
    return QColor(controls::RedOf(c), controls::GreenOf(c), controls::BlueOf(c));
}

}  // namespace

CGradientProgressCtrl::CGradientProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    m_clrBkGround = palette().color(QPalette::Button);
    // Every pixel is painted here; no separate erase that could flicker.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setTextVisible(false);
    QProgressBar::setRange(0, 100);
    QProgressBar::setValue(0);
    UpdateAccessibleName();
}

// A screen reader reads the bar by its percentage, shown or not; an empty bar reads as none done.
void CGradientProgressCtrl::UpdateAccessibleName() {
    const auto text = controls::GradientPercentText(m_nLower, m_nUpper, m_nPos);
    const QString name = QString::fromStdString(text.value_or("0.00 %"));
    if (name != accessibleName()) {
        setAccessibleName(name);
    }
}

// The scan and download workers set range and position from their own threads: the change is
// queued to the control's thread in call order, never waited for, so a worker cannot block on
// a busy interface.
bool CGradientProgressCtrl::Forwarded(std::function<void()> change) {
    if (QThread::currentThread() == thread()) {
        return false;
    }
    QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
    return true;
}

void CGradientProgressCtrl::SetRange(int lower, int upper) {
    if (Forwarded([this, lower, upper] { SetRange(lower, upper); })) {
        return;
    }
    m_nLower = lower;
    m_nUpper = upper;
    m_nPos = lower;
    m_nCountShift = 0;
    QProgressBar::setRange(lower, upper);
    UpdateAccessibleName();
    update();
}

void CGradientProgressCtrl::SetCountRange(uint64_t total) {
    // The bar counts in signed 32 bits.
    unsigned shift = 0;
    while ((total >> shift) > static_cast<uint64_t>(INT_MAX)) {
        ++shift;
    }
    SetRange(0, static_cast<int>(total >> shift));
    m_nCountShift = shift;
}

void CGradientProgressCtrl::SetPos(int position) {
    if (Forwarded([this, position] { SetPos(position); })) {
        return;
    }
    m_nPos = position;
    QProgressBar::setValue(position);
    UpdateAccessibleName();
    update();
}

QString CGradientProgressCtrl::PercentText() const {
    if (!m_bShowPercent) {
        return QString();
    }
    const auto text = controls::GradientPercentText(m_nLower, m_nUpper, m_nPos);
    return text ? QString::fromStdString(*text) : QString();
}

void CGradientProgressCtrl::paintEvent(QPaintEvent*) {
    QPainter screen(this);
    const int w = width();
    const int h = height();
    if (!controls::GradientInRange(m_nLower, m_nUpper, m_nPos)) {
        screen.fillRect(rect(), palette().color(QPalette::Button));
        return;
    }
    const bool vertical = orientation() == Qt::Vertical;
    const int length = vertical ? h : w;
    const int filled = controls::GradientFilledLength(m_nPos, m_nUpper, length);
    {
        CMemDC mem(screen, rect());
        QPainter& p = mem.painter();
        const auto layout =
            controls::LayoutGradient(ToRef(m_clrStart), ToRef(m_clrEnd), length, filled);
        for (const auto& band : layout.bands) {
            // Bands run one pixel past the bar across, as the fill rectangles always did.
            const QRect r = vertical ? QRect(0, band.from, w + 1, band.to - band.from)
                                     : QRect(band.from, 0, band.to - band.from, h + 1);
            p.fillRect(r, ToColor(band.colour));
        }
        if (layout.backgroundFrom >= 0) {
            const QRect rest = vertical ? QRect(QPoint(0, layout.backgroundFrom), QPoint(w - 1, h - 1))
                                        : QRect(QPoint(layout.backgroundFrom, 0), QPoint(w - 1, h - 1));
            p.fillRect(rest, m_clrBkGround);
        }
    }
    const QString text = PercentText();
    if (!text.isEmpty()) {
        screen.setPen(m_clrText);
        screen.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text);
    }
}

}  // namespace vellumin::controls
