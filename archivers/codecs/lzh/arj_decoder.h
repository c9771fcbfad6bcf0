// The data of ARJ members. Methods 1 to 3 are the -lh7- block format (the
// same Huffman tables and window, positions of up to 17 bits) with a window
// of 26 624 bytes; method 4 codes lengths and positions with fixed
// unary-prefixed numbers instead of Huffman codes. ARJ checks data with
// CRC-32, which is the caller's: the result's crc field is not used.
#pragma once

#include "lzh_decoder.h"

namespace kt::lzh {

// Method 0 (stored) to 4; kUnsupported for any other.
DecodeResult DecodeArj(int method, Source& packed, Sink& out, uint64_t originalSize);

}  // namespace kt::lzh
