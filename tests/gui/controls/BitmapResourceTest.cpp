#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "controls/CGdiPlusBitmap.h"
#include "res/ResourcePath.h"
#include "res/Resources.h"

namespace vellumin::controls {

namespace {

bool HasTransparency(const QImage& img) {
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(img.pixel(x, y)) < 255) {
                return true;
            }
        }
    }
    return false;
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray Encode(const char* format, QSize size = QSize(4, 3)) {
    QImage img(size, QImage::Format_ARGB32);
    img.fill(QColor(10, 20, 30, 100));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, format);
    return bytes;
}

}  // namespace

TEST(BitmapResource, EveryTableEntryIsEmbeddedWithItsSize) {
    for (const auto& r : res::kResources) {
        const char* type = r.kind == res::Kind::Png      ? "PNG"
                           : r.kind == res::Kind::Bitmap ? "BITMAP"
                                                         : "ICON";
        CGdiPlusBitmapResource image;
        ASSERT_TRUE(image.Load(r.id, type)) << type << " " << r.id;
        EXPECT_EQ(image.GetBitmap()->size(), QSize(r.width, r.height)) << r.id;
        // Buttons rely on alpha to show the window behind; bitmaps are opaque.
        EXPECT_EQ(HasTransparency(*image.GetBitmap()), r.kind != res::Kind::Bitmap) << r.id;
        // Each comes painted at twice the size too, drawn in the same logical size.
        EXPECT_EQ(image.GetBitmap(1.0), image.GetBitmap()) << r.id;
        const QImage* twice = image.GetBitmap(2.0);
        ASSERT_NE(twice, image.GetBitmap()) << r.id;
        EXPECT_EQ(twice->size(), QSize(r.width, r.height) * 2) << r.id;
        EXPECT_EQ(twice->deviceIndependentSize(), QSizeF(r.width, r.height)) << r.id;
        EXPECT_EQ(HasTransparency(*twice), r.kind != res::Kind::Bitmap) << r.id;
    }
    EXPECT_FALSE(res::LoadBitmap(129).isNull());
    EXPECT_FALSE(res::LoadIcon(128).isNull());
}

TEST(BitmapResource, PngAndBitmapIdsAreSeparate) {
    CGdiPlusBitmapResource png, bmp;
    ASSERT_TRUE(png.Load(132, "PNG"));
    ASSERT_TRUE(bmp.Load(132, "BITMAP"));
    EXPECT_EQ(png.GetBitmap()->size(), QSize(89, 44));
    EXPECT_EQ(bmp.GetBitmap()->size(), QSize(113, 22));
}

TEST(BitmapResource, MissingEmptyUndecodableOrWrongTypeAnswersFalse) {
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkpath("png"));
    Write(root.filePath("png/7.png"), QByteArray());
    Write(root.filePath("png/8.png"), QByteArray("\x89PNG\r\n\x1a\n not really a png"));
    Write(root.filePath("png/9.png"), Encode("PNG"));
    Write(root.filePath("png/10.png"), Encode("BMP"));  // decodable, but not as the type says

    // A twice-size image beside the resource is taken only when it is exactly twice the size.
    Write(root.filePath("png/9@2x.png"), Encode("PNG", QSize(8, 6)));
    Write(root.filePath("png/11.png"), Encode("PNG"));
    Write(root.filePath("png/11@2x.png"), Encode("PNG", QSize(8, 5)));

    CGdiPlusBitmapResource image;
    ASSERT_TRUE(image.Load(11, "PNG", root.path()));
    EXPECT_EQ(image.GetBitmap(2.0), image.GetBitmap());
    ASSERT_TRUE(image.Load(9, "PNG", root.path()));
    EXPECT_EQ(image.GetBitmap()->size(), QSize(4, 3));
    EXPECT_EQ(qAlpha(image.GetBitmap()->pixel(0, 0)), 100);
    EXPECT_EQ(image.GetBitmap(2.0)->size(), QSize(8, 6));
    EXPECT_EQ(image.GetBitmap(2.0)->devicePixelRatio(), 2.0);

    for (int id : {6, 7, 8, 10}) {
        EXPECT_FALSE(image.Load(id, "PNG", root.path())) << id;
        EXPECT_EQ(image.GetBitmap(), nullptr) << "a failed load leaves nothing loaded: " << id;
        EXPECT_EQ(image.GetBitmap(2.0), nullptr) << id;
        ASSERT_TRUE(image.Load(9, "PNG", root.path()));
    }
    EXPECT_FALSE(image.Load(9999));
    EXPECT_FALSE(image.Load(130, "JPEG"));
    EXPECT_FALSE(image.Load(130, nullptr));
    EXPECT_EQ(image.GetBitmap(), nullptr);
}

}  // namespace vellumin::controls
