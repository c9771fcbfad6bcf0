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
constexpr std::size_t kMaxBlockTokens = 65535;  // a block's count is 16 bits

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

// The bit length of d, without a branch on d == 0: literals (distance 0)
// and matches follow each other in no pattern a processor could learn.
inline int PositionSlot(uint32_t d) { return 32 - __builtin_clz(d | 1) - (d == 0); }

class BlockWriter {
public:
    BlockWriter(int np, int pbit) : np_(np), pbit_(pbit) {}
    // Writes tokens [0, n) as one or more blocks; each block holds at most
    // 65535 tokens. splitDepth bounds the halving used to find blocks, and
    // no range shorter than 2 * minSplit tokens is halved. With `refine`
    // the blocks found by halving are then reshaped (see Refine).
    void Write(const Tokens& t, BitWriter& out, int splitDepth, std::size_t minSplit = 2048,
               bool refine = false);

    // Bit lengths of the codes of the last block written (0 = unused), for
    // pricing the next tokens.
    const uint8_t* CLengths() const { return clen_; }
    const uint8_t* PLengths() const { return plen_; }

private:
    struct Freqs {
        uint32_t c[kNC] = {};
        uint32_t p[kMaxNP] = {};
        void Add(const Freqs& f, int np);
        void Subtract(const Freqs& f, int np);
    };
    // A range of tokens halved up to splitDepth times: its statistics are
    // the sum of its halves', so the tokens are counted once.
    struct Node {
        std::size_t a, b;
        Freqs freqs;
        int left = -1, right = -1;  // halves, -1 for none
    };
    void Count(const Tokens& t, std::size_t a, std::size_t b, Freqs* f) const;
    uint64_t Cost(const Freqs& f);
    // Adds the range [a, b) and its halves to nodes_; returns its index.
    int Build(const Tokens& t, std::size_t a, std::size_t b, int depth, std::size_t minSplit);
    // Appends to cuts_ the blocks that node is best written as; `cost` is
    // its price as one block (0 when not yet priced).
    void Split(int node, uint64_t cost);
    template <class Out>
    void WriteTrees(const Freqs& f, Out& out);
    void WriteBlock(const Tokens& t, std::size_t a, std::size_t b, const Freqs& f, BitWriter& out);

    // A block being reshaped: tokens [a, b), their counts and its price.
    struct Block {
        std::size_t a, b;
        Freqs freqs;
        uint64_t cost;
    };
    // Halving cuts only at the middle of a range and merges only its two
    // halves: a change of the data elsewhere gets a border up to half a
    // range away, and two neighbours of different ranges stay apart. Each
    // round reshapes blocks_ while the output gets smaller.
    void Refine(const Tokens& t);
    void CutInTwo(const Tokens& t);
    void MergeNeighbours();
    void MoveBorders(const Tokens& t);

    int np_, pbit_;
    uint8_t clen_[kNC] = {};
    uint8_t plen_[kMaxNP] = {};
    uint8_t tlen_[kNT] = {};
    std::vector<Node> nodes_;
    std::vector<int> cuts_;  // nodes written as blocks, in order
    std::vector<Block> blocks_;
};

}  // namespace kt::lzh
