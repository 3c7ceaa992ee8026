// Paints every image of res/Resources.h and writes them, plus the resource file that embeds
// them, into the directory given as the only argument. Each is painted twice, in its own pixel
// size and at twice that as "<id>@2x.<ext>" for screens of device pixel ratio 2, from the same
// drawing in the same coordinates. Run by the build; the output is deterministic for a given
// font.

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QTextStream>

#include "res/Resources.h"

namespace vellumin::res {

namespace {

using res::Glyph;
using res::Look;
using res::ResourceInfo;

// The page colour family.
const QColor kPage(1, 41, 108);
const QColor kDeep(2, 29, 73);
const QColor kNight(1, 18, 48);
const QColor kMid(18, 72, 156);
const QColor kBright(46, 112, 204);
const QColor kAccent(96, 186, 255);
const QColor kEdge(70, 130, 210);
const QColor kText(255, 255, 255);
const QColor kSoftText(190, 214, 244);

QString gFamily = QStringLiteral("DejaVu Sans");

QFont Font(qreal pixelSize, bool bold) {
    QFont f(gFamily);
    f.setPixelSize(qMax(1, int(std::lround(pixelSize))));
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

QString Caption(const ResourceInfo& r) {
    return QString::fromUtf8(r.caption.data(), qsizetype(r.caption.size()));
}

// Largest bold font (up to maxPx) that fits the words into the box on at most two lines.
QFont FitFont(const QString& text, const QRectF& box, qreal maxPx, bool bold, int flags) {
    for (qreal px = maxPx; px > 6; px -= 0.5) {
        QFont f = Font(px, bold);
        QFontMetricsF fm(f);
        QRectF need = fm.boundingRect(box, flags, text);
        if (need.width() <= box.width() && need.height() <= box.height()) {
            return f;
        }
    }
    return Font(6, bold);
}

QPainterPath Rounded(const QRectF& r, qreal radius) {
    QPainterPath p;
    p.addRoundedRect(r, radius, radius);
    return p;
}

void DrawText(QPainter& p, const QRectF& box, const QString& text, const QFont& font,
              const QColor& colour, int flags, bool shadow = true) {
    p.setFont(font);
    if (shadow) {
        p.setPen(QColor(0, 0, 0, 150));
        p.drawText(box.translated(0, 1), flags, text);
    }
    p.setPen(colour);
    p.drawText(box, flags, text);
}

// A glossy rounded panel: vertical gradient, a lighter upper half and a thin rim.
void Panel(QPainter& p, const QRectF& r, qreal radius, const QColor& top, const QColor& bottom,
           const QColor& rim) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawPath(Rounded(r, radius));
    QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
    gloss.setColorAt(0, QColor(255, 255, 255, 60));
    gloss.setColorAt(1, QColor(255, 255, 255, 8));
    p.setBrush(gloss);
    p.drawPath(Rounded(QRectF(r.left() + 1, r.top() + 1, r.width() - 2, r.height() / 2), radius));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(rim, 1));
    p.drawPath(Rounded(r.adjusted(0.5, 0.5, -0.5, -0.5), radius));
}

void DrawGlyph(QPainter& p, Glyph glyph, const QRectF& box, const QColor& colour) {
    p.save();
    QPen pen(colour, qMax(1.0, box.width() / 9), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    const qreal x = box.left(), y = box.top(), w = box.width(), h = box.height();
    switch (glyph) {
        case Glyph::House: {
            QPainterPath roof;
            roof.moveTo(x, y + h * 0.5);
            roof.lineTo(x + w / 2, y);
            roof.lineTo(x + w, y + h * 0.5);
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawPath(roof);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRect(QRectF(x + w * 0.2, y + h * 0.48, w * 0.6, h * 0.52));
            p.setBrush(kDeep);
            p.drawRect(QRectF(x + w * 0.42, y + h * 0.68, w * 0.16, h * 0.32));
            break;
        }
        case Glyph::Drive: {
            p.setPen(QPen(colour, 1.2));
            p.setBrush(QColor(colour.red(), colour.green(), colour.blue(), 40));
            p.drawRoundedRect(QRectF(x, y + h * 0.15, w, h * 0.7), 2.5, 2.5);
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawRect(QRectF(x + w * 0.12, y + h * 0.3, w * 0.45, h * 0.14));
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(x + w * 0.8, y + h * 0.66), w * 0.06, w * 0.06);
            for (int i = 0; i < 4; ++i) {
                p.setBrush(colour);
                p.drawRect(QRectF(x + w * (0.12 + i * 0.1), y + h * 0.58, w * 0.05, h * 0.16));
            }
            break;
        }
        case Glyph::Info: {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            p.drawEllipse(box.adjusted(1, 1, -1, -1));
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawEllipse(QPointF(x + w / 2, y + h * 0.3), w * 0.07, w * 0.07);
            p.drawRect(QRectF(x + w * 0.44, y + h * 0.44, w * 0.12, h * 0.34));
            break;
        }
        case Glyph::Refresh: {
            p.setPen(pen);
            p.setBrush(Qt::NoBrush);
            QRectF ring = box.adjusted(1.5, 1.5, -1.5, -1.5);
            p.drawArc(ring, 60 * 16, 280 * 16);
            // Arrow head at the arc's start (60 degrees).
            const qreal a = 60 * M_PI / 180;
            QPointF tip(ring.center().x() + ring.width() / 2 * std::cos(a),
                        ring.center().y() - ring.height() / 2 * std::sin(a));
            QPainterPath head;
            head.moveTo(tip + QPointF(-w * 0.05, -h * 0.28));
            head.lineTo(tip + QPointF(w * 0.22, h * 0.02));
            head.lineTo(tip + QPointF(-w * 0.2, h * 0.12));
            head.closeSubpath();
            p.setPen(Qt::NoPen);
            p.setBrush(colour);
            p.drawPath(head);
            break;
        }
        case Glyph::None:
            break;
    }
    p.restore();
}

void FeatureButton(QPainter& p, const ResourceInfo& r, bool hi) {
    const QRectF box(0.5, 0.5, r.width - 1.0, r.height - 1.0);
    if (hi) {
        Panel(p, box, 6, kBright, kPage, kAccent);
        p.setPen(Qt::NoPen);
        p.setBrush(kAccent);
        p.drawRoundedRect(QRectF(8, r.height - 4.0, r.width - 16.0, 2), 1, 1);
    } else {
        Panel(p, box, 6, kMid, kDeep, kEdge);
    }
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    const QRectF text = box.adjusted(4, 2, -4, -4);
    DrawText(p, text, Caption(r), FitFont(Caption(r), text, 12, true, flags),
             hi ? kText : kSoftText, flags);
}

void SideLabel(QPainter& p, const ResourceInfo& r) {
    const QRectF box(3.5, 0.5, r.width - 7.0, r.height - 1.0);
    QLinearGradient g(box.topLeft(), box.topRight());
    g.setColorAt(0, kDeep);
    g.setColorAt(0.5, kMid);
    g.setColorAt(1, kDeep);
    p.setPen(QPen(kEdge, 1));
    p.setBrush(g);
    p.drawRoundedRect(box, 8, 8);
    // Words run upwards along the strip.
    p.save();
    p.translate(r.width / 2.0, r.height / 2.0);
    p.rotate(-90);
    const QRectF text(-r.height / 2.0 + 10, -r.width / 2.0 + 4, r.height - 20.0, r.width - 8.0);
    QFont f = FitFont(Caption(r), text, 22, true, Qt::AlignCenter);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 2);
    DrawText(p, text, Caption(r), f, kText, Qt::AlignCenter);
    p.restore();
}

