// Where the window opens when its stored position is on no screen, with one
// screen and with two side by side.
#include "app/window_placement.h"

#include <gtest/gtest.h>

namespace kt {
namespace {

TEST(WindowPlacement, KeepsAGrabbablePositionAndMovesAnyOtherOntoTheNearestScreen) {
    const QRect left(0, 0, 1280, 1024);
    const QRect right(1280, 0, 1920, 1080);
    const QSize window(575, 315);
    struct Row {
        QList<QRect> Screens;
        QPoint Stored, Expected;
    };
    const std::vector<Row> rows = {
        {{left}, {100, 100}, {100, 100}},
        {{left}, {-400, 10}, {-400, 10}},  // 175 pixels still on the screen
        {{left}, {-500, 10}, {0, 10}},     // 75: too little to grab
        {{left}, {5000, 3000}, {1280 - 575, 1024 - 315}},
        {{left}, {300, -290}, {300, 0}},            // the title bar above the screen
        {{left, right}, {2000, 500}, {2000, 500}},  // on the second screen
        {{left, right}, {3500, 200}, {3200 - 575, 200}},
        {{left, right}, {-3000, 500}, {0, 500}},
        {{}, {5000, 3000}, {5000, 3000}},               // no screen known: nothing to measure
        {{QRect(0, 0, 400, 200)}, {900, 900}, {0, 0}},  // a screen smaller than the window
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.Stored.x()) + "," + std::to_string(row.Stored.y()));
        EXPECT_EQ(VisibleTopLeft(QRect(row.Stored, window), row.Screens), row.Expected);
    }
}

}  // namespace
}  // namespace kt
