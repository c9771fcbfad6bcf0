#include "crc16.h"

#include <array>

namespace kt::lzh {
namespace {

// Eight tables for slicing-by-8: the byte loop is the speed limit of both
// compression and extraction of barely compressible data otherwise.
struct Tables {
    std::array<std::array<uint16_t, 256>, 8> t;
    constexpr Tables() : t() {
        for (unsigned i = 0; i < 256; ++i) {
            uint16_t c = static_cast<uint16_t>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : c >> 1;
            t[0][i] = c;
        }
        for (unsigned i = 0; i < 256; ++i) {
            for (int s = 1; s < 8; ++s) {
                uint16_t prev = t[s - 1][i];
                t[s][i] = static_cast<uint16_t>((prev >> 8) ^ t[0][prev & 0xFF]);
            }
        }
    }
};

constexpr Tables kTables;

}  // namespace

uint16_t Crc16Update(uint16_t crc, const uint8_t* p, std::size_t n) {
    const auto& t = kTables.t;
    while (n >= 8) {
        uint32_t lo = (uint32_t)p[0] | (uint32_t)p[1] << 8;
        lo ^= crc;
        crc = static_cast<uint16_t>(t[7][lo & 0xFF] ^ t[6][lo >> 8] ^ t[5][p[2]] ^ t[4][p[3]] ^
                                    t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
        p += 8;
        n -= 8;
    }
    while (n--) crc = static_cast<uint16_t>(t[0][(crc ^ *p++) & 0xFF] ^ (crc >> 8));
    return crc;
}

}  // namespace kt::lzh