void Divider(QPainter& p, const ResourceInfo& r) {
    QLinearGradient g(0, 0, 0, r.height);
    g.setColorAt(0, QColor(96, 186, 255, 0));
    g.setColorAt(0.5, QColor(96, 186, 255, 230));
    g.setColorAt(1, QColor(96, 186, 255, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    const qreal cx = r.width / 2.0;
    p.drawRect(QRectF(cx - 1, 0, 2, r.height));
    QLinearGradient glow(0, 0, 0, r.height);
    glow.setColorAt(0, QColor(96, 186, 255, 0));
    glow.setColorAt(0.5, QColor(96, 186, 255, 60));
    glow.setColorAt(1, QColor(96, 186, 255, 0));
    p.setBrush(glow);
    p.drawRect(QRectF(0, 0, r.width, r.height));
}

void NavButton(QPainter& p, const ResourceInfo& r, bool hi) {
    const QRectF box(0.5, 0.5, r.width - 1.0, r.height - 1.0);
    if (hi) {
        Panel(p, box, 5, kBright, kPage, kAccent);
    } else {
        Panel(p, box, 5, kMid, kDeep, kEdge);
    }
    const QColor ink = hi ? kText : kSoftText;
    const qreal g = 14;
    DrawGlyph(p, r.glyph, QRectF((r.width - g) / 2, 3, g, g), ink);
    const QRectF text(1, 18, r.width - 2.0, r.height - 19.0);
    DrawText(p, text, Caption(r), FitFont(Caption(r), text, 9, true, Qt::AlignCenter), ink,
             Qt::AlignCenter, false);
}

void HomeBar(QPainter& p, const ResourceInfo& r, bool hi) {
    const QRectF box(0.5, 0.5, r.width - 1.0, r.height - 1.0);
    if (hi) {
        Panel(p, box, r.height / 2.0 - 2, kBright, kPage, kAccent);
    } else {
        Panel(p, box, r.height / 2.0 - 2, kMid, kDeep, kEdge);
    }
    // A round marker on the left, lit when highlighted.
    const QPointF c(r.height / 2.0 + 2, r.height / 2.0);
    QRadialGradient dot(c, 8);
    dot.setColorAt(0, hi ? QColor(255, 255, 255) : kSoftText);
    dot.setColorAt(0.5, hi ? kAccent : kEdge);
    dot.setColorAt(1, QColor(0, 0, 0, 0));
    p.setPen(Qt::NoPen);
    p.setBrush(dot);
    p.drawEllipse(c, 8, 8);
    const QRectF text(r.height + 8.0, 2, r.width - r.height - 20.0, r.height - 4.0);
    QFont f = FitFont(Caption(r), text, 17, true, Qt::AlignLeft | Qt::AlignVCenter);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1.5);
    DrawText(p, text, Caption(r), f, hi ? kText : kSoftText, Qt::AlignLeft | Qt::AlignVCenter);
}

void Description(QPainter& p, const ResourceInfo& r) {
    const QRectF box(0.5, 0.5, r.width - 1.0, r.height - 1.0);
    QLinearGradient g(box.topLeft(), box.topRight());
    g.setColorAt(0, QColor(2, 29, 73, 230));
    g.setColorAt(1, QColor(2, 29, 73, 40));
    p.setPen(Qt::NoPen);
    p.setBrush(g);
    p.drawRoundedRect(box, 6, 6);
    p.setBrush(kAccent);
    p.drawRoundedRect(QRectF(4, 6, 3, r.height - 12.0), 1.5, 1.5);
    qreal left = 14;
    if (r.glyph != Glyph::None) {
        DrawGlyph(p, r.glyph, QRectF(left, 7, 34, r.height - 14.0), kText);
        left += 42;
    }
    const QRectF text(left, 2, r.width - left - 6, r.height - 4.0);
    DrawText(p, text, Caption(r),
             FitFont(Caption(r), text, 16, false, Qt::AlignLeft | Qt::AlignVCenter), kText,
             Qt::AlignLeft | Qt::AlignVCenter);
}

void PageButton(QPainter& p, const ResourceInfo& r, Look look) {
    const QRectF box(0, 0, r.width, r.height);
    QColor top = kBright, bottom = kDeep, rim = kEdge, ink = kText;
    qreal dy = 0;
    switch (look) {
        case Look::PageButtonPressed:
            top = kDeep;
            bottom = kMid;
            rim = kAccent;
            dy = 1;
            break;
        case Look::PageButtonDimmed:
            top = QColor(92, 104, 124);
            bottom = QColor(58, 66, 82);
            rim = QColor(110, 120, 138);
            ink = QColor(168, 174, 186);
            break;
        case Look::SwitchButton:
            top = QColor(150, 150, 150);
            bottom = QColor(0, 0, 0);
            rim = QColor(90, 90, 90);
            break;
        case Look::SwitchButtonPressed:
            top = QColor(0, 0, 0);
            bottom = QColor(120, 120, 120);
            rim = QColor(170, 170, 170);
            dy = 1;
            break;
        default:
            break;
    }
    QLinearGradient g(box.topLeft(), box.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(box, g);
    p.setPen(QPen(rim, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(box.adjusted(0.5, 0.5, -0.5, -0.5));
    const QRectF text = box.adjusted(2, dy, -2, dy);
    DrawText(p, text, Caption(r), FitFont(Caption(r), text, 13, true, Qt::AlignCenter), ink,
             Qt::AlignCenter, look != Look::PageButtonDimmed);
}

void Backdrop(QPainter& p, const ResourceInfo& r) {
    const QRectF all(0, 0, r.width, r.height);
    QLinearGradient g(all.topLeft(), all.bottomLeft());
    g.setColorAt(0, QColor(4, 56, 138));
    g.setColorAt(0.45, kPage);
    g.setColorAt(1, kNight);
    p.fillRect(all, g);
    // A soft light from the upper left and a faint diagonal sheen.
    QRadialGradient light(QPointF(r.width * 0.2, -r.height * 0.1), r.width * 0.7);
    light.setColorAt(0, QColor(120, 180, 255, 70));
    light.setColorAt(1, QColor(120, 180, 255, 0));
    p.fillRect(all, light);
    QLinearGradient sheen(QPointF(0, r.height), QPointF(r.width, 0));
    sheen.setColorAt(0.55, QColor(255, 255, 255, 0));
    sheen.setColorAt(0.62, QColor(255, 255, 255, 14));
    sheen.setColorAt(0.70, QColor(255, 255, 255, 0));
    p.fillRect(all, sheen);
}

void Title(QPainter& p, const QPointF& at, qreal px, const QString& subtitle) {
    QFont f = Font(px, true);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(at + QPointF(0, 2), QStringLiteral("Vellumin"));
    p.setPen(kText);
    p.drawText(at, QStringLiteral("Vellumin"));
    p.setFont(Font(px * 0.42, false));
    p.setPen(kSoftText);
    p.drawText(at + QPointF(2, px * 0.62), subtitle);
}

void Inset(QPainter& p, const QRectF& r) {
    p.setPen(QPen(QColor(96, 186, 255, 90), 1));
    p.setBrush(QColor(1, 18, 48, 110));
    p.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
}

void MainBackground(QPainter& p, const ResourceInfo& r) {
    Backdrop(p, r);
    Title(p, QPointF(28, 58), 38, QStringLiteral("SSD diagnostics and maintenance"));
    // Frames behind the drive list and the page area (their controls cover the inside).
    Inset(p, QRectF(19, 106, 234, 269));
    Inset(p, QRectF(258, 106, 480, 267));
    p.setPen(QPen(QColor(96, 186, 255, 80), 1));
    p.drawLine(QPointF(20, 392.5), QPointF(780, 392.5));
}

void HomeBackground(QPainter& p, const ResourceInfo& r) {
    Backdrop(p, r);
    Title(p, QPointF(40, 84), 56, QStringLiteral("SSD diagnostics and maintenance"));
    // A drive drawn large on the left as the screen's picture.
    p.save();
    p.translate(70, 170);
    p.rotate(-8);
    const QRectF body(0, 0, 300, 170);
    QLinearGradient g(body.topLeft(), body.bottomRight());
    g.setColorAt(0, QColor(40, 96, 180));
    g.setColorAt(1, QColor(6, 30, 80));
    p.setPen(QPen(kEdge, 2));
    p.setBrush(g);
    p.drawRoundedRect(body, 14, 14);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawRoundedRect(QRectF(24, 24, 170, 46), 6, 6);
    p.setFont(Font(26, true));
    p.setPen(kText);
    p.drawText(QRectF(24, 24, 170, 46), Qt::AlignCenter, QStringLiteral("SSD"));
    p.setBrush(QColor(230, 236, 245));
    for (int i = 0; i < 9; ++i) {
        p.drawRect(QRectF(40 + i * 18, 150, 10, 20));
    }
    p.setBrush(kAccent);
    p.drawEllipse(QPointF(262, 40), 6, 6);
    p.restore();
    // Panel behind the feature bars (361..527 units across, 65..257 down).
    Inset(p, QRectF(532, 90, 262, 300));
}

void AppIcon(QPainter& p, const ResourceInfo& r) {
    const QRectF box(8, 8, r.width - 16.0, r.height - 16.0);
    Panel(p, box, 44, kBright, kDeep, kAccent);
    QFont f = Font(r.height * 0.62, true);
    p.setFont(f);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(box.translated(0, 5), Qt::AlignCenter, QStringLiteral("V"));
    p.setPen(kText);
    p.drawText(box, Qt::AlignCenter, QStringLiteral("V"));
    DrawGlyph(p, Glyph::Drive,
              QRectF(r.width * 0.58, r.height * 0.62, r.width * 0.3, r.height * 0.22), kAccent);
}

QImage Paint(const ResourceInfo& r, int scale) {
    const bool opaque = r.kind == res::Kind::Bitmap;
    QImage img(r.width * scale, r.height * scale,
               opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    img.setDevicePixelRatio(scale);
    img.fill(opaque ? kPage : QColor(0, 0, 0, 0));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    switch (r.look) {
        case Look::FeatureButton:
            FeatureButton(p, r, false);
            break;
        case Look::FeatureButtonHi:
            FeatureButton(p, r, true);
            break;
        case Look::SideLabel:
            SideLabel(p, r);
            break;
        case Look::Divider:
            Divider(p, r);
            break;
        case Look::NavButton:
            NavButton(p, r, false);
            break;
        case Look::NavButtonHi:
            NavButton(p, r, true);
            break;
        case Look::HomeBar:
            HomeBar(p, r, false);
            break;
        case Look::HomeBarHi:
            HomeBar(p, r, true);
            break;
        case Look::Description:
            Description(p, r);
            break;
        case Look::PageButton:
        case Look::PageButtonPressed:
        case Look::PageButtonDimmed:
        case Look::SwitchButton:
        case Look::SwitchButtonPressed:
            PageButton(p, r, r.look);
            break;
        case Look::MainBackground:
            MainBackground(p, r);
            break;
        case Look::HomeBackground:
            HomeBackground(p, r);
            break;
        case Look::AppIcon:
            AppIcon(p, r);
            break;
    }
    p.end();
    return opaque ? img.convertToFormat(QImage::Format_RGB888) : img;
}

QString RelativePath(const ResourceInfo& r, int scale) {
    const auto dir = res::KindDir(r.kind);
    const auto ext = res::KindExtension(r.kind);
    return QStringLiteral("%1/%2%3.%4")
        .arg(QLatin1String(dir.data(), qsizetype(dir.size())))
        .arg(r.id)
        .arg(scale == 1 ? QString() : QStringLiteral("@%1x").arg(scale))
        .arg(QLatin1String(ext.data(), qsizetype(ext.size())));
}

// The desktop's icon theme wants the icon at its fixed sizes; smaller ones are scaled from the
// painted one rather than painted again, whose margins and strokes are laid out for 256 pixels.
bool WriteThemeIcons(const QDir& out, const QImage& icon) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        const QImage scaled =
            icon.scaled(size, size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (!out.mkpath(dir) ||
            !scaled.save(out.filePath(dir + QStringLiteral("/org.vellumin.Vellumin.png")))) {
            std::fprintf(stderr, "cannot write the %d pixel theme icon\n", size);
            return false;
        }
    }
    return true;
}

}  // namespace

}  // namespace vellumin::res

int main(int argc, char** argv) {
    using namespace vellumin::res;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    for (const char* file : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"}) {
        const int font = QFontDatabase::addApplicationFont(QString::fromLatin1(file));
        if (font >= 0 && !QFontDatabase::applicationFontFamilies(font).isEmpty()) {
            gFamily = QFontDatabase::applicationFontFamilies(font).first();
        }
    }

    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* sub : {"png", "bmp", "icon"}) {
        if (!out.mkpath(QString::fromLatin1(sub))) {
            std::fprintf(stderr, "cannot create %s/%s\n", argv[1], sub);
            return 1;
        }
    }

    QString qrc;
    QTextStream qrcOut(&qrc);
    qrcOut << "<!DOCTYPE RCC><RCC version=\"1.0\">\n<qresource prefix=\"/res\">\n";
    for (const auto& r : vellumin::res::kResources) {
        for (int scale : {1, 2}) {
            const QString rel = RelativePath(r, scale);
            const QImage img = Paint(r, scale);
            if (!img.save(out.filePath(rel))) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(out.filePath(rel)));
                return 1;
            }
            qrcOut << "  <file>" << rel << "</file>\n";
            if (scale == 1 && r.kind == vellumin::res::Kind::Icon && !WriteThemeIcons(out, img)) {
                return 1;
            }
        }
    }
    qrcOut << "</qresource>\n</RCC>\n";
    qrcOut.flush();

    QFile file(out.filePath(QStringLiteral("vellumin_art.qrc")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(qrc.toUtf8()) < 0) {
        std::fprintf(stderr, "cannot write the resource file\n");
        return 1;
    }
    return 0;
}
