// Conversion between the program's UTF-8 texts and code page 932 bytes,
// where a length or a value must be counted or carried in CP932 (password
// length, ZIP encryption keys, names stored in LZH headers).
#pragma once

#include <string>
#include <string_view>

namespace kt {

// UTF-8 to CP932. A character CP932 cannot hold is kept as its UTF-8 bytes
// (so it still counts and travels); `lossless`, when given, is set to false
// when that happened. Invalid UTF-8 bytes are copied through unchanged.
std::string Utf8ToCp932(std::string_view utf8, bool* lossless = nullptr);

// UTF-8 to CP932 with `replacement` for each character CP932 cannot hold.
std::string Utf8ToCp932Replacing(std::string_view utf8, char replacement);

// CP932 to UTF-8. An undecodable byte becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// Number of bytes the text takes in CP932.
std::size_t Cp932Length(std::string_view utf8);

// True when the byte starts a double-byte CP932 character.
inline bool IsCp932LeadByte(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

}  // namespace kt
