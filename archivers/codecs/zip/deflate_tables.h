// Fixed facts of the deflate format that every reader of its blocks needs.
#pragma once

#include <cstdint>
#include <cstring>

namespace kt::zip {

// The order in which a dynamic block lists its code-length code's lengths.
inline constexpr uint8_t kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                 11, 4,  12, 3, 13, 2, 14, 1, 15};

// Length symbols 257-285 and distance symbols 0-31: the value each starts
// at and the extra bits after it. Plain deflate has no distances 30 and 31;
// Deflate64 uses them and reads symbol 285 its own way.
inline constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                             15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                             67, 83, 99, 115, 131, 163, 195, 227, 258};
inline constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                             2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
inline constexpr uint32_t kDistBase[32] = {1,    2,    3,    4,     5,     7,     9,     13,
                                           17,   25,   33,   49,    65,    97,    129,   193,
                                           257,  385,  513,  769,   1025,  1537,  2049,  3073,
                                           4097, 6145, 8193, 12289, 16385, 24577, 32769, 49153};
inline constexpr uint8_t kDistExtra[32] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3, 4,
                                           4,  5,  5,  6,  6,  7,  7,  8,  8,  9, 9,
                                           10, 10, 11, 11, 12, 12, 13, 13, 14, 14};

// The code lengths of a fixed-code block: 288 literal/length codes, then 32
// distance codes.
inline void FixedCodeLengths(uint8_t (&lengths)[288 + 32]) {
    std::memset(lengths, 8, 144);
    std::memset(lengths + 144, 9, 112);
    std::memset(lengths + 256, 7, 24);
    std::memset(lengths + 280, 8, 8);
    std::memset(lengths + 288, 5, 32);
}

}  // namespace kt::zip
