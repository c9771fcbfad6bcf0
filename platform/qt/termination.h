// Ending by the system: SIGTERM and SIGINT close the main window the normal
// way (so its shut-down sequence runs and settings are saved) instead of
// killing the process.
#pragma once

class QWidget;

namespace kt {

// Routes SIGTERM and SIGINT to `window`->close() through the event loop.
// Call once, after the window exists.
void CloseOnTerminationSignals(QWidget* window);

}  // namespace kt
