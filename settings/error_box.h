// The settings manager's error box: an error icon, the text and one OK
// button. Used for its configuration errors, which it reports and then
// carries on from (reads give their defaults, writes are dropped).
#pragma once

#include <functional>
#include <string>

namespace kt {

void ShowErrorBox(const std::string& text);

// Replaces the box, for tests; an empty function restores it. Returns the
// previous one.
using TErrorBoxHandler = std::function<void(const std::string& text)>;
TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler);

}  // namespace kt
