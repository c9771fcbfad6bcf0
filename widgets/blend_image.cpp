#include "widgets/blend_image.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

namespace kt {

namespace {

// The blend works on eight bytes at a time. A shifted term is the word shifted
// right with every byte masked, so no bit of a neighbouring byte leaks in.
// Intermediate sums may carry into or borrow from a neighbouring byte, but the
// word arithmetic is exact modulo 2^64 and every final byte lies within
// 0 ... 255, so the finished word holds exactly the bytes of the formula.
using Word = uint64_t;

template <int Shift>
inline Word Sh(Word w) {
    constexpr Word kMask[] = {0xFFFFFFFFFFFFFFFFull, 0x7F7F7F7F7F7F7F7Full, 0x3F3F3F3F3F3F3F3Full,
                              0x1F1F1F1F1F1F1F1Full, 0x0F0F0F0F0F0F0F0Full};
    return (w >> Shift) & kMask[Shift];
}

// Weight k/16 of y mixed into x for k = 1 ... 8; the modes 9 ... 15 are the
// same formulas with the two pictures' roles swapped.
template <int K>
inline Word Mix(Word x, Word y) {
    if constexpr (K == 1) return x - Sh<4>(x) + Sh<4>(y);
    if constexpr (K == 2) return x - Sh<3>(x) + Sh<3>(y);
    if constexpr (K == 3) return x - Sh<3>(x) - Sh<4>(x) + Sh<3>(y) + Sh<4>(y);
    if constexpr (K == 4) return x - Sh<2>(x) + Sh<2>(y);
    if constexpr (K == 5) return x - Sh<2>(x) - Sh<4>(x) + Sh<2>(y) + Sh<4>(y);
    if constexpr (K == 6) return x - Sh<2>(x) - Sh<3>(x) + Sh<2>(y) + Sh<3>(y);
    if constexpr (K == 7) return x - Sh<1>(x) + Sh<4>(x) + Sh<1>(y) - Sh<4>(y);
    if constexpr (K == 8) return x - Sh<1>(x) + Sh<1>(y);
}

template <int Mode>
inline Word BlendWord(Word a, Word b) {
    if constexpr (Mode == 0) return a;
    if constexpr (Mode == 16) return b;
    if constexpr (Mode >= 1 && Mode <= 8) return Mix<Mode>(a, b);
    if constexpr (Mode >= 9 && Mode <= 15) return Mix<16 - Mode>(b, a);
}

// Blends n bytes of b into dst (which already holds a's bytes).
template <int Mode>
void BlendRow(uint8_t* dst, const uint8_t* b, int n) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        Word wa, wb;
        std::memcpy(&wa, dst + i, 8);
        std::memcpy(&wb, b + i, 8);
        const Word r = BlendWord<Mode>(wa, wb);
        std::memcpy(dst + i, &r, 8);
    }
    if (i < n) {
        // The last bytes of the row go through a temporary word.
        Word wa = 0, wb = 0;
        std::memcpy(&wa, dst + i, n - i);
        std::memcpy(&wb, b + i, n - i);
        const Word r = BlendWord<Mode>(wa, wb);
        std::memcpy(dst + i, &r, n - i);
    }
}

using RowFunc = void (*)(uint8_t*, const uint8_t*, int);

template <int... Modes>
constexpr auto MakeRowTable(std::integer_sequence<int, Modes...>) {
    return std::array<RowFunc, sizeof...(Modes)>{&BlendRow<Modes>...};
}

constexpr auto kRowFuncs = MakeRowTable(std::make_integer_sequence<int, 17>());

void To24Bits(QImage& picture) {
    if (picture.format() != QImage::Format_RGB888) picture.convertTo(QImage::Format_RGB888);
}

bool ReducibleDepth(const QImage& picture) {
    // 15-bit pictures are held with a depth of 16.
    const int depth = picture.depth();
    return depth == 16 || depth == 24 || depth == 32;
}

}  // namespace

bool BlendBitmaps(QImage& result, QImage& a, int x, int y, QImage& b, int mode) {
    if (mode < 0 || mode > 16 || a.isNull() || b.isNull()) return false;
    // The overlap of B's rectangle with A's, in A's coordinates; computed wide
    // so that offsets near the integer limits cannot wrap.
    const int64_t left = std::max<int64_t>(x, 0);
    const int64_t top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(int64_t{x} + b.width(), a.width());
    const int64_t bottom = std::min<int64_t>(int64_t{y} + b.height(), a.height());
    if (left >= right || top >= bottom) return false;

    To24Bits(a);
    To24Bits(b);
    QImage out(a.width(), a.height(), QImage::Format_RGB888);
    const int rowBytes = a.width() * 3;
    for (int row = 0; row < a.height(); ++row) {
        std::memcpy(out.scanLine(row), a.constScanLine(row), rowBytes);
    }
    const RowFunc blendRow = kRowFuncs[mode];
    const int n = static_cast<int>(right - left) * 3;
    for (int64_t row = top; row < bottom; ++row) {
        uint8_t* dst = out.scanLine(static_cast<int>(row)) + left * 3;
        const uint8_t* src = b.constScanLine(static_cast<int>(row - y)) + (left - x) * 3;
        blendRow(dst, src, n);
    }
    result = std::move(out);
    return true;
}

