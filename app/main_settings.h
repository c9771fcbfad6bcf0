// Which file holds the window settings.
#pragma once

#include <string>

namespace kt {

// The program's path with ".ini" in place of its extension, beside it; when
// the program's folder cannot be written (an installed program),
// $XDG_CONFIG_HOME/KalvoraTrindle/KalvoraTrindle.ini instead.
std::string SettingsFileFor(const std::string& appPath);

// The file the window uses: SettingsFileFor(the program's path), or the file
// a test has set.
std::string SettingsFileName();
// For tests: makes the window use `path`; empty restores the normal choice.
void SetSettingsFileOverride(const std::string& path);

}  // namespace kt
