// TAppHint and THintEx: the application's hints in the program's own look.
// Creating a TAppHint makes THintEx the application's hint window class;
// THintEx reads the current TAppHint's style each time it shows and paints a
// hint: a speech balloon with a tail, a rounded rectangle, a leader line with
// outlined text on no background, or drawing by an event.
#pragma once

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QObject>
#include <QPen>
#include <QPoint>
#include <QRegion>
#include <array>
#include <functional>

#include "widgets/app_hints.h"
#include "widgets/hint_window.h"

namespace kt {

enum THintStyle { hsFukidashi = 0, hsRoundRect = 1, hsLineString = 2, hsOwnerDraw = 3 };

// Draws a hint of style hsOwnerDraw: the text, the hint window's canvas and
// the window's width and height.
using THintPaintEvent =
    std::function<void(const QString& hintStr, QPainter& canvas, int width, int height)>;

class TAppHint : public QObject {
    Q_OBJECT
public:
    explicit TAppHint(QObject* owner = nullptr);
    ~TAppHint() override;

    // The one TAppHint whose style the hint window follows (or nullptr).
    static TAppHint* Current();

    // Called once the owner has applied this component's settings: the hint
    // window is made anew with them, and the application's hint events are
    // forwarded to OnHint and OnShowHint.
    void Loaded();

    QColor BGColor() const { return FBGColor; }
    void SetBGColor(const QColor& colour) { FBGColor = colour; }
    const QBrush& Brush() const { return FBrush; }
    void SetBrush(const QBrush& brush) { FBrush = brush; }
    const QPen& Pen() const { return FPen; }
    void SetPen(const QPen& pen) { FPen = pen; }

    // The font and its colour; a change of either makes the hint window anew,
    // so that the text rectangle is measured in the new font.
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& font);
    QColor FontColor() const { return FFontColor; }
    void SetFontColor(const QColor& colour);

    THintStyle HintStyle() const { return FHintStyle; }
    void SetHintStyle(THintStyle style);
    QColor ShadowColor() const { return FShadowColor; }
    void SetShadowColor(const QColor& colour) { FShadowColor = colour; }
    bool ShadowVisible() const { return FShadowVisible; }
    void SetShadowVisible(bool on) { FShadowVisible = on; }

    // The application's hint timings in milliseconds; not kept here.
    int HintPause() const;
    void SetHintPause(int ms);
    int HintHidePause() const;
    void SetHintHidePause(int ms);
    int HintShortPause() const;
    void SetHintShortPause(int ms);

    std::function<void(QObject* sender)> OnHint;
    THintPaintEvent OnPaint;
    TShowHintEvent OnShowHint;

private:
    void UseHintEx();

    QColor FBGColor{Qt::black};
    QBrush FBrush{QColor(0, 0, 128), Qt::SolidPattern};
    QFont FFont;
    QColor FFontColor{0, 255, 0};
    QPen FPen;
    THintStyle FHintStyle = hsFukidashi;
    QColor FShadowColor{0, 0, 255};
    bool FShadowVisible = true;
};

class THintEx : public THintWindow {
    Q_OBJECT
public:
    THintEx();
    ~THintEx() override;

    void ActivateHint(QRect rect, const QString& hint) override;

    // The region set on the window by the last activation (empty: none), in
    // the window's coordinates, and the rectangle saved by it.
    const QRegion& Region() const { return FRegion; }
    bool HasRegion() const { return FHasRegion; }
    QRect SavedRect() const { return FSavedRect; }

protected:
    void Paint(QPainter& canvas, const QRect& clip) override;
    bool ErasesBackground() const override;

private:
    void SetRegion(const QRegion& region);
    void ClearRegion();
    // The logical pixels of which the window's drawing paints any part.
    QRegion PaintedPixels();

    QRect FSavedRect;
    QRegion FRegion;
    bool FHasRegion = false;
    QRegion FPainted;  // the leader-line style's mask: the pixels it paints
    std::array<QPoint, 8> FOutline;
};

}  // namespace kt
