// One large bzip2 stream decoded on every core the core budget can spare.
//
// bzip2 blocks are independent: each starts with a 48-bit magic at any bit
// offset and carries its own CRC. The calling thread finds the block starts
// and copies out each block's bytes, which our block decoder reads from the
// magic's bit offset on (bzip2_block_decoder.h); it decodes some blocks
// itself and emits the results strictly in order (platform/ordered_pool.h); helper
// threads join only on cores nobody else holds (platform/core_budget.h), also
// in the middle of a stream. Memory is bounded by the thread count, not by the
// stream's size.
//
// Whatever does not fit this picture (a block magic that is really data, a
// second stream behind the first, a block that does not decode, a block that
// expands beyond the bound) ends the split decoding: the stream is then
// decoded again from its start by the plain sequential decoder, whose output
// is passed on from the first byte not yet emitted. So damage is reported
// as the sequential decoder reports it, and good data is never emitted twice
// or out of order.
#pragma once

#include <cstdint>
#include <functional>

#include "archivers/codecs/zip/zip_inflate.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

// Reads exactly n bytes of the packed stream at offset; false on failure.
using ReadAtFn = std::function<bool(uint64_t offset, uint8_t* buf, size_t n)>;

// Streams shorter than this hold too few blocks to share out.
inline constexpr uint64_t kBzip2SplitMin = 1u << 20;

// How a stream was decoded.
struct Bzip2SplitReport {
    uint64_t blocks = 0;    // blocks decoded one by one before the end or a fallback
    size_t threads = 1;     // threads that decoded them, the caller's included
    bool fellBack = false;  // the sequential decoder had to take over
};

// Decodes the bzip2 stream of `size` packed bytes.
ZipStatus DecodeBzip2Blocks(const ReadAtFn& read, uint64_t size, const EmitFn& emit,
                            Bzip2SplitReport* report = nullptr);

}  // namespace kt::zip
