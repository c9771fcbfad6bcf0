#include "match_finder.h"

namespace kt::lzh {

MatchFinder::MatchFinder(int dictBits, const uint8_t* buf)
    : window_(1 << dictBits), mask_((1 << dictBits) - 1), buf_(buf),
      head_(std::size_t{1} << kHashBits, -1), prev_(std::size_t{1} << dictBits, -1) {}

int MatchFinder::Longest(int32_t p, int maxLen, int minLen, int chain, int nice,
                         uint32_t* dist) const {
    int32_t limit = p - window_;
    int best = minLen;
    int32_t bestPos = -1;
    const uint8_t* here = buf_ + p;
    int32_t cur = head_[Hash(p)];
    while (cur >= limit && cur >= 0 && chain-- > 0) {
        const uint8_t* there = buf_ + cur;
        // Check the byte that would make the match longer first: most
        // candidates fail there.
        if (there[best] == here[best] && there[0] == here[0]) {
            int len = MatchLength(there, here, maxLen);
            if (len > best) {
                best = len;
                bestPos = cur;
                if (len >= nice || len >= maxLen) break;
            }
        }
        cur = prev_[cur & mask_];
    }
    if (bestPos < 0) return 0;
    *dist = static_cast<uint32_t>(p - bestPos - 1);
    return best;
}

int MatchFinder::All(int32_t p, int maxLen, int chain, int nice, uint16_t* lens, uint32_t* dists,
                     int max) const {
    int32_t limit = p - window_;
    int best = kMinMatch - 1;
    int count = 0;
    const uint8_t* here = buf_ + p;
    int32_t cur = head_[Hash(p)];
    while (cur >= limit && cur >= 0 && chain-- > 0) {
        const uint8_t* there = buf_ + cur;
        if (there[best] == here[best]) {
            int len = MatchLength(there, here, maxLen);
            if (len > best) {
                best = len;
                if (count == max) --count;  // keep the longest
                lens[count] = static_cast<uint16_t>(len);
                dists[count] = static_cast<uint32_t>(p - cur - 1);
                ++count;
                if (len >= nice || len >= maxLen) break;
            }
        }
        cur = prev_[cur & mask_];
    }
    return count;
}

void MatchFinder::Slide(int32_t shift) {
    for (int32_t& v : head_) v = v >= shift ? v - shift : -1;
    for (int32_t& v : prev_) v = v >= shift ? v - shift : -1;
}

}  // namespace kt::lzh
