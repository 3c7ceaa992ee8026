#include "controls/CGdiPlusBitmap.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include "res/ResourcePath.h"

namespace vellumin::controls {

bool CGdiPlusBitmapResource::Load(int id, const char* type, const QString& module) {
    res::Kind kind;
    if (!res::KindFromType(type, &kind)) {
        Clear();
        return false;
    }
    QString name = res::ResourcePath(kind, id);
    if (!module.isEmpty()) {
        name = QDir(module).filePath(name.mid(QStringLiteral(":/res/").size()));
    }
    return Load(name, type);
}

namespace {

// The image in the file, decoded as `kind` says; null when missing, empty or undecodable.
QImage Decode(const QString& name, res::Kind kind, QByteArray* bytes) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return QImage();
    }
    *bytes = file.readAll();
    if (bytes->isEmpty()) {
        return QImage();
    }
    QBuffer stream(bytes);
    stream.open(QIODevice::ReadOnly);
    // The decoder is chosen by the resource type, never guessed from the bytes, so a BMP
    // stored as "PNG" fails as it would with a PNG decoder.
    QImageReader reader(&stream, kind == res::Kind::Bitmap ? "bmp" : "png");
    reader.setAutoTransform(false);
    const QImage image = reader.read();
    return image.isNull() ? image : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// "dir/130.png" -> "dir/130@2x.png".
QString TwiceSizeName(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const qsizetype at = dot > slash ? dot : name.size();
    return name.left(at) + QStringLiteral("@2x") + name.mid(at);
}

}  // namespace

bool CGdiPlusBitmapResource::Load(const QString& name, const char* type) {
    Clear();
    res::Kind kind;
    if (!res::KindFromType(type, &kind)) {
        return false;
    }
    QByteArray bytes;
    const QImage image = Decode(name, kind, &bytes);
    if (image.isNull()) {
        return false;
    }
    m_hGlobal = std::move(bytes);
    m_bitmap = image;
    // Reading the file by our own stream, Qt cannot see the "@2x" in its name: set the ratio.
    QByteArray bytes2x;
    QImage twice = Decode(TwiceSizeName(name), kind, &bytes2x);
    if (twice.size() == image.size() * 2) {
        twice.setDevicePixelRatio(2);
        m_bitmap2x = std::move(twice);
    }
    return true;
}

void CGdiPlusBitmapResource::Clear() {
    CGdiPlusBitmap::Clear();
    m_hGlobal.clear();
}

}  // namespace vellumin::controls
