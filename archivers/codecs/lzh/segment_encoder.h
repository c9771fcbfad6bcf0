// One long input on several threads: the input is cut into segments that
// are encoded side by side, each primed with the window that precedes it,
// and their bit streams are joined into the one stream of the member.
// Blocks carry their own tables and token count, so a stream may change
// blocks anywhere, and the joined stream reads as if one encoder wrote it.
// Reading, the CRC and writing stay on the calling thread, in order
// (platform/ordered_pool.h); one segment more than threads is held at a time.
#pragma once

#include <cstdint>

#include "lzh_encoder.h"

namespace kt::lzh {

// Inputs of at least two segments are worth splitting.
constexpr uint64_t kSegmentBytes = 2u << 20;

EncodeResult EncodeInSegments(const EncodeOptions& options, Source& in, Sink& out);

}  // namespace kt::lzh
