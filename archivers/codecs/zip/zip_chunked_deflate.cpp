#include "zip_chunked_deflate.h"

#include <libdeflate.h>
#include <zlib.h>

namespace kt::zip {

ChunkedDeflater::ChunkedDeflater(int level)
    : compressor_(libdeflate_alloc_compressor(level)), scratch_(256 << 10) {}

ChunkedDeflater::~ChunkedDeflater() { libdeflate_free_compressor(compressor_); }

bool FindLastBlock(const uint8_t* data, size_t n, uint64_t& lastBlockBit, uint64_t& endBit,
                   std::vector<uint8_t>& scratch) {
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(n);
    lastBlockBit = 0;
    bool ok = false;
    for (;;) {
        z.next_out = scratch.data();
        z.avail_out = static_cast<uInt>(scratch.size());
        int r = inflate(&z, Z_BLOCK);
        // Block-stepping stops right after each end-of-block code (flag 128),
        // with the unused bits of the last byte in the low bits; flag 64 says
        // the block just ended was the last one. At Z_STREAM_END the bit
        // count is gone, so the end is taken from that stop.
        if (z.data_type & 128) {
            uint64_t bit = static_cast<uint64_t>(z.total_in) * 8 - (z.data_type & 7);
            if (z.data_type & 64) {
                endBit = bit;
                ok = true;
            } else {
                lastBlockBit = bit;
            }
        }
        if (r == Z_STREAM_END) break;
        if (r != Z_OK && r != Z_BUF_ERROR) {
            ok = false;
            break;
        }
        if (r == Z_BUF_ERROR && z.avail_in == 0) break;
    }
    inflateEnd(&z);
    return ok;
}

bool ChunkedDeflater::Compress(const uint8_t* in, size_t n, bool last, std::vector<uint8_t>& out) {
    if (!compressor_) return false;
    out.resize(libdeflate_deflate_compress_bound(compressor_, n) + 5);
    size_t got = libdeflate_deflate_compress(compressor_, in, n, out.data(), out.size());
    if (got == 0) return false;
    out.resize(got);
    if (last) return true;
    uint64_t lastBlock = 0, end = 0;
    if (!FindLastBlock(out.data(), out.size(), lastBlock, end, scratch_)) return false;
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
