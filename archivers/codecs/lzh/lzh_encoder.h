// The -lh5- / -lh6- / -lh7- encoder: LZ77 over a sliding window with hash
// chains, then static Huffman blocks. Three efforts: fast (greedy), normal
// (lazy matching) and best (price-driven optimal parse). Memory is bounded
// (a few MB whatever the input size) and the input is read as a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "stream.h"

namespace kt::lzh {

enum class Effort { Fast, Normal, Best };

struct EncodeOptions {
    int dictBits = 16;  // 13 -lh5-, 15 -lh6-, 16 -lh7-
    int np = 17;
    int pbit = 5;
    Effort effort = Effort::Normal;
    // Give up with NotSmaller once the output reaches this many bytes
    // (the caller then stores the data instead).
    uint64_t giveUpAfter = UINT64_MAX;
    // The input's size when known (0 = unknown): small inputs then get
    // small tables, which is most of the cost of packing a small file. An
    // input longer than its hint ends the encoding with kReadError.
    uint64_t sizeHint = 0;
    // Threads that may share one input of several segments (1 = this
    // thread only). With more, a long input is encoded in segments, each
    // primed with the window before it (the output differs slightly from
    // one thread's); every helper beyond this thread must first be granted
    // by addThread (asked again whenever segments wait, so a core freed
    // later joins in); without addThread all are used.
    int threads = 1;
    std::function<bool()> addThread;
};

struct EncodeResult {
    Status status = Status::Ok;
    uint64_t inSize = 0;
    uint64_t outSize = 0;
    uint16_t crc = 0;  // CRC-16 of the input
};

// Options for a method id ("-lh5-", "-lh6-", "-lh7-"); false for others.
bool OptionsForMethod(const char* id, EncodeOptions* options);

EncodeResult Encode(const EncodeOptions& options, Source& in, Sink& out);

// One segment of a longer input: `history` is what precedes it (up to the
// window), so matches may reach back across the border. The bit stream is
// complete blocks, not padded: *bitCount of the bits in *out are the
// segment's (the rest of the last byte is zero).
Status EncodeSegment(const EncodeOptions& options, const uint8_t* history, std::size_t historySize,
                     const uint8_t* data, std::size_t size, std::vector<uint8_t>* out,
                     uint64_t* bitCount);

}  // namespace kt::lzh
