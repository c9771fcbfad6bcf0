// Where the window opens: the stored position, unless that would leave the
// window where nobody can see or reach it (a monitor removed since the last
// run, a hand-edited settings file).
#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace kt {

// The top-left corner to use for a window of `frame` (stored position, its
// size) on screens whose usable areas are `screens`. A window that shows
// enough of itself on some screen to be grabbed and moved keeps its stored
// position exactly; any other is moved onto the nearest screen, as far
// inside it as its size allows. With no screen at all the stored position
// stands.
QPoint VisibleTopLeft(const QRect& frame, const QList<QRect>& screens);

}  // namespace kt
