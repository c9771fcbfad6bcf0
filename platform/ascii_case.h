// Case rules for the names the design compares without regard to case (INI
// sections and keys, registry keys, colour names, wildcards, sort keys):
// only the ASCII letters fold. Bytes of UTF-8 characters are never ASCII
// letters, so a name in any other script compares byte for byte, and no
// locale can change the result.
#pragma once

#include <string>
#include <string_view>

namespace kt {

constexpr char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string LowerAscii(std::string_view text);

// Equal but for the case of ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);

// The sort key order of names and folders: byte-wise unsigned with "a" to
// "z" taken as "A" to "Z": -1, 0 or +1; a prefix is smaller.
int CompareKeys(std::string_view a, std::string_view b);

}  // namespace kt
