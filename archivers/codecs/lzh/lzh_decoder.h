// Decoding of one LZH member's data. The caller hands a source limited to
// the member's compressed bytes and the size the data must have; the
// decoder checks nothing beyond the stream itself (the caller compares the
// CRC with the header's).
#pragma once

#include <cstdint>

#include "lzh_method.h"
#include "stream.h"

namespace kt::lzh {

struct DecodeResult {
    Status status = Status::kOk;
    uint16_t crc = 0;      // CRC-16 of the bytes written
    uint64_t written = 0;  // bytes handed to the sink
};

DecodeResult DecodeMember(const Method& method, Source& packed, Sink& out, uint64_t originalSize);

// The -lh4- .. -lhx- stream format.
DecodeResult DecodeStatic(int dictBits, int np, int pbit, Source& packed, Sink& out,
                          uint64_t originalSize);
// The older methods -lh1-, -lzs-, -lz5-.
DecodeResult DecodeLegacy(MethodKind kind, Source& packed, Sink& out, uint64_t originalSize);

}  // namespace kt::lzh
