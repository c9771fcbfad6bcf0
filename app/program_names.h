// The names the program goes by outside its own window: its title, and its
// icon in the desktop's icon theme (installed by the package).
#pragma once

namespace kt {

inline constexpr const char* kProgramTitle = "KalvoraTrindle";
inline constexpr const char* kProgramIconName = "org.kalvoratrindle.KalvoraTrindle";

}  // namespace kt
