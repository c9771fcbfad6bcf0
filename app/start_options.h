// What the program's own command line asks for before any window exists:
// a usage text, the version, or the run itself. The window needs a display;
// these answers do not, so they are decided without the toolkit.
#pragma once

#include <string>
#include <vector>

namespace kt {

enum class StartRequest { Window, Usage, Version };

// "--help"/"-h" and "--version"/"-V" anywhere before "--" ask for the usage
// or the version; everything else is a path to list ("--" ends the options,
// so a file really named "--help" can still be listed as "-- --help" or
// "./--help").
StartRequest StartRequestOf(const std::vector<std::string>& params);

// The parameters without the first "--": what the window lists.
std::vector<std::string> PathParams(const std::vector<std::string>& params);

std::string UsageText();
std::string VersionText();

// True when a window can be shown: a platform plugin was named
// (QT_QPA_PLATFORM, as the tests' offscreen platform is), or an X or
// Wayland display is set.
bool DisplayAvailable(const char* qpaPlatform, const char* display, const char* waylandDisplay);

}  // namespace kt
