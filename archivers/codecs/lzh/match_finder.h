// Hash chains over the encoder's sliding buffer: every position is linked to
// the previous one with the same 3-byte hash, so the candidates of a match
// are walked newest (nearest) first.
#pragma once

#include <cstdint>
#include <vector>

namespace kt::lzh {

constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;

class MatchFinder {
public:
    // window: largest distance (a power of two); buf: the encoder's buffer.
    MatchFinder(int dictBits, const uint8_t* buf);

    // Links position p into its chain (needs 3 bytes at p).
    void Insert(int32_t p) {
        uint32_t h = Hash(p);
        prev_[p & mask_] = head_[h];
        head_[h] = p;
    }
    // The longest match at p no longer than maxLen and longer than minLen,
    // walking at most `chain` candidates, stopping at `nice`. Returns its
    // length (0 for none) and sets *dist to the distance value (distance - 1).
    int Longest(int32_t p, int maxLen, int minLen, int chain, int nice, uint32_t* dist) const;

    // Every improvement in length at p, in increasing length: lens[i] with
    // dists[i]. Returns the count (at most max).
    int All(int32_t p, int maxLen, int chain, int nice, uint16_t* lens, uint32_t* dists,
            int max) const;

    // The buffer moved down by shift bytes (a multiple of the window).
    void Slide(int32_t shift);

private:
    uint32_t Hash(int32_t p) const {
        uint32_t v = static_cast<uint32_t>(buf_[p]) << 16 | static_cast<uint32_t>(buf_[p + 1]) << 8 |
                     buf_[p + 2];
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    static constexpr int kHashBits = 16;
    int32_t window_;
    int32_t mask_;
    const uint8_t* buf_;
    std::vector<int32_t> head_;
    std::vector<int32_t> prev_;
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
