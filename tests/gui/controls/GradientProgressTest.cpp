#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPalette>

#include <QCoreApplication>
#include <QPainter>
#include <thread>

#include "controls/CGradientProgressCtrl.h"
#include "controls/CMemDC.h"
#include "controls/GradientBands.h"

namespace vellumin::controls {

using controls::GradientBandCount;
using controls::LayoutGradient;
using controls::Rgb;

namespace {

const controls::ColorRef kScanStart = Rgb(2, 29, 73);
const controls::ColorRef kScanEnd = Rgb(210, 210, 210);

QColor At(const QImage& img, int x, int y) { return img.pixelColor(x, y); }

// A bar set up as the scan page does.
void ScanLook(CGradientProgressCtrl& bar) {
    bar.SetGradientStartColor(QColor(2, 29, 73));
    bar.SetGradientEndColor(QColor(210, 210, 210));
    bar.SetBackgroundColor(QColor(255, 255, 255));
    bar.SetPercentTextColor(QColor(255, 255, 255));
    bar.SetShowPercent(true);
}

}  // namespace

TEST(GradientBands, ScanColoursGive208BandsRisingOneStepAtMost) {
    EXPECT_EQ(GradientBandCount(kScanStart, kScanEnd), 208);
    const auto full = LayoutGradient(kScanStart, kScanEnd, 416, 416);
    ASSERT_EQ(full.bands.size(), 208u);
    EXPECT_EQ(full.backgroundFrom, -1);
    EXPECT_EQ(full.bands.front().colour, kScanStart);
    for (size_t i = 0; i < full.bands.size(); ++i) {
        const auto c = full.bands[i].colour;
        EXPECT_EQ(controls::RedOf(c), 2 + int(i));  // red rises by exactly 1.0 per band
        EXPECT_EQ(full.bands[i].from, int(2 * i));
        EXPECT_EQ(full.bands[i].to, int(2 * i + 2));
        if (i > 0) {
            const auto p = full.bands[i - 1].colour;
            EXPECT_LE(controls::GreenOf(c) - controls::GreenOf(p), 1);
            EXPECT_LE(controls::BlueOf(c) - controls::BlueOf(p), 1);
            EXPECT_GE(controls::GreenOf(c), controls::GreenOf(p));
        }
    }
    // Green steps 181/208 and blue 137/208 per band, truncated.
    EXPECT_EQ(full.bands[100].colour, Rgb(102, 29 + 87, 73 + 65));
    EXPECT_EQ(full.bands.back().colour, Rgb(209, 209, 209));
}

TEST(GradientBands, PartialBarEndsOnTheNextBandBoundary) {
    // 50 of 200 on 416 pixels: n = 104; the band ending at 106 is the first past n.
    const int n = controls::GradientFilledLength(50, 200, 416);
    EXPECT_EQ(n, 104);
    const auto layout = LayoutGradient(kScanStart, kScanEnd, 416, n);
    ASSERT_EQ(layout.bands.size(), 53u);
    EXPECT_EQ(layout.bands.back().to, 106);
    EXPECT_EQ(layout.backgroundFrom, 106);
    // The smallest step still draws one band.
    const auto first = LayoutGradient(kScanStart, kScanEnd, 416, 0);
    EXPECT_EQ(first.bands.size(), 1u);
}

TEST(GradientBands, FullBarLeavesNoUnpaintedPixels) {
    for (int length = 1; length <= 1200; ++length) {
        const auto layout = LayoutGradient(kScanStart, kScanEnd, length, length);
        ASSERT_FALSE(layout.bands.empty());
        EXPECT_EQ(layout.bands.back().to, length) << "length " << length;
        EXPECT_EQ(layout.backgroundFrom, -1) << "length " << length;
    }
}

TEST(GradientBands, EqualColoursDrawOneBand) {
    const auto layout = LayoutGradient(Rgb(9, 9, 9), Rgb(9, 9, 9), 300, 300);
    ASSERT_EQ(layout.bands.size(), 1u);
    EXPECT_EQ(layout.bands[0].colour, Rgb(9, 9, 9));
    EXPECT_EQ(layout.bands[0].to, 300);
}

TEST(GradientBands, PercentTextFormat) {
    EXPECT_EQ(controls::GradientPercentText(0, 200, 50).value_or("none"), "25.00 %");
    EXPECT_EQ(controls::GradientPercentText(0, 100, 100).value_or("none"), "100.00 %");
    EXPECT_EQ(controls::GradientPercentText(0, 3, 1).value_or("none"), "33.33 %");
    EXPECT_EQ(controls::GradientPercentText(0, 1000, 5).value_or("none"), "0.50 %");
    EXPECT_FALSE(controls::GradientPercentText(0, 100, 0).has_value());
    EXPECT_FALSE(controls::GradientPercentText(0, 100, 101).has_value());
}

TEST(GradientProgressCtrl, QuarterBarPaintsGradientThenBackgroundAndText) {
    CGradientProgressCtrl bar;
    bar.resize(416, 20);
    ScanLook(bar);
    bar.SetRange(0, 200);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetPos(50);
    EXPECT_EQ(bar.PercentText(), QStringLiteral("25.00 %"));
    EXPECT_EQ(bar.accessibleName(), QStringLiteral("25.00 %"));  // what a screen reader reads
    const QImage img = bar.grab().toImage();
    EXPECT_EQ(At(img, 0, 1), QColor(2, 29, 73));
    EXPECT_EQ(At(img, 105, 1), QColor(2 + 52, 29 + 45, 73 + 34));
    EXPECT_EQ(At(img, 106, 1), QColor(255, 255, 255));
    EXPECT_EQ(At(img, 415, 19), QColor(255, 255, 255));
    // The text is drawn in the middle, over the background.
    bar.SetPercentTextColor(QColor(0, 0, 0));
    const QImage dark = bar.grab().toImage();
    bool darkText = false;
    for (int x = 160; x < 256 && !darkText; ++x) {
        for (int y = 0; y < 20 && !darkText; ++y) {
            darkText = At(dark, x, y).lightness() < 128;
        }
    }
    EXPECT_TRUE(darkText);
}

TEST(GradientProgressCtrl, EmptyOrPastRangeShowsButtonFaceAndNoText) {
    CGradientProgressCtrl bar;
    bar.resize(200, 16);
    ScanLook(bar);
    QPalette pal = bar.palette();
    pal.setColor(QPalette::Button, QColor(12, 200, 34));  // read at paint time, not stored
    bar.setPalette(pal);
    bar.SetRange(0, 100);
    for (int pos : {0, 101, -5}) {
        bar.SetPos(pos);
        EXPECT_TRUE(bar.PercentText().isEmpty()) << pos;
        EXPECT_EQ(bar.accessibleName(), QStringLiteral("0.00 %")) << pos;
        const QImage img = bar.grab().toImage();
        for (int x : {0, 99, 100, 199}) {
            for (int y : {0, 8, 15}) {
                EXPECT_EQ(At(img, x, y), QColor(12, 200, 34)) << pos << " " << x << "," << y;
            }
        }
    }
}

TEST(GradientProgressCtrl, FullBarShowsWholeGradient) {
    CGradientProgressCtrl bar;
    bar.resize(300, 16);
    ScanLook(bar);
    bar.SetShowPercent(false);
    bar.SetRange(0, 100);
    bar.SetPos(100);
    const QImage img = bar.grab().toImage();
    EXPECT_EQ(At(img, 0, 0), QColor(2, 29, 73));
    EXPECT_EQ(At(img, 299, 15), QColor(209, 209, 209));
    bar.SetShowPercent(true);
    EXPECT_EQ(bar.PercentText(), QStringLiteral("100.00 %"));
}

TEST(GradientProgressCtrl, VerticalBarFillsFromTheTop) {
    CGradientProgressCtrl bar;
    bar.setOrientation(Qt::Vertical);
    bar.resize(12, 416);
    ScanLook(bar);
    bar.SetShowPercent(false);
    bar.SetRange(0, 200);
    bar.SetPos(50);
    const QImage img = bar.grab().toImage();
    EXPECT_EQ(At(img, 6, 0), QColor(2, 29, 73));
    EXPECT_EQ(At(img, 6, 105), QColor(2 + 52, 29 + 45, 73 + 34));
    EXPECT_EQ(At(img, 6, 106), QColor(255, 255, 255));
    EXPECT_EQ(At(img, 11, 415), QColor(255, 255, 255));
}

TEST(GradientProgressCtrl, SetRangeResetsThePosition) {
    CGradientProgressCtrl bar;
    bar.SetRange(0, 50);
    bar.SetPos(30);
    bar.SetRange(0, 80);
    EXPECT_EQ(bar.GetPos(), 0);
    int lower = -1, upper = -1;
    bar.GetRange(lower, upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 80);
}

TEST(GradientProgressCtrl, WorkerUpdatesArriveInOrderOnTheControlsThread) {
    CGradientProgressCtrl bar;
    std::thread worker([&] {
        bar.SetRange(0, 400);
        for (int pos = 1; pos <= 100; ++pos) {
            bar.SetPos(pos);
        }
    });
    worker.join();
    EXPECT_EQ(bar.GetPos(), 0);  // nothing touched off the control's thread
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.GetPos(), 100);
    bar.SetShowPercent(true);
    EXPECT_EQ(bar.PercentText(), QStringLiteral("25.00 %"));
}

