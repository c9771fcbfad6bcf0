// Draws the two 158 x 86 true-colour logo pictures that the window's logo
// fades between: logo_day.png (light) and logo_night.png (dark). Both share
// one layout, so the fade reads as the light changing over the same scene.
// Usage: kt_make_logo OUTDIR (build target kt_make_logo)
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>
#include <random>

namespace {

constexpr int kWidth = 158;
constexpr int kHeight = 86;

struct Palette {
    QColor skyTop, skyBottom, ground, box, boxLid, band, clamp, title, titleShadow, family, version;
    bool stars;
};

// A box pressed shut by a clamp: many files, each into its own archive.
void DrawBox(QPainter& p, const Palette& c, int x, int y) {
    p.setPen(QPen(c.box.darker(160), 1));
    p.setBrush(c.box);
    p.drawRect(x, y + 14, 30, 22);
    p.setBrush(c.boxLid);
    p.drawRect(x - 2, y + 10, 34, 6);
    p.setPen(QPen(c.band, 3));
    p.drawLine(x + 15, y + 16, x + 15, y + 35);
    // The clamp.
    p.setPen(QPen(c.clamp.darker(140), 1));
    p.setBrush(c.clamp);
    p.drawRect(x + 3, y, 24, 5);
    p.drawRect(x + 13, y + 5, 4, 5);
    // Two small boxes beside it, the batch waiting.
    p.setPen(QPen(c.box.darker(160), 1));
    p.setBrush(c.box.lighter(115));
    p.drawRect(x + 36, y + 24, 12, 12);
    p.drawRect(x + 50, y + 28, 8, 8);
}

QImage Logo(const Palette& c, unsigned seed) {
    QImage img(kWidth, kHeight, QImage::Format_RGB888);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, c.skyTop);
    sky.setColorAt(1, c.skyBottom);
    p.fillRect(img.rect(), sky);
    if (c.stars) {
        std::mt19937 rng(seed);
        for (int i = 0; i < 40; ++i) {
            const int x = static_cast<int>(rng() % kWidth), y = static_cast<int>(rng() % 50);
            p.setPen(QColor(255, 255, 220, 120 + static_cast<int>(rng() % 136)));
            p.drawPoint(x, y);
        }
        QRadialGradient moon(140, 14, 9);
        moon.setColorAt(0, QColor(255, 255, 225));
        moon.setColorAt(1, QColor(255, 255, 225, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(moon);
        p.drawEllipse(QPointF(140, 14), 9, 9);
    } else {
        QRadialGradient sun(140, 14, 14);
        sun.setColorAt(0, QColor(255, 250, 200));
        sun.setColorAt(0.5, QColor(255, 220, 90));
        sun.setColorAt(1, QColor(255, 220, 90, 0));
        p.setPen(Qt::NoPen);
        p.setBrush(sun);
        p.drawEllipse(QPointF(140, 14), 14, 14);
    }
    // Rolling ground.
    QPainterPath hill;
    hill.moveTo(0, 70);
    hill.cubicTo(40, 60, 90, 76, kWidth, 64);
    hill.lineTo(kWidth, kHeight);
    hill.lineTo(0, kHeight);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(c.ground);
    p.drawPath(hill);

    DrawBox(p, c, 8, 32);

    // The name, in two lines, with a soft shadow.
    QFont family("DejaVu Sans");
    family.setPixelSize(12);
    family.setItalic(true);
    family.setBold(true);
    p.setFont(family);
    p.setPen(c.family);
    p.drawText(QRect(72, 8, 80, 14), Qt::AlignLeft | Qt::AlignVCenter, "Kalvora");

    QFont title("DejaVu Serif");
    title.setPixelSize(22);
    title.setBold(true);
    title.setItalic(true);
    p.setFont(title);
    p.setPen(c.titleShadow);
    p.drawText(QRect(63, 23, 94, 28), Qt::AlignLeft | Qt::AlignVCenter, "Trindle");
    p.setPen(c.title);
    p.drawText(QRect(61, 21, 94, 28), Qt::AlignLeft | Qt::AlignVCenter, "Trindle");

    QFont version("DejaVu Sans");
    version.setPixelSize(10);
    version.setBold(true);
    p.setFont(version);
    p.setPen(c.version);
    p.drawText(QRect(100, 70, 54, 14), Qt::AlignRight | Qt::AlignVCenter, "Ver.1.00");
    return img;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kt_make_logo OUTDIR\n");
        return 2;
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    const Palette day{QColor(120, 180, 245), QColor(225, 240, 255), QColor(110, 180, 80),
                      QColor(230, 190, 90),  QColor(200, 150, 60),  QColor(150, 40, 30),
                      QColor(90, 110, 150),  QColor(0, 60, 150),    QColor(255, 255, 255),
                      QColor(40, 150, 40),   QColor(0, 0, 128),     false};
    const Palette night{QColor(10, 15, 50),   QColor(60, 50, 120),   QColor(30, 60, 50),
                        QColor(150, 120, 70), QColor(120, 90, 50),   QColor(110, 30, 40),
                        QColor(90, 100, 130), QColor(255, 230, 120), QColor(0, 0, 0),
                        QColor(160, 255, 60), QColor(200, 210, 255), true};
    bool ok = Logo(day, 1).save(dir + "/logo_day.png");
    ok = Logo(night, 2).save(dir + "/logo_night.png") && ok;
    return ok ? 0 : 1;
}