bool ReduceColors(QImage& target, const QImage& source, int levelsR, int levelsG, int levelsB) {
    if (levelsR < 2 || levelsG < 2 || levelsB < 2) return false;
    if (levelsR * levelsG * levelsB > 256) return false;
    if (source.isNull() || !ReducibleDepth(source)) return false;

    const int levels[3] = {levelsR, levelsG, levelsB};
    QList<QRgb> palette;
    palette.reserve(levelsR * levelsG * levelsB);
    for (int b = 0; b < levelsB; ++b) {
        for (int g = 0; g < levelsG; ++g) {
            for (int r = 0; r < levelsR; ++r) {
                palette.append(qRgb(r * 255 / (levelsR - 1), g * 255 / (levelsG - 1),
                                    b * 255 / (levelsB - 1)));
            }
        }
    }

    const QImage src = source.convertToFormat(QImage::Format_RGB888);
    const int width = src.width();
    QImage out(width, src.height(), QImage::Format_Indexed8);
    out.setColorTable(palette);

    // Error store for positions -1 ... width, three channels each. While a row
    // is processed, position x - 1 already holds this row's error and x, x + 1
    // still hold the previous row's.
    std::vector<int> err(static_cast<size_t>(width + 2) * 3, 0);
    for (int row = src.height() - 1; row >= 0; --row) {
        const uint8_t* in = src.constScanLine(row);
        uint8_t* outRow = out.scanLine(row);
        for (int x = 0; x < width; ++x) {
            int* here = &err[static_cast<size_t>(x + 1) * 3];
            int index[3];
            int value[3];
            for (int c = 0; c < 3; ++c) {
                const int l = here[c - 3];
                const int u = here[c];
                const int ur = here[c + 3];
                const int e = (3 * (l + u) + 2 * ur + 4) / 8;
                value[c] = in[x * 3 + c] + e;
                // The diffused error stays within half a level step, so the
                // index never leaves the palette; the clamp only guards that.
                index[c] = std::clamp(((levels[c] - 1) * value[c] + 128) / 256, 0, levels[c] - 1);
            }
            const int entry = index[0] + levelsR * (index[1] + levelsG * index[2]);
            outRow[x] = static_cast<uint8_t>(entry);
            const QRgb chosen = palette[entry];
            here[0] = value[0] - qRed(chosen);
            here[1] = value[1] - qGreen(chosen);
            here[2] = value[2] - qBlue(chosen);
        }
    }
    target = std::move(out);
    return true;
}

TBlendImage::TBlendImage(QWidget* parent) : QWidget(parent) {
    DisplayDepth = [this] {
        const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
        return s ? s->depth() : 24;
    };
}

void TBlendImage::BeginLoad() { FLoading = true; }

void TBlendImage::Loaded() {
    FLoading = false;
    UpdateImage();
}

void TBlendImage::SetBmpA(const QImage& picture) {
    FBmpA = picture;
    PictureChanged();
}

void TBlendImage::SetBmpB(const QImage& picture) {
    FBmpB = picture;
    PictureChanged();
}

void TBlendImage::EditBmpA(const std::function<void(QImage&)>& edit) {
    edit(FBmpA);
    PictureChanged();
}

void TBlendImage::EditBmpB(const std::function<void(QImage&)>& edit) {
    edit(FBmpB);
    PictureChanged();
}

void TBlendImage::PictureChanged() {
    if (!FLoading) UpdateImage();
}

void TBlendImage::SetMode(int mode) {
    mode = std::clamp(mode, 0, 16);
    if (mode == FMode) return;
    FMode = mode;
    if (!FLoading) UpdateImage();
}

void TBlendImage::SetOfsX(int x) {
    if (x == FOfsX) return;
    FOfsX = x;
    if (!FLoading) UpdateImage();
}

void TBlendImage::SetOfsY(int y) {
    if (y == FOfsY) return;
    FOfsY = y;
    if (!FLoading) UpdateImage();
}

void TBlendImage::SetAutoSize(bool on) {
    if (on == FAutoSize) return;
    FAutoSize = on;
    if (!FResult.isNull()) Invalidate();
}

void TBlendImage::SetCenter(bool on) {
    if (on == FCenter) return;
    FCenter = on;
    if (!FResult.isNull() && !FAutoSize && !FStretch) Invalidate();
}

void TBlendImage::SetStretch(bool on) {
    if (on == FStretch) return;
    FStretch = on;
    if (!FResult.isNull() && !FAutoSize) Invalidate();
}

void TBlendImage::UpdateImage() {
    if (BlendBitmaps(FResult, FBmpA, FOfsX, FOfsY, FBmpB, FMode)) {
        // Painted at once rather than invalidated, so a fade never shows the
        // erased background between two steps.
        repaint();
    } else if (!FResult.isNull()) {
        FResult = QImage();
        Invalidate();
    }
}

void TBlendImage::Invalidate() { update(); }

void TBlendImage::paintEvent(QPaintEvent*) {
    if (FResult.isNull()) return;
    if (DisplayDepth && DisplayDepth() <= 8 && ReducibleDepth(FResult)) {
        ReduceColors(FResult, FResult, 6, 8, 5);
    }
    if (FAutoSize && size() != FResult.size()) resize(FResult.size());
    QPainter painter(this);
    if (FStretch) {
        // Nearest-neighbour scaling, like a colour-on-colour stretch copy.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(rect(), FResult);
    } else if (FCenter) {
        painter.drawImage(
            QPoint((width() - FResult.width()) / 2, (height() - FResult.height()) / 2), FResult);
    } else {
        painter.drawImage(QPoint(0, 0), FResult);
    }
}

void TBlendImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        OnClick) {
        OnClick(this);
    }
    QWidget::mouseReleaseEvent(event);
}

void TBlendImage::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick(this);
    QWidget::mouseDoubleClickEvent(event);
}

}  // namespace kt
