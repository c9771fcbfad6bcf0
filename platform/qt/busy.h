// The hourglass bracket and the message pump.
#pragma once

namespace kt {

// Shows the wait cursor for its lifetime. Brackets nest; the cursor returns
// to normal when the outermost one closes, also when an exception unwinds.
class THourglass {
public:
    THourglass();
    ~THourglass();
    THourglass(const THourglass&) = delete;
    THourglass& operator=(const THourglass&) = delete;
};

// Lets the window repaint and handle input between the steps of a long loop.
void ProcessMessages();

}  // namespace kt
