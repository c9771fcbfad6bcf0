#include "match_finder.h"

namespace kt::lzh {
namespace {

uint32_t Load32At(const uint8_t* p) {
    uint32_t v;
    __builtin_memcpy(&v, p, 4);
    return v;
}

// Out of line: few candidates get this far, and inlined it would take the
// registers the walk itself needs.
[[gnu::noinline]] int LongerMatch(const uint8_t* a, const uint8_t* b, int max) {
    return MatchLength(a, b, max);
}

}  // namespace

MatchFinder::MatchFinder(int dictBits, const uint8_t* buf, int tableBits, int hash3Bits)
    : hash4Shift_(32 - tableBits),
      // A small input (tables below 16 bits) needs no more entries than it
      // has positions.
      hash3Shift_(32 - (tableBits < 16 && tableBits < hash3Bits ? tableBits : hash3Bits)),
      window_(1 << dictBits),
      mask_((1 << (tableBits < dictBits ? tableBits : dictBits)) - 1),
      buf_(buf),
      head4_(std::size_t{1} << tableBits, -1),
      head3_(std::size_t{1} << (32 - hash3Shift_), -1),
      prev_(static_cast<std::size_t>(mask_) + 1, kNoLink) {}

int MatchFinder::Longest(int32_t p, int maxLen, int minLen, int chain, int nice,
                         uint32_t* dist) const {
    if (maxLen <= minLen) return 0;
    const int32_t limit = p - window_;
    int best = minLen;
    int32_t bestPos = -1;
    const uint8_t* const buf = buf_;
    const uint8_t* const here = buf + p;
    if (best < kMinMatch) {
        int32_t c3 = head3_[Hash3(p)];
        if (c3 >= 0 && c3 >= limit && c3 < p) {
            int len = MatchLength(buf + c3, here, maxLen);
            if (len >= kMinMatch) {
                best = len;
                bestPos = c3;
            }
        }
    }
    const int stop = nice < maxLen ? nice : maxLen;
    if (best >= stop) return Found(p, best, bestPos, dist);
    // Below the window and below the buffer's start (-1, no predecessor)
    // alike end the walk: one test per candidate.
    const int32_t floor = limit > 0 ? limit : 0;
    // Locals: the walk is a few instructions per candidate, and reloading
    // members it cannot prove unchanged would be a good part of them.
    const uint16_t* const prev = prev_.data();
    const uint32_t mask = static_cast<uint32_t>(mask_);
    // A candidate is longer only if it also agrees on the 4 bytes that end
    // at here[best] (the first 3 when best is 2): a test far more
    // selective than the one byte, so the branch on it is rarely wrong.
    uint32_t edge = EdgeMask(best);
    const uint8_t* edgeBuf = buf + (best >= 3 ? best - 3 : 0);
    uint32_t want = Load32At(edgeBuf + p) & edge;
    int32_t cur = head4_[Hash4(p)];
    while (cur >= floor && chain-- > 0) {
        const uint32_t c = static_cast<uint32_t>(cur);
        if ((Load32At(edgeBuf + c) & edge) == want) {
            int len = LongerMatch(buf + c, here, maxLen);
            if (len > best) {
                best = len;
                bestPos = cur;
                if (best >= stop) break;
                edge = EdgeMask(best);
                edgeBuf = buf + (best - 3);
                want = Load32At(edgeBuf + p);
            }
        }
        cur = cur - 1 - prev[c & mask];
    }
    return Found(p, best, bestPos, dist);
}

int MatchFinder::All(int32_t p, int maxLen, int chain, int nice, uint16_t* lens, uint32_t* dists,
                     int max) const {
    const int32_t limit = p - window_;
    int best = kMinMatch - 1;
    int count = 0;
    const uint8_t* here = buf_ + p;
    auto record = [&](int32_t cur, int len) {
        best = len;
        if (count == max) --count;  // keep the longest
        lens[count] = static_cast<uint16_t>(len);
        dists[count] = static_cast<uint32_t>(p - cur - 1);
        ++count;
    };
    int32_t c3 = head3_[Hash3(p)];
    if (c3 >= 0 && c3 >= limit && c3 < p) {
        int len = MatchLength(buf_ + c3, here, maxLen);
        if (len >= kMinMatch) record(c3, len);
    }
    int32_t cur = head4_[Hash4(p)];
    while (cur >= limit && cur >= 0 && chain-- > 0 && best < nice && best < maxLen) {
        const uint8_t* there = buf_ + cur;
        if (there[best] == here[best]) {
            int len = MatchLength(there, here, maxLen);
            if (len > best) record(cur, len);
        }
        cur = Next(cur);
    }
    return count;
}

void MatchFinder::InsertRange(int32_t from, int32_t to) {
    int32_t* head4 = head4_.data();
    int32_t* head3 = head3_.data();
    uint16_t* prev = prev_.data();
    // Locals, since the stores below could alias the members for the compiler.
    const uint32_t mask = static_cast<uint32_t>(mask_);
    const int shift4 = hash4Shift_, shift3 = hash3Shift_;
    const uint8_t* buf = buf_;
    for (int32_t p = from; p < to; ++p) {
        uint32_t v;
        __builtin_memcpy(&v, buf + p, 4);
        uint32_t h4 = (v * kHashMul) >> shift4;
        prev[static_cast<uint32_t>(p) & mask] = Link(p, head4[h4]);
        head4[h4] = p;
        head3[((v << 8) * kHashMul) >> shift3] = p;
    }
}

void MatchFinder::Slide(int32_t shift) {
    for (int32_t& v : head4_) v = v >= shift ? v - shift : -1;
    for (int32_t& v : head3_) v = v >= shift ? v - shift : -1;
}

}  // namespace kt::lzh
