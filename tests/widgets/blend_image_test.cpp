// The blend image: the bytes of every blend step, clipping by the offset, the
// reduction to the fixed palette, and when the control recomputes and paints.
#include "widgets/blend_image.h"

#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QPainter>
#include <random>
#include <set>

#include "tests/widgets/ensure_qt_app.h"
#include "widgets/lb_show_hide.h"

namespace {

using namespace kt;

// The blend table written out per byte, as a reference for the word-wise blend.
int ReferenceByte(int mode, int a, int b) {
    switch (mode) {
        case 0:
            return a;
        case 1:
            return a - (a >> 4) + (b >> 4);
        case 2:
            return a - (a >> 3) + (b >> 3);
        case 3:
            return a - (a >> 3) - (a >> 4) + (b >> 3) + (b >> 4);
        case 4:
            return a - (a >> 2) + (b >> 2);
        case 5:
            return a - (a >> 2) - (a >> 4) + (b >> 2) + (b >> 4);
        case 6:
            return a - (a >> 2) - (a >> 3) + (b >> 2) + (b >> 3);
        case 7:
            return a - (a >> 1) + (a >> 4) + (b >> 1) - (b >> 4);
        case 8:
            return a - (a >> 1) + (b >> 1);
        case 9:
            return b - (b >> 1) + (b >> 4) + (a >> 1) - (a >> 4);
        case 10:
            return b - (b >> 2) - (b >> 3) + (a >> 2) + (a >> 3);
        case 11:
            return b - (b >> 2) - (b >> 4) + (a >> 2) + (a >> 4);
        case 12:
            return b - (b >> 2) + (a >> 2);
        case 13:
            return b - (b >> 3) - (b >> 4) + (a >> 3) + (a >> 4);
        case 14:
            return b - (b >> 3) + (a >> 3);
        case 15:
            return b - (b >> 4) + (a >> 4);
        default:
            return b;
    }
}

QImage Flat(int w, int h, QRgb colour) {
    QImage img(w, h, QImage::Format_RGB888);
    img.fill(colour);
    return img;
}

QImage Random(int w, int h, std::mt19937& rng) {
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int i = 0; i < w * 3; ++i) row[i] = static_cast<uchar>(rng());
    }
    return img;
}

uchar ByteAt(const QImage& img, int x, int y, int channel) {
    return img.constScanLine(y)[x * 3 + channel];
}

// The blend result computed byte by byte from the table.
QImage ReferenceBlend(const QImage& a, int ox, int oy, const QImage& b, int mode) {
    QImage out = a.copy();
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const int bx = x - ox, by = y - oy;
            if (bx < 0 || by < 0 || bx >= b.width() || by >= b.height()) continue;
            for (int c = 0; c < 3; ++c) {
                out.scanLine(y)[x * 3 + c] = static_cast<uchar>(
                    ReferenceByte(mode, ByteAt(a, x, y, c), ByteAt(b, bx, by, c)));
            }
        }
    }
    return out;
}

bool SameBytes(const QImage& x, const QImage& y) {
    if (x.size() != y.size() || x.format() != y.format()) return false;
    for (int row = 0; row < x.height(); ++row) {
        if (memcmp(x.constScanLine(row), y.constScanLine(row), x.width() * 3) != 0) return false;
    }
    return true;
}

// Counts paint events and remembers whether they arrived outside the event loop.
class CountingBlendImage : public TBlendImage {
public:
    using TBlendImage::TBlendImage;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent* e) override {
        ++paints;
        TBlendImage::paintEvent(e);
    }
};

class BlendImageTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureQtApp(); }
};

TEST(BlendBitmapsTest, DesignExamplesOfModes0_1_8_15_16) {
    QImage a = Flat(158, 86, qRgb(200, 255, 0));
    QImage b = Flat(158, 86, qRgb(100, 0, 255));
    QImage result;
    const auto pixel = [&](int mode) {
        EXPECT_TRUE(BlendBitmaps(result, a, 0, 0, b, mode));
        EXPECT_EQ(result.size(), QSize(158, 86));
        return result.pixel(157, 85);
    };
    EXPECT_EQ(pixel(0), qRgb(200, 255, 0));
    EXPECT_EQ(pixel(16), qRgb(100, 0, 255));
    EXPECT_EQ(pixel(8), qRgb(150, 128, 127));  // 200/100 -> 150, 255/0 -> 128, 0/255 -> 127
    EXPECT_EQ(qBlue(pixel(1)), 15);            // 0/255 -> 15
    EXPECT_EQ(qBlue(pixel(15)), 240);          // 0/255 -> 240
    EXPECT_EQ(qGreen(pixel(1)), 255 - 15);
    EXPECT_EQ(qGreen(pixel(15)), 15);
}

