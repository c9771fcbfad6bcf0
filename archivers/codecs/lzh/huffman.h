// Canonical Huffman codes as the LZH block format uses them: codes assigned
// by increasing length, and by increasing symbol within a length; lengths
// limited to 16 bits.
#pragma once

#include <cstdint>
#include <vector>

#include "bit_reader.h"

namespace kt::lzh {

constexpr int kMaxCodeLength = 16;

// Code lengths for the frequencies of n symbols (n at most 1024): 0 for
// unused symbols, at most limit bits, forming a complete code when two or
// more symbols are used. A lone used symbol gets length 1 (the caller sends
// it as the single-symbol form).
void BuildLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths);

// Canonical codes for the lengths (right-aligned in the low bits).
void MakeCodes(const uint8_t* lengths, int n, uint16_t* codes);

// Decodes symbols from the next 16 bits of a stream (MSB first).
class DecodeTable {
public:
    // Builds from lengths; false when the lengths oversubscribe the code
    // space. An incomplete code is accepted; its unused codes decode as -1.
    bool Build(const uint8_t* lengths, int n, int fastBits);
    // A code of one symbol that takes no bits.
    void SetSingle(int symbol);
    // The symbol whose code starts the 16 bits of peek, -1 for none; *bits is
    // set to its length.
    int Decode(uint32_t peek16, int* bits) const {
        if (single_ >= 0) {
            *bits = 0;
            return single_;
        }
        const Entry e = fast_[peek16 >> (16 - fastBits_)];
        if (e.len != 0) {
            *bits = e.len;
            return e.sym;
        }
        return DecodeSlow(peek16, bits);
    }

private:
    struct Entry {
        uint16_t sym;
        uint8_t len;
    };
    int DecodeSlow(uint32_t peek16, int* bits) const;

    int fastBits_ = 0;
    int single_ = -1;
    std::vector<Entry> fast_;
    uint32_t firstCode_[kMaxCodeLength + 2] = {};
    uint32_t count_[kMaxCodeLength + 2] = {};
    uint32_t offset_[kMaxCodeLength + 2] = {};
    std::vector<uint16_t> sorted_;
};

// The next symbol of the stream in, -1 for a code the table leaves unused.
inline int DecodeSymbol(const DecodeTable& table, BitReader& in) {
    in.Refill();
    int bits;
    int sym = table.Decode(in.Peek(16), &bits);
    in.Skip(bits);
    return sym;
}

}  // namespace kt::lzh
