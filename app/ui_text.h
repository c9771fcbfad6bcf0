// The window's captions and messages are written in the sources as UTF-8.
#pragma once

#include <QString>

namespace kt {

inline QString U(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace kt