TEST(BlendBitmapsTest, EveryModeMatchesTheTableForAllBytePairs) {
    // Row y of A holds the byte y everywhere, column x of B the byte x: the
    // overlap covers every pair (a, b), and a width of 256 pixels (768 bytes)
    // also leaves no tail; the random test below covers the tails.
    QImage a(256, 256, QImage::Format_RGB888), b(256, 256, QImage::Format_RGB888);
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            a.setPixel(x, y, qRgb(y, y, y));
            b.setPixel(x, y, qRgb(x, x, x));
        }
    }
    for (int mode = 0; mode <= 16; ++mode) {
        QImage result;
        ASSERT_TRUE(BlendBitmaps(result, a, 0, 0, b, mode));
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x) {
                const int want = ReferenceByte(mode, y, x);
                ASSERT_GE(want, 0);
                ASSERT_LE(want, 255);
                ASSERT_EQ(ByteAt(result, x, y, 1), want)
                    << "mode " << mode << " a " << y << " b " << x;
            }
        }
    }
}

TEST(BlendBitmapsTest, EveryModeMatchesPerByteReferenceOnRandomPicturesAndOffsets) {
    std::mt19937 rng(11);
    // Odd widths give overlap rows whose byte count is not a multiple of the
    // word size, so the last bytes of each row take the tail path.
    const int widths[] = {1, 3, 5, 7, 13, 31, 158};
    for (int wa : widths) {
        for (int wb : {1, 2, 9, 157}) {
            QImage a = Random(wa, 7, rng);
            QImage b = Random(wb, 5, rng);
            const int ox = static_cast<int>(rng() % (wa + wb - 1)) - wb + 1;
            const int oy = static_cast<int>(rng() % 10) - 4;
            for (int mode = 0; mode <= 16; ++mode) {
                QImage result;
                ASSERT_TRUE(BlendBitmaps(result, a, ox, oy, b, mode));
                ASSERT_TRUE(SameBytes(result, ReferenceBlend(a, ox, oy, b, mode)))
                    << "A " << wa << " B " << wb << " at " << ox << "," << oy << " mode " << mode;
            }
        }
    }
}

TEST(BlendBitmapsTest, OffsetClipsToTheOverlap) {
    QImage a = Flat(158, 86, qRgb(0, 0, 0));
    QImage b = Flat(158, 86, qRgb(255, 255, 255));
    QImage result;
    ASSERT_TRUE(BlendBitmaps(result, a, 100, 0, b, 16));
    EXPECT_EQ(result.pixel(99, 40), qRgb(0, 0, 0));
    EXPECT_EQ(result.pixel(100, 40), qRgb(255, 255, 255));
    EXPECT_EQ(result.pixel(157, 85), qRgb(255, 255, 255));

    // No overlap: the call fails and leaves the result as it was.
    const QImage before = result;
    EXPECT_FALSE(BlendBitmaps(result, a, 200, 0, b, 16));
    EXPECT_FALSE(BlendBitmaps(result, a, 0, -86, b, 16));
    EXPECT_FALSE(BlendBitmaps(result, a, 0, 0, b, 17));
    QImage empty;
    EXPECT_FALSE(BlendBitmaps(result, a, 0, 0, empty, 8));
    EXPECT_FALSE(BlendBitmaps(result, empty, 0, 0, b, 8));
    EXPECT_TRUE(SameBytes(result, before));
}

TEST(BlendBitmapsTest, OtherPictureFormatsAreConvertedTo24Bits) {
    QImage a(10, 4, QImage::Format_ARGB32);
    a.fill(qRgb(200, 10, 20));
    QImage b(10, 4, QImage::Format_RGB16);
    b.fill(qRgb(0, 0, 0));
    QImage result;
    ASSERT_TRUE(BlendBitmaps(result, a, 0, 0, b, 8));
    EXPECT_EQ(a.format(), QImage::Format_RGB888);
    EXPECT_EQ(b.format(), QImage::Format_RGB888);
    EXPECT_EQ(result.pixel(3, 3), qRgb(100, 5, 10));
}

TEST(ReduceColorsTest, PaletteOf240Colours) {
    QImage src = Flat(4, 4, qRgb(0, 0, 0));
    QImage out;
    ASSERT_TRUE(ReduceColors(out, src, 6, 8, 5));
    ASSERT_EQ(out.format(), QImage::Format_Indexed8);
    const QList<QRgb> table = out.colorTable();
    ASSERT_EQ(table.size(), 240);
    std::set<int> reds, greens, blues;
    for (QRgb c : table) {
        reds.insert(qRed(c));
        greens.insert(qGreen(c));
        blues.insert(qBlue(c));
    }
    EXPECT_EQ(reds, (std::set<int>{0, 51, 102, 153, 204, 255}));
    EXPECT_EQ(greens, (std::set<int>{0, 36, 72, 109, 145, 182, 218, 255}));
    EXPECT_EQ(blues, (std::set<int>{0, 63, 127, 191, 255}));
    // Entry r + 6 * (g + 8 * b).
    EXPECT_EQ(table[1 + 6 * (2 + 8 * 3)], qRgb(51, 72, 191));
    EXPECT_EQ(table[239], qRgb(255, 255, 255));
}

