#include "res/ResourcePath.h"

#include <cstring>

#include <QDir>

// Q_INIT_RESOURCE must be used outside any namespace. Calling it also keeps the linker from
// dropping the resource object file out of the static library.
static void InitArtResources() { Q_INIT_RESOURCE(vellumin_art); }

namespace vellumin::res {

void EnsureResources() {
    static const bool done = [] {
        InitArtResources();
        return true;
    }();
    (void)done;
}

QString ResourcePath(Kind kind, int id) {
    EnsureResources();
    return QStringLiteral(":/res/%1/%2.%3")
        .arg(QLatin1String(KindDir(kind).data(), qsizetype(KindDir(kind).size())))
        .arg(id)
        .arg(QLatin1String(KindExtension(kind).data(), qsizetype(KindExtension(kind).size())));
}

bool KindFromType(const char* type, Kind* kind) {
    if (type == nullptr) {
        return false;
    }
    if (std::strcmp(type, "PNG") == 0) {
        *kind = Kind::Png;
    } else if (std::strcmp(type, "BITMAP") == 0 || std::strcmp(type, "BMP") == 0) {
        *kind = Kind::Bitmap;
    } else if (std::strcmp(type, "ICON") == 0) {
        *kind = Kind::Icon;
    } else {
        return false;
    }
    return true;
}

QPixmap LoadBitmap(int id) { return QPixmap(ResourcePath(Kind::Bitmap, id)); }

QIcon LoadIcon(int id) {
    QPixmap pixmap(ResourcePath(Kind::Icon, id));
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

}  // namespace vellumin::res
