// bzip2's CRC-32: polynomial 0x04C11DB7 taken most significant bit first
// (the opposite bit order of ZIP's own CRC), initial value and final
// inversion all ones. A block's CRC covers its output bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kt::zip {

// Continues `crc` (start with kBzip2CrcStart) over n bytes; the value a
// stream stores is ~crc.
inline constexpr uint32_t kBzip2CrcStart = 0xFFFFFFFFu;
uint32_t Bzip2CrcUpdate(uint32_t crc, const uint8_t* data, size_t n);

// A stream's CRC folds in every block's CRC in order.
inline uint32_t Bzip2CombineCrc(uint32_t combined, uint32_t blockCrc) {
    return (combined << 1 | combined >> 31) ^ blockCrc;
}

}  // namespace kt::zip