TEST(ReduceColorsTest, FlatGreyDithersToAnAverageNear128) {
    QImage grey = Flat(64, 64, qRgb(128, 128, 128));
    ASSERT_TRUE(ReduceColors(grey, grey, 6, 8, 5));
    ASSERT_EQ(grey.format(), QImage::Format_Indexed8);
    double sum[3] = {0, 0, 0};
    std::set<QRgb> used;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const QRgb c = grey.pixel(x, y);
            used.insert(c);
            sum[0] += qRed(c);
            sum[1] += qGreen(c);
            sum[2] += qBlue(c);
        }
    }
    for (double s : sum) EXPECT_NEAR(s / (64 * 64), 128.0, 1.5);
    // 128 is no palette level in any channel, so it must be a dither of more
    // than one colour.
    EXPECT_GT(used.size(), 1u);
}

TEST(ReduceColorsTest, BottomRowIsProcessedFirst) {
    // A single column: the error flows upward, so the bottom pixel is the one
    // quantised without any diffused error.
    QImage src = Flat(1, 3, qRgb(30, 30, 30));
    QImage out;
    ASSERT_TRUE(ReduceColors(out, src, 6, 8, 5));
    // Bottom: red level (5*30+128)/256 = 1 -> 51, error -21; next row up:
    // e = (3*(0 + -21) + 2*0 + 4)/8 = -7, v = 23 -> level 0, error 23.
    EXPECT_EQ(qRed(out.pixel(0, 2)), 51);
    EXPECT_EQ(qRed(out.pixel(0, 1)), 0);
}

TEST(ReduceColorsTest, RefusesBadArguments) {
    QImage src = Flat(2, 2, qRgb(1, 2, 3));
    QImage out;
    EXPECT_FALSE(ReduceColors(out, src, 1, 8, 5));
    EXPECT_FALSE(ReduceColors(out, src, 8, 8, 5));  // 320 colours
    EXPECT_FALSE(ReduceColors(out, QImage(), 6, 8, 5));
    EXPECT_FALSE(ReduceColors(out, src.convertToFormat(QImage::Format_Indexed8), 6, 8, 5));
    EXPECT_TRUE(out.isNull());
    EXPECT_TRUE(ReduceColors(out, src.convertToFormat(QImage::Format_RGB555), 6, 8, 5));
    EXPECT_TRUE(ReduceColors(out, src.convertToFormat(QImage::Format_RGB32), 6, 8, 5));
}

TEST_F(BlendImageTest, ModeChangeRepaintsAtOnceAndSameValueDoesNothing) {
    QWidget parent;
    parent.resize(200, 100);
    auto* image = new CountingBlendImage(&parent);
    image->setGeometry(0, 0, 158, 86);
    image->SetBmpA(Flat(158, 86, qRgb(0, 0, 0)));
    image->SetBmpB(Flat(158, 86, qRgb(255, 255, 255)));
    parent.show();
    QApplication::processEvents();

    const int before = image->paints;
    image->SetMode(8);  // no event loop in between: the paint must be immediate
    EXPECT_EQ(image->paints, before + 1);
    EXPECT_EQ(image->Result().pixel(0, 0), qRgb(127, 127, 127));

    image->SetMode(8);
    EXPECT_EQ(image->paints, before + 1);
    EXPECT_EQ(image->grab().toImage().pixel(10, 10), qRgb(127, 127, 127));
    image->SetMode(40);  // kept within the 17 steps
    EXPECT_EQ(image->Mode(), 16);
}

TEST_F(BlendImageTest, NothingIsBlendedWhileLoading) {
    TBlendImage image;
    image.BeginLoad();
    image.SetBmpA(Flat(8, 8, qRgb(0, 0, 0)));
    image.SetBmpB(Flat(8, 8, qRgb(160, 160, 160)));
    image.SetMode(8);
    image.SetOfsX(4);
    EXPECT_TRUE(image.Result().isNull());
    image.Loaded();
    ASSERT_FALSE(image.Result().isNull());
    EXPECT_EQ(image.Result().pixel(3, 0), qRgb(0, 0, 0));
    EXPECT_EQ(image.Result().pixel(4, 0), qRgb(80, 80, 80));
}

