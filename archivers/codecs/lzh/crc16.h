// CRC-16/ARC (reflected polynomial 0xA001, initial 0, no final XOR): the
// checksum of LZH member data and of level-2/3 headers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kt::lzh {

uint16_t Crc16Update(uint16_t crc, const uint8_t* data, std::size_t size);

inline uint16_t Crc16(const void* data, std::size_t size) {
    return Crc16Update(0, static_cast<const uint8_t*>(data), size);
}

}  // namespace kt::lzh
