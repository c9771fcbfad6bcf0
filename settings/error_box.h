// The settings manager's error box: an error icon, the text and one OK
// button. Used for its configuration errors, which it reports and then
// carries on from (reads give their defaults, writes are dropped).
#pragma once

#include <string>

namespace kt {

// Goes through the prompt service like every message of the program, so a
// test's answerer records it; the program's own box adds the error icon.
void ShowErrorBox(const std::string& text);

}  // namespace kt
