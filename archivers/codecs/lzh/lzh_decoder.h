// Decoding of one LZH member's data. The caller hands a source limited to
// the member's compressed bytes and the size the data must have; the
// decoder checks nothing beyond the stream itself (the caller compares the
// CRC with the header's).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "lzh_method.h"
#include "stream.h"

namespace kt::lzh {

struct DecodeResult {
    Status status = Status::Ok;
    uint16_t crc = 0;      // CRC-16 of the bytes written
    uint64_t written = 0;  // bytes handed to the sink
};

DecodeResult DecodeMember(const Method& method, Source& packed, Sink& out, uint64_t originalSize);

// A fresh source over the member's packed bytes, each call from the start.
using SourceOpener = std::function<std::unique_ptr<Source>()>;

// Decodes a member whose CRC-16 the header gives. -lh2- writers disagree on
// how the position tree counts before it first grows (LHA's decoders keep
// the first leaf at 1, jLHA counts it on); a first pass without output
// finds the rule that the CRC agrees with.
DecodeResult DecodeMember(const Method& method, const SourceOpener& open, Sink& out,
                          uint64_t originalSize, uint16_t crc);

// The -lh4- .. -lhx- stream format.
DecodeResult DecodeStatic(int dictBits, int np, int pbit, Source& packed, Sink& out,
                          uint64_t originalSize);
// -lh1-, -lh2-, -lh3-; lh2JlhaCount picks jLHA's counting rule for -lh2-.
DecodeResult DecodeEarly(MethodKind kind, Source& packed, Sink& out, uint64_t originalSize,
                         bool lh2JlhaCount = false);
// The LArc methods -lzs-, -lz5-.
DecodeResult DecodeLegacy(MethodKind kind, Source& packed, Sink& out, uint64_t originalSize);

}  // namespace kt::lzh
