#include "archivers/codecs/zip/zip_chunked_deflate.h"

#include <libdeflate.h>

#include "archivers/codecs/zip/deflate_block_walk.h"

namespace kt::zip {

ChunkedDeflater::ChunkedDeflater(int level) : compressor_(libdeflate_alloc_compressor(level)) {}

ChunkedDeflater::~ChunkedDeflater() { libdeflate_free_compressor(compressor_); }

bool ChunkedDeflater::Compress(const uint8_t* in, size_t n, bool last, std::vector<uint8_t>& out) {
    if (!compressor_) return false;
    out.resize(libdeflate_deflate_compress_bound(compressor_, n) + 5);
    size_t got = libdeflate_deflate_compress(compressor_, in, n, out.data(), out.size());
    if (got == 0) return false;
    out.resize(got);
    if (last) return true;
    uint64_t lastBlock = 0, end = 0;
    if (!FindLastBlock(out.data(), out.size(), lastBlock, end)) return false;
    // Clear the final-block bit, then an empty stored block: three zero
    // header bits, zero padding to the byte, LEN 0 and NLEN 0xFFFF.
    out[lastBlock / 8] &= static_cast<uint8_t>(~(1u << (lastBlock % 8)));
    size_t used = static_cast<size_t>((end + 3 + 7) / 8);
    out.resize(used, 0);  // bits past the stream's end are zero already
    if (end % 8) out[end / 8] &= static_cast<uint8_t>((1u << (end % 8)) - 1);
    out.insert(out.end(), {0x00, 0x00, 0xFF, 0xFF});
    return true;
}

}  // namespace kt::zip
