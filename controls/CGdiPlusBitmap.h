#pragma once

// Holders of one decoded image. CGdiPlusBitmapResource loads it from the program's embedded
// resources by id and type ("PNG", "BITMAP"), keeping the encoded bytes for as long as the
// decoded image lives.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace vellumin::controls {

class CGdiPlusBitmap {
public:
    CGdiPlusBitmap() = default;
    virtual ~CGdiPlusBitmap() { CGdiPlusBitmap::Clear(); }

    CGdiPlusBitmap(const CGdiPlusBitmap&) = delete;
    CGdiPlusBitmap& operator=(const CGdiPlusBitmap&) = delete;

    virtual void Clear() { m_bitmap = QImage(); }

    // The decoded image, or nullptr when none is loaded.
    const QImage* GetBitmap() const { return m_bitmap.isNull() ? nullptr : &m_bitmap; }
    explicit operator bool() const { return !m_bitmap.isNull(); }

protected:
    QImage m_bitmap;
};

class CGdiPlusBitmapResource : public CGdiPlusBitmap {
public:
    CGdiPlusBitmapResource() = default;
    ~CGdiPlusBitmapResource() override { CGdiPlusBitmapResource::Clear(); }

    // Loads resource `id` of `type`. `module` is the root that holds the resources, laid out as
    // the embedded ones are (<root>/png/<id>.png, <root>/bmp/<id>.bmp); empty means the
    // program's own. A missing, empty or undecodable resource, or an unknown type, answers
    // false and leaves nothing loaded.
    bool Load(int id, const char* type = "PNG", const QString& module = QString());
    // The name form: a resource path (":/res/png/130.png") or a file; `type` picks the decoder.
    bool Load(const QString& name, const char* type = "PNG");

    void Clear() override;

private:
    QByteArray m_hGlobal;  // the encoded bytes, held while the image exists
};

}  // namespace vellumin::controls
