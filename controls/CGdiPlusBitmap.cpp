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

bool CGdiPlusBitmapResource::Load(const QString& name, const char* type) {
    Clear();
    res::Kind kind;
    if (!res::KindFromType(type, &kind)) {
        return false;
    }
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    QByteArray bytes = file.readAll();
    if (bytes.isEmpty()) {
        return false;
    }
    m_hGlobal = std::move(bytes);
    QBuffer stream(&m_hGlobal);
    stream.open(QIODevice::ReadOnly);
    // The decoder is chosen by the resource type, never guessed from the bytes, so a BMP
    // stored as "PNG" fails as it would with a PNG decoder.
    QImageReader reader(&stream, kind == res::Kind::Bitmap ? "bmp" : "png");
    reader.setAutoTransform(false);
    QImage image = reader.read();
    if (image.isNull()) {
        m_hGlobal.clear();
        return false;
    }
    m_bitmap = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return true;
}

void CGdiPlusBitmapResource::Clear() {
    CGdiPlusBitmap::Clear();
    m_hGlobal.clear();
}

}  // namespace vellumin::controls
