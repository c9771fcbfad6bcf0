#include "widgets/styled_hints.h"

#include <QBitmap>
#include <QtMath>
#include <algorithm>
#include <QImage>
#include <QPainter>
#include <QPolygon>

namespace kt {

namespace {

TAppHint* gCurrent = nullptr;
// The TAppHint whose forwarding sits on the application's hint events.
TAppHint* gForwarder = nullptr;

constexpr int kTextFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

// Region of a rectangle from (0, 0) to (w, h) (exclusive) with corners rounded
// by an ellipse of ew x eh.
QRegion RoundRectRegion(int w, int h, int ew, int eh) {
    if (w <= ew || h <= eh) return QRegion(0, 0, w, h, QRegion::Ellipse);
    QRegion region(ew / 2, 0, w - ew, h);
    region += QRegion(0, eh / 2, w, h - eh);
    region += QRegion(0, 0, ew, eh, QRegion::Ellipse);
    region += QRegion(w - ew, 0, ew, eh, QRegion::Ellipse);
    region += QRegion(0, h - eh, ew, eh, QRegion::Ellipse);
    region += QRegion(w - ew, h - eh, ew, eh, QRegion::Ellipse);
    return region;
}

}  // namespace

// ---------------------------------------------------------------- TAppHint

TAppHint::TAppHint(QObject* owner) : QObject(owner) {
    FPen.setCosmetic(true);
    UseHintEx();
    gCurrent = this;
}

TAppHint::~TAppHint() {
    if (gForwarder == this) {
        gForwarder = nullptr;
        TApplicationHints& app = TApplicationHints::Instance();
        app.OnHint = nullptr;
        app.OnShowHint = nullptr;
    }
    if (gCurrent == this) gCurrent = nullptr;
}

TAppHint* TAppHint::Current() { return gCurrent; }

void TAppHint::UseHintEx() {
    TApplicationHints& app = TApplicationHints::Instance();
    app.SetHintWindowClass([] { return new THintEx(); });
    app.RecreateHintWindow();
}

void TAppHint::Loaded() {
    UseHintEx();
    TApplicationHints& app = TApplicationHints::Instance();
    app.OnHint = [this](QObject* sender) {
        if (OnHint) OnHint(sender);
    };
    app.OnShowHint = [this](QString& hintStr, bool& canShow, THintInfo& info) {
        // Leaves room for the hint window's own margins.
        info.HintMaxWidth -= 8;
        if (OnShowHint) OnShowHint(hintStr, canShow, info);
    };
    gForwarder = this;
}

void TAppHint::SetFont(const QFont& font) {
    if (font == FFont) return;
    FFont = font;
    UseHintEx();
}

void TAppHint::SetFontColor(const QColor& colour) {
    if (colour == FFontColor) return;
    FFontColor = colour;
    UseHintEx();
}

void TAppHint::SetHintStyle(THintStyle style) {
    if (style == FHintStyle) return;
    FHintStyle = style;
    UseHintEx();
}

int TAppHint::HintPause() const { return TApplicationHints::Instance().HintPause(); }
void TAppHint::SetHintPause(int ms) { TApplicationHints::Instance().SetHintPause(ms); }
int TAppHint::HintHidePause() const { return TApplicationHints::Instance().HintHidePause(); }
void TAppHint::SetHintHidePause(int ms) { TApplicationHints::Instance().SetHintHidePause(ms); }
int TAppHint::HintShortPause() const { return TApplicationHints::Instance().HintShortPause(); }
void TAppHint::SetHintShortPause(int ms) { TApplicationHints::Instance().SetHintShortPause(ms); }

// ---------------------------------------------------------------- THintEx

THintEx::THintEx() {
    // No border: the styles draw their own outlines.
    FBorder = false;
    if (TAppHint* current = TAppHint::Current()) setFont(current->Font());
}

THintEx::~THintEx() { ClearRegion(); }

void THintEx::SetRegion(const QRegion& region) {
    FRegion = region;
    FHasRegion = true;
    setMask(region);
}

void THintEx::ClearRegion() {
    if (!FHasRegion) return;
    FRegion = QRegion();
    FHasRegion = false;
    clearMask();
}

void THintEx::ActivateHint(QRect rect, const QString& hint) {
    ClearRegion();
    TAppHint* current = TAppHint::Current();
    const THintStyle style = current ? current->HintStyle() : hsOwnerDraw;
    if (current) {
        switch (style) {
            case hsFukidashi: {
                rect.setBottom(rect.bottom() + 9);
                const int w = rect.width(), h = rect.height();
                const QPolygon tail({QPoint(14, 0), QPoint(8, 9), QPoint(0, 9), QPoint(0, h),
                                     QPoint(w, h), QPoint(w, 9), QPoint(14, 9)});
                SetRegion(QRegion(tail, Qt::WindingFill));
                FOutline = {QPoint(14, 0),        QPoint(9, 9),     QPoint(0, 9),  QPoint(0, h - 1),
                            QPoint(w - 1, h - 1), QPoint(w - 1, 9), QPoint(13, 9), QPoint(13, 0)};
                break;
            }
            case hsRoundRect:
                FSavedRect = rect;
                SetRegion(RoundRectRegion(rect.width() + 1, rect.height() + 1, 8, 8));
                break;
            case hsLineString:
                rect.setRight(rect.right() + 21);
                rect.setBottom(rect.bottom() + 12);
                FSavedRect = rect;
                SetRegion(QRegion(1, 1, rect.width() - 2, rect.height() - 2));
                break;
            case hsOwnerDraw:
                break;
        }
    }
    PlaceHint(rect, hint);
    if (current && style == hsLineString) {
        // Nothing but the text and the line is painted. A window without a
        // compositor cannot show unpainted pixels as see-through, so the
        // window is cut down to the painted pixels as well.
        FPainted = QRegion();
        setMask(FRegion.intersected(PaintedPixels()));
        FPainted = mask();
    }
    ShowPlaced();
}

QRegion THintEx::PaintedPixels() {
    // Drawn at the screen's resolution: a mask is made of whole logical
    // pixels, and at a scale above one the glyphs drawn for the screen are
    // not those of a drawing at scale one. A logical pixel is kept when any
    // of its device pixels is painted; Paint fills the rest of it.
    const qreal ratio = std::max<qreal>(1.0, devicePixelRatioF());
    const QSize device(qCeil(width() * ratio), qCeil(height() * ratio));
    QImage drawn(device, QImage::Format_ARGB32_Premultiplied);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(Qt::transparent);
    // A masked widget renders its mask's bounding box at the target's
    // origin, which would shift the mask off the drawing.
    clearMask();
    render(&drawn, QPoint(), QRegion(), QWidget::DrawChildren);
    QImage kept(size(), QImage::Format_ARGB32_Premultiplied);
    kept.fill(Qt::transparent);
    for (int y = 0; y < device.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(drawn.constScanLine(y));
        const int ly = std::min(height() - 1, static_cast<int>(y / ratio));
        for (int x = 0; x < device.width(); ++x) {
            if (qAlpha(line[x]) < 128) continue;
            kept.setPixel(std::min(width() - 1, static_cast<int>(x / ratio)), ly, 0xff000000u);
        }
    }
    return QRegion(QBitmap::fromImage(kept.createAlphaMask(Qt::ThresholdAlphaDither)));
}

bool THintEx::ErasesBackground() const {
    const TAppHint* current = TAppHint::Current();
    return current && current->HintStyle() != hsLineString;
}

void THintEx::Paint(QPainter& canvas, const QRect& clip) {
    TAppHint* hint = TAppHint::Current();
    if (!hint) return;

    QFont font = hint->Font();
    if (hint->HintStyle() == hsLineString) {
        // The window is cut down to the painted pixels, so they must be fully
        // opaque: a half-covered edge pixel would show the black of a
        // desktop without a compositor around the text.
        font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::NoAntialias));
    }
    canvas.setFont(font);
    QBrush brush = hint->Brush();
    canvas.setBrush(brush);
    if (brush.style() == Qt::SolidPattern) {
        canvas.setBackground(brush.color());
        canvas.setBackgroundMode(Qt::OpaqueMode);
    } else {
        canvas.setBackground(hint->BGColor());
        canvas.setBackgroundMode(Qt::TransparentMode);
    }
    canvas.setPen(hint->Pen());

    const QRect client = rect();
    // The text is drawn without a background of its own, in the given colour.
    const auto drawText = [&](int dx, int dy, const QColor& colour) {
        canvas.save();
        canvas.setBackgroundMode(Qt::TransparentMode);
        canvas.setPen(colour);
        canvas.drawText(client.translated(dx, dy), kTextFlags, Caption());
        canvas.restore();
    };
    const bool shadow = hint->ShadowVisible();
    const QColor shadowColour = hint->ShadowColor();
    const QColor fontColour = hint->FontColor();

    switch (hint->HintStyle()) {
        case hsFukidashi:
            canvas.fillRect(clip, brush);
            canvas.setBrush(Qt::NoBrush);
            if (shadow) drawText(4, 10, shadowColour);
            drawText(3, 9, fontColour);
            canvas.drawPolygon(FOutline.data(), static_cast<int>(FOutline.size()));
            break;
        case hsRoundRect:
            canvas.fillRect(clip, brush);
            canvas.setBrush(Qt::NoBrush);
            if (shadow) drawText(2, 2, shadowColour);
            drawText(1, 1, fontColour);
            // Outline from (0, 0) to the saved size, the last row and column
            // excluded, with corners of an 8 x 8 ellipse.
            canvas.drawRoundedRect(QRect(0, 0, FSavedRect.width() - 1, FSavedRect.height() - 1), 4,
                                   4);
            break;
        case hsLineString: {
            canvas.setBrush(Qt::NoBrush);
            // Above scale one the mask keeps a whole logical pixel for one
            // painted device pixel; the rest of it takes the outline's colour
            // instead of showing what no compositor makes see-through.
            if (!FPainted.isEmpty() && devicePixelRatioF() > 1.0)
                for (const QRect& r : FPainted)
                    canvas.fillRect(r, shadow ? shadowColour : fontColour);
            if (shadow) {
                drawText(19, 10, shadowColour);
                drawText(19, 12, shadowColour);
                drawText(18, 11, shadowColour);
                drawText(20, 11, shadowColour);
            }
            drawText(19, 11, fontColour);
            const int w = FSavedRect.width(), h = FSavedRect.height();
            canvas.drawPolyline(QPolygon({QPoint(1, 1), QPoint(17, h - 2), QPoint(w, h - 2)}));
            break;
        }
        case hsOwnerDraw:
            if (hint->OnPaint) hint->OnPaint(Caption(), canvas, width(), height());
            break;
        default:
            THintWindow::Paint(canvas, clip);
            break;
    }
}

}  // namespace kt
