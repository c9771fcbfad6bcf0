// Where the program keeps per-user files that cannot live beside it.
#pragma once

#include <string>

namespace kt {

// $XDG_CONFIG_HOME/KalvoraTrindle, with XDG_CONFIG_HOME defaulting to
// ~/.config (also when it is set to a relative path, which XDG says to
// ignore). The folder is not created here.
std::string ProgramConfigFolder();

}  // namespace kt
