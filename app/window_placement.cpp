#include "app/window_placement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace kt {

namespace {

// A window shows enough of itself when this much of it lies on one screen:
// room for a title bar to be grabbed, or the whole window if it is smaller.
constexpr int kGrabWidth = 100;
constexpr int kGrabHeight = 50;

bool ShowsEnough(const QRect& frame, const QRect& screen) {
    const QRect part = frame.intersected(screen);
    return part.width() >= std::min(kGrabWidth, frame.width()) &&
           part.height() >= std::min(kGrabHeight, frame.height());
}

double Distance(const QPoint& p, const QRect& r) {
    const double dx = std::max({r.left() - p.x(), 0, p.x() - r.right()});
    const double dy = std::max({r.top() - p.y(), 0, p.y() - r.bottom()});
    return std::hypot(dx, dy);
}

// The start of a span of `size` placed as near `wanted` as [low, high] allows;
// a span longer than the room starts at its beginning.
int Clamp(int wanted, int size, int low, int high) {
    return std::max(low, std::min(wanted, high - size + 1));
}

}  // namespace

QPoint VisibleTopLeft(const QRect& frame, const QList<QRect>& screens) {
    if (screens.isEmpty()) return frame.topLeft();
    for (const QRect& s : screens) {
        if (ShowsEnough(frame, s)) return frame.topLeft();
    }
    const QRect* nearest = &screens.front();
    double best = std::numeric_limits<double>::max();
    for (const QRect& s : screens) {
        const double d = Distance(frame.center(), s);
        if (d < best) {
            best = d;
            nearest = &s;
        }
    }
    return {Clamp(frame.x(), frame.width(), nearest->left(), nearest->right()),
            Clamp(frame.y(), frame.height(), nearest->top(), nearest->bottom())};
}

}  // namespace kt
