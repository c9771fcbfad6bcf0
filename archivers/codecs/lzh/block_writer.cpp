#include "block_writer.h"

#include <cstring>

#include "huffman.h"

namespace kt::lzh {
namespace {

constexpr int kTBit = 5;
constexpr int kCBit = 9;

int UsedSymbols(const uint32_t* f, int n, int* last) {
    // Without branches (see BuildLengths).
    int used = 0, at = *last;
    for (int i = 0; i < n; ++i) {
        used += f[i] != 0;
        at = f[i] ? i : at;
    }
    *last = at;
    return used;
}

// Writes a T or P length table; `special` is the index after which the
// count of following zero lengths (0..3) is sent (3 for the T table).
template <class Out>
void WritePtLengths(const uint8_t* len, int n, int nbit, int special, Out& out) {
    while (n > 0 && len[n - 1] == 0) --n;
    out.Put(static_cast<uint32_t>(n), nbit);
    int i = 0;
    while (i < n) {
        int k = len[i++];
        if (k <= 6) {
            out.Put(static_cast<uint32_t>(k), 3);
        } else {
            // k - 3 bits: k - 4 ones then a zero.
            out.Put((1u << (k - 3)) - 2, k - 3);
        }
        if (i == special) {
            while (i < 6 && len[i] == 0) ++i;
            out.Put(static_cast<uint32_t>(i - 3), 2);
        }
    }
}

// Walks the run-length form of the C lengths, calling emit(tsym, extraBits,
// extraValue) for each T symbol.
template <class F>
void ForEachCLengthCode(const uint8_t* clen, F&& emit) {
    int n = kNC;
    while (n > 0 && clen[n - 1] == 0) --n;
    int i = 0;
    while (i < n) {
        int k = clen[i++];
        if (k == 0) {
            int count = 1;
            while (i < n && clen[i] == 0) {
                ++i;
                ++count;
            }
            if (count <= 2) {
                for (int j = 0; j < count; ++j) emit(0, 0, 0);
            } else if (count <= 18) {
                emit(1, 4, count - 3);
            } else if (count == 19) {
                emit(0, 0, 0);
                emit(1, 4, 15);
            } else {
                emit(2, kCBit, count - 20);
            }
        } else {
            emit(k + 2, 0, 0);
        }
    }
}

int CLengthCount(const uint8_t* clen) {
    int n = kNC;
    while (n > 0 && clen[n - 1] == 0) --n;
    return n;
}

}  // namespace

void BlockWriter::Count(const Tokens& t, std::size_t a, std::size_t b, Freqs* f) const {
    // Without a branch on the kind of token, which follows no pattern the
    // processor could learn: a literal's distance is 0, so it adds 0 to
    // slot 0.
    for (std::size_t i = a; i < b; ++i) {
        uint16_t s = t.sym[i];
        ++f->c[s];
        f->p[PositionSlot(t.dist[i])] += s >= 256;
    }
}

template <class Out>
void BlockWriter::WriteTrees(const Freqs& f, Out& out) {
    int lastC = 0, lastP = 0;
    int usedC = UsedSymbols(f.c, kNC, &lastC);
    int usedP = UsedSymbols(f.p, np_, &lastP);
    BuildLengths(f.c, kNC, kMaxCodeLength, clen_);
    if (usedC >= 2) {
        uint32_t tf[kNT] = {};
        ForEachCLengthCode(clen_, [&](int s, int, int) { ++tf[s]; });
        int lastT = 0;
        int usedT = UsedSymbols(tf, kNT, &lastT);
        BuildLengths(tf, kNT, kMaxCodeLength, tlen_);
        if (usedT >= 2) {
            WritePtLengths(tlen_, kNT, kTBit, 3, out);
        } else {
            out.Put(0, kTBit);
            out.Put(static_cast<uint32_t>(lastT), kTBit);
            tlen_[lastT] = 0;
        }
        uint16_t tcode[kNT];
        MakeCodes(tlen_, kNT, tcode);
        out.Put(static_cast<uint32_t>(CLengthCount(clen_)), kCBit);
        ForEachCLengthCode(clen_, [&](int s, int eb, int ev) {
            out.Put(tcode[s], tlen_[s]);
            out.Put(static_cast<uint32_t>(ev), eb);
        });
    } else {
        out.Put(0, kTBit);
        out.Put(0, kTBit);
        out.Put(0, kCBit);
        out.Put(static_cast<uint32_t>(lastC), kCBit);
        std::memset(clen_, 0, sizeof clen_);
    }
    BuildLengths(f.p, np_, kMaxCodeLength, plen_);
    if (usedP >= 2) {
        WritePtLengths(plen_, np_, pbit_, -1, out);
    } else {
        out.Put(0, pbit_);
        out.Put(static_cast<uint32_t>(usedP ? lastP : 0), pbit_);
        std::memset(plen_, 0, sizeof plen_);
    }
}

uint64_t BlockWriter::Cost(const Freqs& f) {
    BitCounter bc;
    bc.Put(0, 16);
    WriteTrees(f, bc);
    uint64_t bits = bc.Bits();
    for (int i = 0; i < kNC; ++i) bits += static_cast<uint64_t>(f.c[i]) * clen_[i];
    for (int i = 0; i < np_; ++i) {
        bits += static_cast<uint64_t>(f.p[i]) * (plen_[i] + (i > 1 ? i - 1 : 0));
    }
    return bits;
}

int BlockWriter::Build(const Tokens& t, std::size_t a, std::size_t b, int depth,
                       std::size_t minSplit) {
    const int index = static_cast<int>(nodes_.size());
    nodes_.push_back(Node{a, b, {}, -1, -1});
    std::size_t n = b - a;
    bool mustSplit = n > kMaxBlockTokens;
    if (!mustSplit && (depth <= 0 || n < 2 * minSplit)) {
        Count(t, a, b, &nodes_[index].freqs);
        return index;
    }
    std::size_t mid = a + n / 2;
    int left = Build(t, a, mid, depth - 1, minSplit);
    int right = Build(t, mid, b, depth - 1, minSplit);
    Node& node = nodes_[index];
    node.left = left;
    node.right = right;
    const Freqs& l = nodes_[left].freqs;
    const Freqs& r = nodes_[right].freqs;
    for (int i = 0; i < kNC; ++i) node.freqs.c[i] = l.c[i] + r.c[i];
    for (int i = 0; i < np_; ++i) node.freqs.p[i] = l.p[i] + r.p[i];
    return index;
}

void BlockWriter::Split(int index, uint64_t cost) {
    const Node& node = nodes_[index];
    if (node.left < 0) {
        cuts_.push_back(index);
        return;
    }
    uint64_t leftCost = 0, rightCost = 0;
    if (node.b - node.a <= kMaxBlockTokens) {
        if (cost == 0) cost = Cost(node.freqs);
        leftCost = Cost(nodes_[node.left].freqs);
        rightCost = Cost(nodes_[node.right].freqs);
        if (leftCost + rightCost >= cost) {
            cuts_.push_back(index);
            return;
        }
    }
    Split(node.left, leftCost);
    Split(node.right, rightCost);
}

void BlockWriter::WriteBlock(const Tokens& t, std::size_t a, std::size_t b, const Freqs& f,
                             BitWriter& out) {
    out.Put(static_cast<uint32_t>(b - a), 16);
    WriteTrees(f, out);
    uint16_t ccode[kNC], pcode[kMaxNP];
    MakeCodes(clen_, kNC, ccode);
    MakeCodes(plen_, np_, pcode);
    for (std::size_t i = a; i < b; ++i) {
        uint16_t s = t.sym[i];
        out.Put(ccode[s], clen_[s]);
        // The position code and its extra bits together (at most 31); none
        // for a literal, without a branch (see Count).
        uint32_t d = t.dist[i];
        int slot = PositionSlot(d);
        int extra = slot > 1 ? slot - 1 : 0;
        int bits = (plen_[slot] + extra) * (s >> 8);  // s >> 8: 1 for a match, 0 for a literal
        out.PutShort(static_cast<uint32_t>(pcode[slot]) << extra | (d & ((1u << extra) - 1)), bits);
    }
}

void BlockWriter::Write(const Tokens& t, BitWriter& out, int splitDepth, std::size_t minSplit,
                        bool refine) {
    if (t.Size() == 0) return;
    nodes_.clear();
    cuts_.clear();
    Build(t, 0, t.Size(), splitDepth, minSplit);
    Split(0, 0);
    if (refine) {
        blocks_.clear();
        for (int index : cuts_) {
            const Node& node = nodes_[index];
            blocks_.push_back(Block{node.a, node.b, node.freqs, Cost(node.freqs)});
        }
        Refine(t);
        for (const Block& b : blocks_) WriteBlock(t, b.a, b.b, b.freqs, out);
        return;
    }
    for (int index : cuts_) {
        const Node& node = nodes_[index];
        WriteBlock(t, node.a, node.b, node.freqs, out);
    }
}

}  // namespace kt::lzh
