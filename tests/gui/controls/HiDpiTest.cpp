#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QWidget>

#include "controls/CGdipButton.h"
#include "res/ResourcePath.h"
#include "ui/BitmapButton.h"

// Runs with the other control tests at device pixel ratio 1, and once more on its own with
// QT_SCALE_FACTOR=2 (tests/CMakeLists.txt), where the twice-size art must be the one painted.

namespace vellumin::controls {

TEST(HiDpi, ControlsPaintTheArtOfTheScreensPixelRatioInTheSameLogicalSize) {
    const qreal ratio = qApp->devicePixelRatio();
    if (qEnvironmentVariableIntValue("QT_SCALE_FACTOR") == 2) {
        ASSERT_EQ(ratio, 2.0);
    }
    const int scale = ratio > 1 ? 2 : 1;

    QWidget parent;
    parent.resize(200, 100);
    auto* button = new CGdipButton(&parent);
    button->setGeometry(10, 10, 89, 44);
    button->SetImages(130, 136);
    parent.show();
    button->grab();
    const QImage surface = button->NormalSurface().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(surface.size(), QSize(89, 44) * scale);
    EXPECT_EQ(surface.devicePixelRatio(), scale);
    // Wherever the art is opaque the surface shows its pixels one for one: painted for this
    // ratio, not a smaller image scaled up.
    const QImage art = QImage(res::ResourcePath(res::Kind::Png, 130, scale))
                           .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(art.size(), surface.size());
    int opaque = 0;
    for (int y = 0; y < art.height(); ++y) {
        for (int x = 0; x < art.width(); ++x) {
            if (qAlpha(art.pixel(x, y)) == 255) {
                ++opaque;
                ASSERT_EQ(surface.pixel(x, y), art.pixel(x, y)) << x << "," << y;
            }
        }
    }
    EXPECT_GT(opaque, art.width() * art.height() / 2);

    // Page bitmaps and window backgrounds: the same logical size at either ratio.
    const QPixmap quick = res::LoadBitmap(150);
    EXPECT_EQ(quick.devicePixelRatio(), scale);
    ui::BitmapButton page;
    page.LoadBitmaps(quick);
    page.SizeToContent();
    EXPECT_EQ(page.size(), QSize(113, 22));
    EXPECT_EQ(res::LoadBitmap(129).size(), QSize(800, 450) * scale);
}

}  // namespace vellumin::controls
