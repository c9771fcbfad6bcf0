// Hash chains over the encoder's sliding buffer: every position is linked to
// the previous one with the same 4-byte hash, so candidates are walked
// newest (nearest) first; a second table remembers the last position of
// each 3-byte hash, for the short matches that pay only when near.
#pragma once

#include <cstdint>
#include <vector>

namespace kt::lzh {

constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;

class MatchFinder {
public:
    // Distances reach up to 1 << dictBits; buf is the encoder's buffer,
    // which must hold 4 readable bytes past every inserted position.
    // tableBits (10..16) sizes the hash tables and, when below dictBits, the
    // chain table: then no position may reach 1 << tableBits (a small input).
    // hash3Bits bounds the 3-byte table (a larger one loses fewer of the
    // nearest 3-byte matches to a colliding string, for 4 bytes an entry).
    MatchFinder(int dictBits, const uint8_t* buf, int tableBits = 16, int hash3Bits = 14);

    // Links position p into the chains.
    void Insert(int32_t p) {
        uint32_t h4 = Hash4(p);
        prev_[p & mask_] = Link(p, head4_[h4]);
        head4_[h4] = p;
        head3_[Hash3(p)] = p;
    }
    // Starts loading the chain heads a search at p will read, so that their
    // wait overlaps the work before it.
    void Prefetch(int32_t p) const {
        __builtin_prefetch(&head4_[Hash4(p)]);
        __builtin_prefetch(&head3_[Hash3(p)]);
    }
    // Links positions [from, to) in order.
    void InsertRange(int32_t from, int32_t to);
    // The longest match at p (p not yet inserted) no longer than maxLen and
    // longer than minLen, walking at most `chain` candidates, stopping at
    // `nice`. Returns its length (0 for none) and sets *dist to the distance
    // value (distance - 1).
    int Longest(int32_t p, int maxLen, int minLen, int chain, int nice, uint32_t* dist) const;

    // Every improvement in length at p, in increasing length: lens[i] with
    // dists[i]. Returns the count (at most max).
    int All(int32_t p, int maxLen, int chain, int nice, uint16_t* lens, uint32_t* dists,
            int max) const;

    // The buffer moved down by shift bytes (a multiple of the window).
    void Slide(int32_t shift);

private:
    uint32_t Load32(int32_t p) const {
        uint32_t v;
        __builtin_memcpy(&v, buf_ + p, 4);
        return v;
    }
    static constexpr uint32_t kHashMul = 2654435761u;
    uint32_t Hash4(int32_t p) const { return (Load32(p) * kHashMul) >> hash4Shift_; }
    uint32_t Hash3(int32_t p) const { return ((Load32(p) << 8) * kHashMul) >> hash3Shift_; }
    // A chain link is the distance back to the previous position of the
    // same hash, less one, in 16 bits: half the memory of positions, so
    // more of the chains stay in the cache. kNoLink (a distance of 65536)
    // is past the window of any later position, and so ends every walk that
    // reaches it, as a missing or too distant predecessor should. A missing
    // one (prev -1) at p below kNoLink gets the link p, which leads to -1 and
    // ends the walk as well: no test of its own, in the hottest loop.
    static constexpr uint16_t kNoLink = 0xFFFF;
    static uint16_t Link(int32_t p, int32_t prev) {
        uint32_t back = static_cast<uint32_t>(p - prev - 1);
        return static_cast<uint16_t>(back < kNoLink ? back : kNoLink);
    }
    int32_t Next(int32_t cur) const { return cur - 1 - prev_[cur & mask_]; }
    // The bytes of a 4-byte load (little-endian, as MatchLength) that a
    // match longer than best must agree on: all 4, or the first 3 at 2.
    static uint32_t EdgeMask(int best) { return best >= 3 ? 0xFFFFFFFFu : 0x00FFFFFFu; }
    static int Found(int32_t p, int best, int32_t bestPos, uint32_t* dist) {
        if (bestPos < 0) return 0;
        *dist = static_cast<uint32_t>(p - bestPos - 1);
        return best;
    }

    int hash4Shift_;
    int hash3Shift_;
    int32_t window_;
    int32_t mask_;
    const uint8_t* buf_;
    std::vector<int32_t> head4_;
    std::vector<int32_t> head3_;
    std::vector<uint16_t> prev_;
};

// Length of the common prefix of a and b, at most max.
inline int MatchLength(const uint8_t* a, const uint8_t* b, int max) {
    int n = 0;
    while (n + 8 <= max) {
        uint64_t x, y;
        __builtin_memcpy(&x, a + n, 8);
        __builtin_memcpy(&y, b + n, 8);
        uint64_t d = x ^ y;
        if (d) return n + (__builtin_ctzll(d) >> 3);
        n += 8;
    }
    while (n < max && a[n] == b[n]) ++n;
    return n;
}

}  // namespace kt::lzh
