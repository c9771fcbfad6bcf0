// Where the blocks of a raw deflate stream begin and end, found by reading
// its Huffman codes without producing any output: no window, no copies, and
// a length's extra bits are skipped in the same step as its code. A piece
// of a split entry needs only the bit position of its last block, so this
// walk stands in for a full inflate (several times its cost) there.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kt::zip {

// Bit offsets of the last block's header and of the end of the stream in a
// complete raw deflate stream; false when the stream does not decode (the
// code tables are checked as strictly as an inflater does, distances are not
// checked against the data before them).
bool FindLastBlock(const uint8_t* data, size_t n, uint64_t& lastBlockBit, uint64_t& endBit);

}  // namespace kt::zip
