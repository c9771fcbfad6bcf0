// Draws the program's pictures: the 32 x 32 window icon (16 colours), the
// 16 x 16 help glyph, the two-state folder glyph (normal, disabled) and the
// 320 x 240 list wallpaper (256 colours), and the desktop icons in icons/
// (PNG at the icon theme's sizes and SVG). Usage: kt_make_pictures OUTDIR
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The sixteen colours of the classic 4-bit palette.
QList<QRgb> SixteenColours() {
    return {qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
            qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
            qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
            qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255)};
}

// A box squeezed by a clamp: one file pressed into one archive. One list of
// shapes on a 32 x 32 grid draws the window icon, the desktop icons at every
// size and the scalable icon, so they cannot drift apart.
struct IconShape {
    enum Kind { Rect, Line, Polygon } kind;
    QPolygon points;  // Rect: corner and size; Line: two ends; Polygon: corners
    QColor pen;       // invalid: no outline
    int penWidth;
    QColor brush;  // invalid: no fill
};

QList<IconShape> IconShapes() {
    const QColor none;
    return {
        // The archive box.
        {IconShape::Rect, QPolygon({QPoint(6, 14), QPoint(20, 15)}), QColor(0, 0, 128), 1,
         QColor(255, 255, 0)},
        {IconShape::Rect, QPolygon({QPoint(6, 14), QPoint(20, 4)}), QColor(0, 0, 128), 1,
         QColor(128, 128, 0)},
        {IconShape::Line, QPolygon({QPoint(16, 14), QPoint(16, 28)}), QColor(128, 0, 0), 2, none},
        // The clamp pressing from above.
        {IconShape::Rect, QPolygon({QPoint(4, 3), QPoint(24, 4)}), none, 0, QColor(0, 0, 255)},
        {IconShape::Rect, QPolygon({QPoint(14, 7), QPoint(4, 5)}), none, 0, QColor(0, 0, 128)},
        {IconShape::Polygon, QPolygon({QPoint(10, 8), QPoint(6, 8), QPoint(8, 12)}), none, 0,
         QColor(255, 0, 0)},
        {IconShape::Polygon, QPolygon({QPoint(26, 8), QPoint(22, 8), QPoint(24, 12)}), none, 0,
         QColor(255, 0, 0)},
    };
}

QImage IconAt(int size) {
    QImage img(size, size, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(size / 32.0, size / 32.0);
    for (const IconShape& s : IconShapes()) {
        p.setPen(s.pen.isValid() ? QPen(s.pen, s.penWidth) : QPen(Qt::NoPen));
        p.setBrush(s.brush.isValid() ? QBrush(s.brush) : QBrush(Qt::NoBrush));
        const QPolygon& q = s.points;
        if (s.kind == IconShape::Rect)
            p.drawRect(q[0].x(), q[0].y(), q[1].x(), q[1].y());
        else if (s.kind == IconShape::Line)
            p.drawLine(q[0], q[1]);
        else
            p.drawPolygon(q);
    }
    return img;
}

QString SvgColour(const QColor& c) { return c.isValid() ? c.name() : QStringLiteral("none"); }

// The same shapes as SVG; an outline of odd width sits on the half pixel, as
// the painter draws it.
QByteArray IconSvg() {
    QString svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"32\" height=\"32\" "
        "viewBox=\"0 0 32 32\" shape-rendering=\"crispEdges\">\n";
    for (const IconShape& s : IconShapes()) {
        const QPolygon& q = s.points;
        const double shift = s.pen.isValid() && s.penWidth % 2 ? 0.5 : 0;
        const QString paint = QString(" fill=\"%1\" stroke=\"%2\" stroke-width=\"%3\"/>\n")
                                  .arg(SvgColour(s.brush), SvgColour(s.pen))
                                  .arg(s.penWidth);
        if (s.kind == IconShape::Rect) {
            svg += QString("  <rect x=\"%1\" y=\"%2\" width=\"%3\" height=\"%4\"")
                       .arg(q[0].x() + shift)
                       .arg(q[0].y() + shift)
                       .arg(q[1].x())
                       .arg(q[1].y()) +
                   paint;
        } else if (s.kind == IconShape::Line) {
            svg += QString("  <line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%4\"")
                       .arg(q[0].x() + shift)
                       .arg(q[0].y() + shift)
                       .arg(q[1].x() + shift)
                       .arg(q[1].y() + shift) +
                   paint;
        } else {
            QStringList corners;
            for (const QPoint& c : q) corners << QString("%1,%2").arg(c.x()).arg(c.y());
            svg += "  <polygon points=\"" + corners.join(' ') + "\"" + paint;
        }
    }
    return (svg + "</svg>\n").toUtf8();
}

// The window icon: 16 colours plus transparency in the alpha-aware PNG.
QImage Icon() {
    return IconAt(32).convertToFormat(QImage::Format_Indexed8,
                                      SixteenColours() << qRgba(0, 0, 0, 0),
                                      Qt::ThresholdDither | Qt::AvoidDither);
}

// The desktop's icon theme sizes and the scalable icon, under icons/.
bool SaveDesktopIcons(const QString& dir) {
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        if (!IconAt(size).save(QString("%1icons/%2.png").arg(dir).arg(size))) return false;
    }
    QFile svg(dir + "icons/scalable.svg");
    return svg.open(QIODevice::WriteOnly) && svg.write(IconSvg()) > 0;
}

