// One bzip2 block handed to libbz2 as a stream of its own: the block's bits
// moved to a byte boundary behind a stream header, then the end-of-stream
// magic and a stream CRC equal to the block's CRC. For the blocks our own
// decoder leaves to libbz2 (randomised ones).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kt::zip {

// Decodes the block between bits `from` and `to` of `data` (readable up to
// byte (to + 7) / 8 and one more) into out; false when libbz2 refuses it,
// its CRC fails, or it grows beyond `most` bytes.
bool DecodeBlockWithLibbz2(const uint8_t* data, uint64_t from, uint64_t to, int level, uint32_t crc,
                           size_t most, std::vector<uint8_t>& out);

}  // namespace kt::zip
