// Draws the program's pictures: the 32 x 32 window icon (16 colours), the
// 16 x 16 help glyph, the two-state folder glyph (normal, disabled) and the
// 320 x 240 list wallpaper (256 colours). Usage: kt_make_pictures OUTDIR
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QHash>
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

// A box squeezed by a clamp: one file pressed into one archive.
QImage Icon() {
    QImage img(32, 32, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    // The archive box.
    p.setPen(QPen(QColor(0, 0, 128), 1));
    p.setBrush(QColor(255, 255, 0));
    p.drawRect(6, 14, 20, 15);
    p.setBrush(QColor(128, 128, 0));
    p.drawRect(6, 14, 20, 4);
    p.setPen(QPen(QColor(128, 0, 0), 2));
    p.drawLine(16, 14, 16, 28);
    // The clamp pressing from above.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 255));
    p.drawRect(4, 3, 24, 4);
    p.setBrush(QColor(0, 0, 128));
    p.drawRect(14, 7, 4, 5);
    p.setBrush(QColor(255, 0, 0));
    QPolygon arrow;
    arrow << QPoint(10, 8) << QPoint(6, 8) << QPoint(8, 12);
    p.drawPolygon(arrow);
    arrow.translate(16, 0);
    p.drawPolygon(arrow);
    p.end();
    // 16 colours plus transparency in the alpha-aware PNG.
    QImage indexed = img.convertToFormat(QImage::Format_Indexed8, SixteenColours() << qRgba(0, 0, 0, 0),
                                         Qt::ThresholdDither | Qt::AvoidDither);
    return indexed;
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
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) byCount.append({it.value(), it.key()});
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
              Wallpaper().save(dir + "wallpaper.png");
    return ok ? 0 : 1;
}
