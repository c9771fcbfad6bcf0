#include "huffman.h"

#include <algorithm>
#include <cstring>

namespace kt::lzh {

namespace {

constexpr int kMaxSymbols = 1024;
constexpr int kFewKeys = 64;

// Sorts keys of a frequency above a 16-bit symbol, given in ascending
// symbol order. Frequencies below 65536 (every block's) take two stable
// counting passes over their bytes, cheaper than comparing sorts on the
// few hundred symbols that each candidate block is priced with.
void SortKeys(uint64_t* keys, int m) {
    uint64_t most = 0;
    for (int i = 0; i < m; ++i) most |= keys[i];
    // The keys are distinct (the symbol is part of each), so every sort
    // gives the same order; a comparing sort is cheaper on the few symbols
    // of a small block than passes over 256 counters.
    if (most >> 32 != 0 || m <= kFewKeys) {
        std::sort(keys, keys + m);
        return;
    }
    uint64_t tmp[kMaxSymbols];
    uint64_t* from = keys;
    uint64_t* to = tmp;
    for (int shift = 16; shift < 32 && (most >> shift) != 0; shift += 8) {
        uint32_t start[256] = {};
        for (int i = 0; i < m; ++i) ++start[(from[i] >> shift) & 0xFF];
        uint32_t sum = 0;
        for (uint32_t& s : start) {
            uint32_t c = s;
            s = sum;
            sum += c;
        }
        for (int i = 0; i < m; ++i) to[start[(from[i] >> shift) & 0xFF]++] = from[i];
        std::swap(from, to);
    }
    if (from != keys) std::memcpy(keys, from, static_cast<std::size_t>(m) * sizeof *keys);
}

}  // namespace

void BuildLengths(const uint32_t* freq, int n, int limit, uint8_t* lengths) {
    std::memset(lengths, 0, static_cast<std::size_t>(n));
    // The used symbols by ascending frequency, then symbol: one sort key
    // each (the frequency above the symbol), on the stack, since blocks are
    // priced many times over.
    uint64_t keys[kMaxSymbols];
    int m = 0;
    // Every symbol is written and only the used ones kept: a branch on each
    // frequency would be mispredicted at every change between used and
    // unused.
    if (n > kMaxSymbols) n = kMaxSymbols;
    for (int i = 0; i < n; ++i) {
        keys[m] = static_cast<uint64_t>(freq[i]) << 16 | static_cast<uint64_t>(i);
        m += freq[i] != 0;
    }
    if (m == 0) return;
    if (m == 1) {
        lengths[keys[0] & 0xFFFF] = 1;
        return;
    }
    SortKeys(keys, m);
    // In-place minimum-redundancy lengths (Moffat and Katajainen) over the
    // ascending frequencies.
    uint64_t a[kMaxSymbols];
    for (int i = 0; i < m; ++i) a[i] = keys[i] >> 16;
    {
        int root = 0, leaf = 0;
        for (int next = 0; next < m - 1; ++next) {
            if (leaf >= m || (root < next && a[root] < a[leaf])) {
                a[next] = a[root];
                a[root++] = static_cast<uint64_t>(next);
            } else {
                a[next] = a[leaf++];
            }
            if (leaf >= m || (root < next && a[root] < a[leaf])) {
                a[next] += a[root];
                a[root++] = static_cast<uint64_t>(next);
            } else {
                a[next] += a[leaf++];
            }
        }
        a[m - 2] = 0;
        for (int next = m - 3; next >= 0; --next) a[next] = a[a[next]] + 1;
        int avail = 1, used = 0, depth = 0;
        root = m - 2;
        int next = m - 1;
        while (avail > 0) {
            while (root >= 0 && static_cast<int>(a[root]) == depth) {
                ++used;
                --root;
            }
            while (avail > used) {
                a[next--] = static_cast<uint64_t>(depth);
                --avail;
            }
            avail = 2 * used;
            ++depth;
            used = 0;
        }
    }
    // a[i] is now the length of the symbol with the i-th smallest frequency
    // (non-increasing as i grows). Enforce the limit with a Kraft-sum repair.
    uint32_t count[64] = {};
    for (int i = 0; i < m; ++i) ++count[std::min<uint64_t>(a[i], 63)];
    for (int l = limit + 1; l < 64; ++l) {
        count[limit] += count[l];
        count[l] = 0;
    }
    uint64_t total = 0;
    for (int l = 1; l <= limit; ++l) total += static_cast<uint64_t>(count[l]) << (limit - l);
    while (total > (1ull << limit)) {
        --count[limit];
        for (int l = limit - 1; l > 0; --l) {
            if (count[l]) {
                --count[l];
                count[l + 1] += 2;
                break;
            }
        }
        --total;
    }
    // Longest lengths go to the rarest symbols.
    int i = 0;
    for (int l = limit; l >= 1; --l) {
        for (uint32_t k = 0; k < count[l]; ++k)
            lengths[keys[i++] & 0xFFFF] = static_cast<uint8_t>(l);
    }
}

void MakeCodes(const uint8_t* lengths, int n, uint16_t* codes) {
    uint32_t count[kMaxCodeLength + 1] = {};
    for (int i = 0; i < n; ++i) ++count[lengths[i]];
    count[0] = 0;
    uint32_t next[kMaxCodeLength + 2] = {};
    uint32_t code = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    // Without a branch on unused symbols (next[0] counts them, unread):
    // used and unused alternate in no pattern.
    for (int i = 0; i < n; ++i) {
        uint32_t unused = lengths[i] == 0;
        codes[i] = static_cast<uint16_t>(next[lengths[i]]++ & (unused - 1));
    }
}

void DecodeTable::SetSingle(int symbol) { single_ = symbol; }

bool DecodeTable::Build(const uint8_t* lengths, int n, int fastBits) {
    single_ = -1;
    fastBits_ = fastBits;
    uint32_t count[kMaxCodeLength + 1] = {};
    for (int i = 0; i < n; ++i) {
        if (lengths[i] > kMaxCodeLength) return false;
        ++count[lengths[i]];
    }
    count[0] = 0;
    uint32_t left = 1;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        left <<= 1;
        if (count[l] > left) return false;
        left -= count[l];
    }
    uint32_t code = 0, off = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        code = (code + count[l - 1]) << 1;
        firstCode_[l] = code;
        count_[l] = count[l];
        offset_[l] = off;
        off += count[l];
    }
    firstCode_[0] = 0;
    sorted_.assign(off, 0);
    {
        uint32_t pos[kMaxCodeLength + 1];
        std::memcpy(pos, offset_, sizeof pos);
        for (int i = 0; i < n; ++i) {
            if (lengths[i]) sorted_[pos[lengths[i]]++] = static_cast<uint16_t>(i);
        }
    }
    fast_.assign(std::size_t{1} << fastBits, Entry{0, 0});
    for (int l = 1; l <= fastBits; ++l) {
        for (uint32_t k = 0; k < count_[l]; ++k) {
            uint32_t c = firstCode_[l] + k;
            uint32_t start = c << (fastBits - l);
            uint32_t span = 1u << (fastBits - l);
            Entry e{sorted_[offset_[l] + k], static_cast<uint8_t>(l)};
            for (uint32_t j = 0; j < span; ++j) fast_[start + j] = e;
        }
    }
    return true;
}

int DecodeTable::DecodeSlow(uint32_t peek16, int* bits) const {
    for (int l = fastBits_ + 1; l <= kMaxCodeLength; ++l) {
        uint32_t c = peek16 >> (16 - l);
        if (c - firstCode_[l] < count_[l]) {
            *bits = l;
            return sorted_[offset_[l] + (c - firstCode_[l])];
        }
    }
    *bits = 0;
    return -1;
}

}  // namespace kt::lzh
