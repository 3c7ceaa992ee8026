#pragma once

// Holders of one decoded image. CGdiPlusBitmapResource loads it from the program's embedded
// resources by id and type ("PNG", "BITMAP"), keeping the encoded bytes for as long as the
// decoded image lives. Where the resource also comes painted at twice the size, as Qt names it
// ("<id>@2x.png"), that is loaded beside it for screens of a device pixel ratio above 1.

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

    virtual void Clear() {
        m_bitmap = QImage();
        m_bitmap2x = QImage();
    }

    // The decoded image, or nullptr when none is loaded.
    const QImage* GetBitmap() const { return m_bitmap.isNull() ? nullptr : &m_bitmap; }
    // The one to draw at `devicePixelRatio`: above 1 the twice-size image (its device pixel
    // ratio 2, so it draws in the same logical size) where there is one.
    const QImage* GetBitmap(qreal devicePixelRatio) const {
        return devicePixelRatio > 1 && !m_bitmap2x.isNull() ? &m_bitmap2x : GetBitmap();
    }
    explicit operator bool() const { return !m_bitmap.isNull(); }

protected:
    QImage m_bitmap;
    QImage m_bitmap2x;  // null when the resource has no twice-size image
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
    // A twice-size image beside it ("130@2x.png") is taken when it is exactly twice the size.
    bool Load(const QString& name, const char* type = "PNG");

    void Clear() override;

private:
    QByteArray m_hGlobal;  // the encoded bytes, held while the image exists
};

}  // namespace vellumin::controls