TEST_F(BlendImageTest, NoOverlapEmptiesTheDisplayAndEditsAreFollowed) {
    TBlendImage image;
    image.resize(158, 86);
    image.SetBmpA(Flat(158, 86, qRgb(10, 20, 30)));
    image.SetBmpB(Flat(158, 86, qRgb(10, 20, 30)));
    ASSERT_FALSE(image.Result().isNull());
    image.SetOfsX(200);
    EXPECT_TRUE(image.Result().isNull());
    // Not even BmpA is shown.
    QImage shown(158, 86, QImage::Format_RGB32);
    shown.fill(qRgb(1, 2, 3));
    image.render(&shown, QPoint(), QRegion(), QWidget::RenderFlags());
    EXPECT_EQ(shown.pixel(5, 5), qRgb(1, 2, 3));

    image.SetOfsX(100);
    image.EditBmpB([](QImage& b) { b.fill(qRgb(250, 250, 250)); });
    image.SetMode(16);
    EXPECT_EQ(image.Result().pixel(99, 0), qRgb(10, 20, 30));
    EXPECT_EQ(image.Result().pixel(100, 0), qRgb(250, 250, 250));
}

TEST_F(BlendImageTest, EightBitDisplayShowsOnlyPaletteColours) {
    TBlendImage image;
    image.resize(32, 32);
    image.DisplayDepth = [] { return 8; };
    QImage a(32, 32, QImage::Format_RGB888);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) a.setPixel(x, y, qRgb(x * 8, y * 8, 128));
    }
    image.SetBmpA(a);
    image.SetBmpB(Flat(32, 32, qRgb(77, 77, 77)));
    image.SetMode(5);
    image.grab();  // paints
    ASSERT_EQ(image.Result().format(), QImage::Format_Indexed8);
    const QList<QRgb> table = image.Result().colorTable();
    EXPECT_EQ(table.size(), 240);
    const QImage shown = image.grab().toImage();
    const std::set<QRgb> palette(table.begin(), table.end());
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) ASSERT_TRUE(palette.count(shown.pixel(x, y) | 0xFF000000u));
    }
}

TEST_F(BlendImageTest, PaintRulesAutoSizeCenterStretch) {
    QWidget parent;
    auto* image = new TBlendImage(&parent);
    image->setGeometry(5, 6, 21, 11);
    image->SetBmpA(Flat(4, 2, qRgb(255, 0, 0)));
    image->SetBmpB(Flat(4, 2, qRgb(255, 0, 0)));
    const QRgb red = qRgb(255, 0, 0);
    auto shown = [&] {
        QImage canvas(image->size(), QImage::Format_RGB32);
        canvas.fill(qRgb(0, 0, 255));
        image->render(&canvas, QPoint(), QRegion(), QWidget::RenderFlags());
        return canvas;
    };

    QImage plain = shown();
    EXPECT_EQ(plain.pixel(0, 0), red);
    EXPECT_EQ(plain.pixel(3, 1), red);
    EXPECT_NE(plain.pixel(4, 1), red);

    image->SetCenter(true);  // at ((21-4) div 2, (11-2) div 2) = (8, 4)
    QImage centred = shown();
    EXPECT_NE(centred.pixel(7, 4), red);
    EXPECT_EQ(centred.pixel(8, 4), red);
    EXPECT_EQ(centred.pixel(11, 5), red);
    EXPECT_NE(centred.pixel(12, 5), red);
    EXPECT_NE(centred.pixel(8, 6), red);

    image->SetStretch(true);  // wins over Center
    QImage stretched = shown();
    EXPECT_EQ(stretched.pixel(0, 0), red);
    EXPECT_EQ(stretched.pixel(20, 10), red);

    image->SetAutoSize(true);  // the control takes the picture's size
    shown();
    EXPECT_EQ(image->geometry(), QRect(5, 6, 4, 2));
}

TEST_F(BlendImageTest, ClickIsReported) {
    TBlendImage image;
    image.resize(20, 20);
    QObject* clicked = nullptr;
    image.OnClick = [&](QObject* sender) { clicked = sender; };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&image, &press);
    QApplication::sendEvent(&image, &release);
    EXPECT_EQ(clicked, &image);
}

TEST_F(BlendImageTest, ShowHideLabelStartsInvisibleCentredAndKeepsItsSize) {
    QWidget parent;
    auto* label = new TLbShowHide(&parent);
    label->setGeometry(2, 33, 157, 24);
    label->setText("Trindle with a much longer text than fits");
    parent.show();
    EXPECT_FALSE(label->isVisible());
    EXPECT_EQ(label->alignment(), Qt::AlignCenter);
    EXPECT_EQ(label->size(), QSize(157, 24));
}

}  // namespace
