#include "res/ResourcePath.h"

#include <cstring>

#include <QDir>
#include <QGuiApplication>

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

QString ResourcePath(Kind kind, int id, int scale) {
    EnsureResources();
    return QStringLiteral(":/res/%1/%2%3.%4")
        .arg(QLatin1String(KindDir(kind).data(), qsizetype(KindDir(kind).size())))
        .arg(id)
        .arg(scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale))
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

QPixmap LoadBitmap(int id) {
    if (qApp != nullptr && qApp->devicePixelRatio() > 1) {
        // QPixmap does not look for "@2x" itself; its reader sets the ratio from that name.
        QPixmap twice(ResourcePath(Kind::Bitmap, id, 2));
        if (!twice.isNull()) {
            return twice;
        }
    }
    return QPixmap(ResourcePath(Kind::Bitmap, id));
}

QIcon LoadIcon(int id) {
    const QString path = ResourcePath(Kind::Icon, id);
    // QIcon adds "<id>@2x.png" beside the file by itself.
    return QPixmap(path).isNull() ? QIcon() : QIcon(path);
}

}  // namespace vellumin::res