QImage HelpGlyph() {
    QImage img(16, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(QColor(0, 96, 224));
    p.drawEllipse(QRectF(1, 1, 14, 14));
    QFont f("DejaVu Sans");
    f.setPixelSize(11);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 0, 16, 16), Qt::AlignCenter, "?");
    return img;
}

void Folder(QPainter& p, int x, QColor face, QColor edge) {
    p.setPen(QPen(edge, 1));
    p.setBrush(face.darker(115));
    p.drawRect(x + 1, 3, 6, 2);
    p.setBrush(face);
    p.drawRect(x + 1, 5, 13, 9);
    p.setPen(QPen(face.lighter(130), 1));
    p.drawLine(x + 2, 6, x + 13, 6);
}

QImage FolderGlyph() {
    QImage img(32, 16, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    Folder(p, 0, QColor(240, 200, 64), QColor(128, 96, 0));
    Folder(p, 16, QColor(192, 192, 192), QColor(128, 128, 128));
    return img;
}

// 256 colours: the most frequent colours (in steps of 2 per channel) form
// the palette, and the picture is dithered onto it.
QImage ToPalette256(const QImage& img) {
    QHash<QRgb, int> counts;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            const QRgb c = img.pixel(x, y);
            ++counts[qRgb(qRed(c) & ~1, qGreen(c) & ~1, qBlue(c) & ~1)];
        }
    }
    QList<QPair<int, QRgb>> byCount;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), [](auto& a, auto& b) { return a.first > b.first; });
    QList<QRgb> palette;
    for (int i = 0; i < byCount.size() && palette.size() < 256; ++i) palette << byCount[i].second;
    return img.convertToFormat(QImage::Format_Indexed8, palette, Qt::DiffuseDither);
}

// Pale waves on a light ground, quiet enough for the rows drawn over it.
QImage Wallpaper() {
    QImage img(320, 240, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient ground(0, 0, 0, 240);
    ground.setColorAt(0, QColor(250, 252, 255));
    ground.setColorAt(1, QColor(226, 236, 250));
    p.fillRect(img.rect(), ground);
    for (int i = 0; i < 7; ++i) {
        QPainterPath wave;
        const double base = 60 + i * 28;
        wave.moveTo(0, base);
        for (int x = 0; x <= 320; x += 4) {
            wave.lineTo(x, base + 10 * std::sin((x + i * 37) / 40.0));
        }
        p.setPen(QPen(QColor(190, 210, 240, 110), 2 + (i % 3)));
        p.setBrush(Qt::NoBrush);
        p.drawPath(wave);
    }
    QRadialGradient glow(250, 60, 70);
    glow.setColorAt(0, QColor(255, 255, 255, 170));
    glow.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(img.rect(), glow);
    QFont f("DejaVu Sans");
    f.setPixelSize(44);
    f.setBold(true);
    p.setFont(f);
    p.setPen(QColor(205, 220, 245));
    p.drawText(QRect(0, 150, 312, 80), Qt::AlignRight | Qt::AlignBottom, "KT");
    p.end();
    return ToPalette256(img);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: kt_make_pictures OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]) + "/";
    bool ok = Icon().save(dir + "icon.png") && HelpGlyph().save(dir + "glyph_help.png") &&
              FolderGlyph().save(dir + "glyph_folder.png") &&
              Wallpaper().save(dir + "wallpaper.png") && QDir().mkpath(dir + "icons") &&
              SaveDesktopIcons(dir);
    return ok ? 0 : 1;
}
