#include "platform/ascii_case.h"

#include <cstdint>
#include <cstring>

namespace kt {

std::string LowerAscii(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = LowerAscii(c);
    return lower;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

int CompareKeys(std::string_view a, std::string_view b) {
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    // Keys of one list share long folder prefixes (whole folders, for rows
    // of one folder sorted by it): skip equal bytes eight at a time, then
    // fold from the first word that differs.
    std::size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) break;
    }
    for (; i < n; ++i) {
        if (a[i] == b[i]) continue;
        const auto ua = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto ub = static_cast<unsigned char>(UpperAscii(b[i]));
        if (ua != ub) return ua < ub ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() > b.size() ? 1 : -1;
}

}  // namespace kt
