#include "archivers/zip_container/zip_names.h"

#include "archivers/common/stored_name.h"
#include "platform/cp932.h"

namespace kt::zip {
namespace {

// CP437 code points for bytes 0x80-0xFF.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

std::string FromCp437(std::string_view raw) {
    std::string out;
    for (unsigned char c : raw) {
        if (c < 0x80)
            out.push_back(static_cast<char>(c));
        else
            AppendUtf8(out, kCp437High[c - 0x80]);
    }
    return out;
}

std::string DosSeparators(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

}  // namespace

bool IsAscii(std::string_view s) {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = c < 0x80                   ? 1
                   : (c >= 0xC2 && c <= 0xDF) ? 2
                   : (c >= 0xE0 && c <= 0xEF) ? 3
                   : (c >= 0xF0 && c <= 0xF4) ? 4
                                              : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        if (n == 3 && c == 0xE0 && static_cast<unsigned char>(s[i + 1]) < 0xA0) return false;
        if (n == 4 && c == 0xF0 && static_cast<unsigned char>(s[i + 1]) < 0x90) return false;
        if (n == 4 && c == 0xF4 && static_cast<unsigned char>(s[i + 1]) > 0x8F) return false;
        i += n;
    }
    return true;
}

bool IsDosHost(uint16_t versionMadeBy) {
    switch (versionMadeBy >> 8) {
        case 0:   // MS-DOS and OS/2 FAT
        case 6:   // OS/2 HPFS
        case 11:  // NTFS
        case 14:  // VFAT
            return true;
        default:
            return false;
    }
}

std::string DecodeEntryName(std::string_view raw, bool utf8Flag, bool dosHost,
                            std::string_view unicodePath) {
    raw = kt::arc::CutAtNul(raw);
    unicodePath = kt::arc::CutAtNul(unicodePath);
    if (!unicodePath.empty() && IsValidUtf8(unicodePath))
        return dosHost ? DosSeparators(std::string(unicodePath)) : std::string(unicodePath);
    if (!dosHost) return std::string(raw);
    if (utf8Flag || IsAscii(raw) || IsValidUtf8(raw)) return DosSeparators(std::string(raw));
    std::string fromCp932 = Cp932ToUtf8(raw);
    if (fromCp932.find("\xEF\xBF\xBD") == std::string::npos) return DosSeparators(fromCp932);
    return DosSeparators(FromCp437(raw));
}

}  // namespace kt::zip
