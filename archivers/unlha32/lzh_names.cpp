#include "lzh_names.h"

#include "platform/cp932.h"

namespace kt::unlha {
namespace {

void AppendUtf8(std::string* out, uint32_t cp) {
    if (cp < 0x80) {
        *out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out += static_cast<char>(0xC0 | (cp >> 6));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += static_cast<char>(0xE0 | (cp >> 12));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out += static_cast<char>(0xF0 | (cp >> 18));
        *out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace

bool IsValidUtf8Name(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80         ? 1
                        : (c >> 5) == 6  ? 2
                        : (c >> 4) == 14 ? 3
                        : (c >> 3) == 30 ? 4
                                         : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        }
        i += n;
    }
    return true;
}

std::string StoredToUtf8(std::string_view bytes, uint32_t codePage, char osId) {
    bool ascii = true;
    for (char c : bytes) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii || codePage == 65001) return std::string(bytes);
    if (codePage == 0 && osId == 'U' && IsValidUtf8Name(bytes)) return std::string(bytes);
    if (codePage == 1252 || codePage == 28591) {
        std::string out;
        for (char c : bytes) AppendUtf8(&out, static_cast<unsigned char>(c));
        return out;
    }
    return Cp932ToUtf8(bytes);
}

std::string Utf16leToUtf8(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i + 1 < s.size(); i += 2) {
        uint32_t u = static_cast<unsigned char>(s[i]) | static_cast<unsigned char>(s[i + 1]) << 8;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < s.size()) {
            uint32_t lo =
                static_cast<unsigned char>(s[i + 2]) | static_cast<unsigned char>(s[i + 3]) << 8;
            if (lo >= 0xDC00 && lo < 0xE000) {
                u = 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00);
                i += 2;
            }
        }
        if (u >= 0xD800 && u < 0xE000) u = 0xFFFD;
        AppendUtf8(&out, u);
    }
    return out;
}

std::string Utf8ToUtf16le(std::string_view s) {
    std::string out;
    auto put = [&](uint32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        std::size_t n;
        if (c < 0x80) {
            cp = c, n = 1;
        } else if ((c >> 5) == 6) {
            cp = c & 0x1F, n = 2;
        } else if ((c >> 4) == 14) {
            cp = c & 0x0F, n = 3;
        } else if ((c >> 3) == 30) {
            cp = c & 0x07, n = 4;
        } else {
            cp = 0xFFFD, n = 1;
        }
        if (n > 1) {
            if (i + n > s.size()) {
                cp = 0xFFFD, n = 1;
            } else {
                for (std::size_t k = 1; k < n; ++k)
                    cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            }
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 + (cp >> 10));
            put(0xDC00 + (cp & 0x3FF));
        } else {
            put(cp);
        }
        i += n;
    }
    return out;
}

std::string NameToCp932(std::string_view utf8, bool* lossy) {
    bool lossless = true;
    std::string out = Utf8ToCp932(utf8, &lossless);
    if (!lossless) out = Utf8ToCp932Replacing(utf8, '_');
    *lossy = !lossless;
    return out;
}

}  // namespace kt::unlha