TEST(MemDC, DrawingReachesTheTargetOnlyWhenClosed) {
    QImage target(40, 20, QImage::Format_ARGB32_Premultiplied);
    target.fill(QColor(0, 0, 255));
    QPainter screen(&target);
    {
        CMemDC mem(screen, QRect(10, 5, 20, 10));
        // Callers draw in the target's coordinates.
        mem->fillRect(QRect(10, 5, 20, 10), QColor(0, 255, 0));
        mem->fillRect(QRect(12, 7, 2, 2), QColor(255, 0, 0));
        EXPECT_EQ(target.pixelColor(15, 8), QColor(0, 0, 255));
    }
    screen.end();
    EXPECT_EQ(target.pixelColor(15, 8), QColor(0, 255, 0));
    EXPECT_EQ(target.pixelColor(12, 7), QColor(255, 0, 0));
    EXPECT_EQ(target.pixelColor(9, 8), QColor(0, 0, 255));  // outside the rectangle
    EXPECT_EQ(target.pixelColor(30, 8), QColor(0, 0, 255));
}

TEST(MemDC, EmptyRectangleCoversTheClipBoxAndCopyFirstKeepsTheTarget) {
    QImage target(40, 20, QImage::Format_ARGB32_Premultiplied);
    target.fill(QColor(0, 0, 255));
    QPainter screen(&target);
    screen.setClipRect(QRect(4, 4, 8, 8));
    {
        CMemDC mem(screen, QRect(), true);
        EXPECT_EQ(mem.rect(), QRect(4, 4, 8, 8));
        mem->fillRect(QRect(4, 4, 4, 8), QColor(0, 255, 0));
    }
    screen.end();
    EXPECT_EQ(target.pixelColor(5, 5), QColor(0, 255, 0));
    EXPECT_EQ(target.pixelColor(10, 5), QColor(0, 0, 255));  // copied first, so kept
}

// A count past 32 bits (an 8 TB drive's sectors) is shown in units that fit, the position in
// the same units; a plain range counts one to one again.
TEST(GradientProgressCtrl, CountsPastThirtyTwoBitsFitTheBar) {
    CGradientProgressCtrl bar;
    const struct {
        uint64_t total, count;
        int upper, pos;
    } cases[] = {
        {2'000'000, 999'856, 2'000'000, 999'856},
        {uint64_t{INT32_MAX}, uint64_t{INT32_MAX}, INT32_MAX, INT32_MAX},
        {15'628'053'168, 7'814'026'584, 1'953'506'646, 976'753'323},  // units of 8 sectors
    };
    for (const auto& c : cases) {
        bar.SetCountRange(c.total);
        bar.SetCountPos(c.count);
        int lower = -1, upper = -1;
        bar.GetRange(lower, upper);
        EXPECT_EQ(std::pair(lower, upper), std::pair(0, c.upper)) << c.total;
        EXPECT_EQ(bar.GetPos(), c.pos) << c.total;
    }
    bar.SetRange(0, 100);
    bar.SetCountPos(50);
    EXPECT_EQ(bar.GetPos(), 50);
}


}  // namespace vellumin::controls
