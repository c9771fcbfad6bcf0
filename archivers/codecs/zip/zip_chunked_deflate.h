// Deflate for inputs too large to hold, at libdeflate's speed: the input is
// compressed in independent pieces, and the pieces are joined into one valid
// deflate stream. Each piece but the last has the "final block" bit of its
// last block cleared and is padded to a byte boundary with an empty stored
// block (what a zlib sync flush emits), so the next piece can follow at a
// byte boundary. Finding the last block of a piece takes a walk over its
// blocks (deflate_block_walk.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct libdeflate_compressor;

namespace kt::zip {

class ChunkedDeflater {
public:
    explicit ChunkedDeflater(int level);
    ~ChunkedDeflater();
    ChunkedDeflater(const ChunkedDeflater&) = delete;
    ChunkedDeflater& operator=(const ChunkedDeflater&) = delete;

    // Compresses one piece into `out` (replacing its contents). `last` marks
    // the piece that ends the stream. False on an internal failure.
    bool Compress(const uint8_t* in, size_t n, bool last, std::vector<uint8_t>& out);

private:
    libdeflate_compressor* compressor_;
};

}  // namespace kt::zip
