// Opening the manager's back-end for one access. A manager without its file
// name or registry key shows the designed error box on every access and the
// access does nothing.
#pragma once

#include <string>

namespace kt {

class TRegistry;
class TRegManager;

// The INI file to use, or empty after "can not create Inifile object.".
std::string IniFileFor(const TRegManager& manager);

// Opens HKEY_CURRENT_USER\RegDir in `reg`, creating it when missing. False
// after "can not create Registry object." for an empty RegDir, or when the
// key cannot be opened for a read; a write raises the key-creation error.
bool OpenRegDir(const TRegManager& manager, TRegistry& reg, bool forWrite);

// Opens `section` below the open RegDir, creating it first when missing
// (raises the key-creation error when it cannot be created).
void OpenSection(TRegistry& reg, const std::string& section);

}  // namespace kt
