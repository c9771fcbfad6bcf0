#include "printable_text.h"

namespace kt {
namespace {

// Length of the valid UTF-8 sequence at s[i], 0 when none starts there.
std::size_t Utf8Length(std::string_view s, std::size_t i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80                   ? 1
                    : (c >= 0xC2 && c <= 0xDF) ? 2
                    : (c >= 0xE0 && c <= 0xEF) ? 3
                    : (c >= 0xF0 && c <= 0xF4) ? 4
                                               : 0;
    if (n == 0 || i + n > s.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
    }
    unsigned char d = static_cast<unsigned char>(s[i + 1 < s.size() ? i + 1 : i]);
    if (n == 3 && ((c == 0xE0 && d < 0xA0) || (c == 0xED && d > 0x9F)))
        return 0;  // overlong, surrogate
    if (n == 4 && ((c == 0xF0 && d < 0x90) || (c == 0xF4 && d > 0x8F))) return 0;
    return n;
}

void Hex(std::string& out, unsigned char c) {
    static const char kDigits[] = "0123456789ABCDEF";
    out += "\\x";
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
}

}  // namespace

std::string PrintableText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        std::size_t n = Utf8Length(text, i);
        bool c1 = n == 2 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (n == 0 || c < 0x20 || c == 0x7F || c1) {
            Hex(out, c);
            if (c1) Hex(out, static_cast<unsigned char>(text[i + 1]));
            i += c1 ? 2 : 1;
            continue;
        }
        out.append(text, i, n);
        i += n;
    }
    return out;
}

}  // namespace kt
