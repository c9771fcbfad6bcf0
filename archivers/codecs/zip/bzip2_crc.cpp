#include "archivers/codecs/zip/bzip2_crc.h"

#include <array>

namespace kt::zip {
namespace {

// tables[k][b]: the CRC contribution of byte b followed by k zero bytes, so
// that eight bytes cost eight independent look-ups instead of a chain of
// eight dependent ones.
using Tables = std::array<std::array<uint32_t, 256>, 8>;

Tables MakeTables() {
    Tables t{};
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t c = b << 24;
        for (int i = 0; i < 8; ++i) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
        t[0][b] = c;
    }
    for (size_t k = 1; k < 8; ++k)
        for (uint32_t b = 0; b < 256; ++b) t[k][b] = t[k - 1][b] << 8 ^ t[0][t[k - 1][b] >> 24];
    return t;
}

uint32_t Be32(const uint8_t* p) {
    return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
}

}  // namespace

uint32_t Bzip2CrcUpdate(uint32_t crc, const uint8_t* data, size_t n) {
    static const Tables t = MakeTables();
    for (; n >= 8; n -= 8, data += 8) {
        const uint32_t a = crc ^ Be32(data), b = Be32(data + 4);
        crc = t[7][a >> 24] ^ t[6][a >> 16 & 0xFF] ^ t[5][a >> 8 & 0xFF] ^ t[4][a & 0xFF] ^
              t[3][b >> 24] ^ t[2][b >> 16 & 0xFF] ^ t[1][b >> 8 & 0xFF] ^ t[0][b & 0xFF];
    }
    for (; n; --n) crc = crc << 8 ^ t[0][(crc >> 24) ^ *data++];
    return crc;
}

}  // namespace kt::zip
