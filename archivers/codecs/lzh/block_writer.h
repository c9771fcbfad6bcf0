// Writes LZ tokens as -lh5-/-lh6-/-lh7- blocks: per block the three code
// trees and the codes. A run of tokens is split into several blocks where
// that makes the output smaller (the statistics changed).
#pragma once

#include <cstdint>
#include <vector>

#include "bit_writer.h"

namespace kt::lzh {

constexpr int kNC = 510;
constexpr int kNT = 19;
constexpr int kMaxNP = 20;

// A token: sym < 256 is a literal; sym >= 256 a match of length sym - 253
// whose distance value (distance - 1) is dist.
struct Tokens {
    std::vector<uint16_t> sym;
    std::vector<uint32_t> dist;
    void Clear() {
        sym.clear();
        dist.clear();
    }
    std::size_t Size() const { return sym.size(); }
};

inline int PositionSlot(uint32_t d) { return d == 0 ? 0 : 32 - __builtin_clz(d); }

class BlockWriter {
public:
    BlockWriter(int np, int pbit) : np_(np), pbit_(pbit) {}
    // Writes tokens [0, n) as one or more blocks; each block holds at most
    // 65535 tokens. splitDepth bounds the halving used to find blocks.
    void Write(const Tokens& t, BitWriter& out, int splitDepth);

    // Bit lengths of the codes of the last block written (0 = unused), for
    // pricing the next tokens.
    const uint8_t* CLengths() const { return clen_; }
    const uint8_t* PLengths() const { return plen_; }

private:
    struct Freqs {
        uint32_t c[kNC] = {};
        uint32_t p[kMaxNP] = {};
    };
    void Count(const Tokens& t, std::size_t a, std::size_t b, Freqs* f) const;
    uint64_t Cost(const Freqs& f);
    void Split(const Tokens& t, std::size_t a, std::size_t b, int depth, std::vector<std::size_t>* cuts);
    template <class Out>
    void WriteTrees(const Freqs& f, Out& out);
    void WriteBlock(const Tokens& t, std::size_t a, std::size_t b, BitWriter& out);

    int np_, pbit_;
    uint8_t clen_[kNC] = {};
    uint8_t plen_[kMaxNP] = {};
    uint8_t tlen_[kNT] = {};
};

}  // namespace kt::lzh
