#pragma once

// A progress bar whose filled part is a fixed gradient from a start to an end colour across
// the whole length (the colour at a place stays put while the bar grows), the rest in a plain
// background colour, with the percentage optionally printed in the middle. An empty bar, or
// one past its range, shows the style's button-face colour and no text. Vertical bars
// (setOrientation(Qt::Vertical)) fill from the top.
// Its accessible name is the percentage, printed or not, so a screen reader reads it.
//
// Range and position are kept here as well as in QProgressBar, because the bar paints a
// position above its upper bound (as empty) that QProgressBar itself would refuse.
// SetRange and SetPos may be called from any thread: off the control's thread the change is
// queued to it, in order, without waiting. Everything else is for the control's thread.

#include <cstdint>
#include <functional>

#include <QColor>
#include <QProgressBar>

#include "controls/GradientBands.h"

namespace vellumin::controls {

class CGradientProgressCtrl : public QProgressBar {
    Q_OBJECT
public:
    explicit CGradientProgressCtrl(QWidget* parent = nullptr);

    void SetRange(int lower, int upper);  // also moves the position to lower
    void SetPos(int position);
    // A count that may pass what the bar holds (a drive's sectors, a file's bytes): the range
    // 0 to `total`, counted in units of 2^n so that it fits, and a position in the same count.
    // For the control's thread.
    void SetCountRange(uint64_t total);
    void SetCountPos(uint64_t count) { SetPos(static_cast<int>(count >> m_nCountShift)); }
    int GetPos() const { return m_nPos; }
    void GetRange(int& lower, int& upper) const {
        lower = m_nLower;
        upper = m_nUpper;
    }

    void SetGradientStartColor(const QColor& colour) { m_clrStart = colour; }
    void SetGradientEndColor(const QColor& colour) { m_clrEnd = colour; }
    void SetBackgroundColor(const QColor& colour) { m_clrBkGround = colour; }
    void SetPercentTextColor(const QColor& colour) { m_clrText = colour; }
    void SetShowPercent(bool show) { m_bShowPercent = show; }

    // The percentage text as painted now; empty when none is drawn.
    QString PercentText() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool Forwarded(std::function<void()> change);
    void UpdateAccessibleName();

    int m_nLower = 0;
    int m_nUpper = 100;
    int m_nPos = 0;
    unsigned m_nCountShift = 0;  // 0 after SetRange
    QColor m_clrStart{255, 0, 0};
    QColor m_clrEnd{0, 0, 255};
    QColor m_clrBkGround;
    QColor m_clrText{255, 255, 255};
    bool m_bShowPercent = false;
};

}  // namespace vellumin::controls
