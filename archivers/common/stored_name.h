// The first step of reading any member name from an archive. A C path ends
// at its first NUL, so a stored name holding one would be checked as one
// name and then opened as another ("..\0x" passes a ".." test and becomes
// ".."). Every reader cuts the raw bytes here, before decoding or checking.
// Header-only, so the codecs can use it without linking the libraries' common
// code.
#pragma once

#include <string_view>

namespace kt::arc {

// The bytes before the first NUL (all of them when there is none).
inline std::string_view CutAtNul(std::string_view stored) {
    return stored.substr(0, stored.find('\0'));
}

// The same for UTF-16LE text: cut at the first 0x0000 code unit; an odd
// trailing byte is dropped.
inline std::string_view CutAtNulUtf16le(std::string_view stored) {
    std::size_t i = 0;
    while (i + 1 < stored.size() && (stored[i] != '\0' || stored[i + 1] != '\0')) i += 2;
    return stored.substr(0, i);
}

}  // namespace kt::arc
