// The one case rule for names compared without regard to case (INI
// sections and keys, registry values, colour names, extensions, wildcards,
// sort keys): only the ASCII letters A-Z and a-z fold; every other byte,
// those of UTF-8 and CP932 characters included, compares as it is.
#pragma once

#include <string>
#include <string_view>

namespace kt {

constexpr char UpperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

constexpr char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string s) {
    for (char& c : s) c = LowerAscii(c);
    return s;
}

inline bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

}  // namespace kt
