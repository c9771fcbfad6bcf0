#include "archivers/codecs/zip/bzip2_block_decoder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace kt::zip {
namespace {

constexpr int kMostGroups = 6;
constexpr int kMostSymbols = 258;  // 256 MTF positions at most, RUNB, end of block
constexpr int kLongestCode = 20;
constexpr int kGroupSymbols = 50;
// More selectors than a block can use may be announced (some writers round
// the count up); the surplus is read and ignored, as libbz2 does.
constexpr int kMostSelectors = 18002;
constexpr int kFastBits = 10;
// One step of the run-length stage writes at most 4 + 255 bytes.
constexpr size_t kLongestRun = 259;
// The walk: chains at once, and segments between marks, enough of them
// for the chains to stay busy to nearly the end. A mark is the top bit of a
// row entry, over the 20-bit row number and the byte.
constexpr int kChains = 8;
constexpr int kSegments = 64;
constexpr uint32_t kMark = 1u << 31;
constexpr uint32_t kRowMask = (1u << 20) - 1;
// A walking chain writes at most one byte a round plus the first byte of
// each segment it begins, and within this many rounds when the rows form
// one cycle.
uint32_t MostRounds(uint32_t n) { return n + kSegments + 1; }
size_t Stretch(size_t n) { return n + kSegments + 4; }

// Moves the byte at position k of the 256-byte list to the front. Most
// positions are small: those move as one 16-byte vector, keeping the bytes
// behind position k as they were.
uint8_t MoveToFront(uint8_t* list, unsigned k) {
    const uint8_t c = list[k];
    if (k < 16) {
        using Bytes = uint8_t __attribute__((vector_size(16)));
        static constexpr Bytes kPlace = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
        Bytes before, own;
        std::memcpy(&before, list, 16);
        std::memcpy(&own, list + 1, 16);
        const Bytes moves = reinterpret_cast<Bytes>(kPlace <= static_cast<uint8_t>(k));
        const Bytes moved = (before & moves) | (own & ~moves);
        std::memcpy(list + 1, &moved, 16);
    } else {
        std::memmove(list + 1, list, k);
    }
    list[0] = c;
    return c;
}

// One group's canonical Huffman code: codes of up to kFastBits bits are
// found with one table look-up, longer ones by length.
struct HuffmanGroup {
    // symbol << 5 | length; 0 for a longer code or none.
    std::array<uint16_t, 1u << kFastBits> fast;
    std::array<uint32_t, kLongestCode + 1> first;  // the first code of each length
    std::array<uint16_t, kLongestCode + 1> count;  // codes of each length
    std::array<uint16_t, kLongestCode + 1> index;  // where each length starts in `sorted`
    std::array<uint16_t, kMostSymbols> sorted;     // symbols by length, then by value
    int longest = 0;

    // Codes are handed out in canonical order. Damage can announce more
    // codes of a length than its bit patterns allow; the codes that fit
    // still decode and the rest never match, which is how libbz2 reads such
    // a table, so that the block's CRC decides as it does there.
    void Build(const uint8_t* lengths, int symbols) {
        count.fill(0);
        for (int s = 0; s < symbols; ++s) ++count[lengths[s]];
        fast.fill(0);
        longest = 0;
        uint16_t at = 0;
        uint32_t code = 0;  // stays below 2^29: at most 258 codes per length
        for (int len = 1; len <= kLongestCode; ++len) {
            index[len] = at;
            at = static_cast<uint16_t>(at + count[len]);
            first[len] = code;
            code = (code + count[len]) << 1;
            if (count[len]) longest = len;
        }
        std::array<uint16_t, kLongestCode + 1> next = index;
        for (int s = 0; s < symbols; ++s) sorted[next[lengths[s]]++] = static_cast<uint16_t>(s);
        for (int len = 1; len <= kFastBits; ++len)
            for (uint32_t k = 0; k < count[len] && first[len] + k < (1u << len); ++k) {
                const uint32_t from = (first[len] + k) << (kFastBits - len);
                const uint16_t entry = static_cast<uint16_t>(sorted[index[len] + k] << 5 | len);
                std::fill(fast.begin() + from, fast.begin() + from + (1u << (kFastBits - len)),
                          entry);
            }
    }

    // The code at the top of `bits` that is longer than kFastBits; its
    // length, 0 when no code starts there.
    int DecodeLong(uint64_t bits, unsigned& symbol) const {
        const uint32_t top = static_cast<uint32_t>(bits >> (64 - kLongestCode));
        for (int len = kFastBits + 1; len <= longest; ++len) {
            const uint32_t k = (top >> (kLongestCode - len)) - first[len];
            if (k < count[len]) {
                symbol = sorted[index[len] + k];
                return len;
            }
        }
        return 0;
    }
};

// Reads fields most significant bit first from any bit offset. Past the
// end it reads zeros and remembers that it ran over.
class FieldReader {
public:
    FieldReader(const uint8_t* data, size_t size, uint64_t bit)
        : data_(data), end_(uint64_t{size} * 8), pos_(bit) {}
    uint64_t Peek() const { return Bzip2Load64(data_ + (pos_ >> 3)) << (pos_ & 7); }
    uint32_t Get(int n) {  // n <= 32
        if (pos_ + n > end_) {
            over_ = true;
            pos_ = end_;
            return 0;
        }
        const uint32_t v = static_cast<uint32_t>(Peek() >> (64 - n));
        pos_ += n;
        return v;
    }
    bool Over() const { return over_; }
    uint64_t Pos() const { return pos_; }

private:
    const uint8_t* data_;
    uint64_t end_, pos_;
    bool over_ = false;
};

}  // namespace

struct Bzip2BlockDecoder::Tables {
    size_t capacity = 0;
    // One allocation for the arrays below, touched only as far as a block
    // needs them.
    std::unique_ptr<uint8_t[]> memory;
    // For every row: the next row's number << 8 | the row's last byte, and
    // in the top bit a segment mark during the walk.
    uint32_t* rows = nullptr;
    // The block's last BWT column, later its text before the run-length stage.
    uint8_t* bytes = nullptr;
    // One stretch per walking chain for the segments it reads.
    uint8_t* pieces = nullptr;
    std::array<HuffmanGroup, kMostGroups> groups;
    std::array<uint8_t, kMostSelectors> selectors;

    void Reserve(size_t n) {
        if (n <= capacity) return;
        // Room behind the column lets the run-length stage look four bytes ahead.
        memory = std::make_unique_for_overwrite<uint8_t[]>(n * 5 + Stretch(n) * kChains + 8);
        rows = reinterpret_cast<uint32_t*>(memory.get());
        pieces = memory.get() + n * 4;
        bytes = pieces + Stretch(n) * kChains;
        capacity = n;
    }
};

Bzip2BlockDecoder::Bzip2BlockDecoder() : t_(std::make_unique<Tables>()) {}
Bzip2BlockDecoder::~Bzip2BlockDecoder() = default;

Bzip2BlockResult Bzip2BlockDecoder::Decode(const uint8_t* data, size_t size, uint64_t bit,
                                           int level) {
    using R = Bzip2BlockResult;
    if (level < 1 || level > 9) return R::Broken;
    const uint32_t most = 100000u * static_cast<uint32_t>(level);
    Tables& t = *t_;
    t.Reserve(most);
    textSize_ = 0;

    FieldReader in(data, size, bit);
    const uint64_t magic = uint64_t{in.Get(24)} << 24 | in.Get(24);
    crc_ = in.Get(32);
    const bool randomised = in.Get(1) != 0;
    const uint32_t origPtr = in.Get(24);
    if (magic != kBzip2BlockMagic) return R::Broken;

    // The bytes the block uses, in order: the MTF list's starting state.
    std::array<uint8_t, 256> mtf{};  // all of it: short moves read 16 bytes at once
    int used = 0;
    const uint32_t ranges = in.Get(16);
    for (int r = 0; r < 16; ++r) {
        if (!(ranges & (0x8000u >> r))) continue;
        const uint32_t bits = in.Get(16);
        for (int b = 0; b < 16; ++b)
            if (bits & (0x8000u >> b)) mtf[used++] = static_cast<uint8_t>(r * 16 + b);
    }
    if (used == 0 || in.Over()) return R::Broken;
    const int symbols = used + 2;
    const unsigned endOfBlock = static_cast<unsigned>(used + 1);

    const int groups = static_cast<int>(in.Get(3));
    if (groups < 2 || groups > kMostGroups) return R::Broken;
    const int announced = static_cast<int>(in.Get(15));
    if (announced < 1) return R::Broken;
    std::array<uint8_t, kMostGroups> order = {0, 1, 2, 3, 4, 5};
    for (int i = 0; i < announced; ++i) {
        // A selector is its group's MTF position in unary: ones, then a zero.
        const int ones = __builtin_clzll(~in.Peek() | 1);
        if (ones >= groups) return R::Broken;
        in.Get(ones + 1);
        if (in.Over()) return R::Broken;
        const uint8_t g = order[ones];
        std::memmove(order.data() + 1, order.data(), static_cast<size_t>(ones));
        order[0] = g;
        if (i < kMostSelectors) t.selectors[i] = g;
    }
    const int selectors = std::min(announced, kMostSelectors);

    // Code lengths: a 5-bit start, then per symbol steps of +1 (10) or
    // -1 (11) ended by a 0, never leaving 1..20.
    for (int g = 0; g < groups; ++g) {
        std::array<uint8_t, kMostSymbols> lengths;
        int len = static_cast<int>(in.Get(5));
        for (int s = 0; s < symbols; ++s) {
            for (;;) {
                if (len < 1 || len > kLongestCode || in.Over()) return R::Broken;
                if (!in.Get(1)) break;
                len += in.Get(1) ? -1 : 1;
            }
            lengths[s] = static_cast<uint8_t>(len);
        }
        t.groups[g].Build(lengths.data(), symbols);
    }

    // Huffman symbols to MTF positions and zero runs, into the last column.
    uint8_t* const column = t.bytes;
    std::array<uint32_t, 256> counts{};
    const uint64_t endBit = uint64_t{size} * 8;
    uint64_t pos = in.Pos();
    uint32_t n = 0;
    uint64_t run = 0;  // RUNA/RUNB digits so far: a run of run copies of the front byte
    int digits = 0;
    int selector = 0, left = 0;
    const HuffmanGroup* group = nullptr;
    for (;;) {
        if (left == 0) {
            if (selector >= selectors) return R::Broken;
            group = &t.groups[t.selectors[selector++]];
            left = kGroupSymbols;
        }
        --left;
        if (pos > endBit) return R::Broken;
        const uint64_t bits = Bzip2Load64(data + (pos >> 3)) << (pos & 7);
        const unsigned entry = group->fast[bits >> (64 - kFastBits)];
        unsigned sym;
        if (entry) {
            sym = entry >> 5;
            pos += entry & 31;
        } else {
            const int len = group->DecodeLong(bits, sym);
            if (!len) return R::Broken;
            pos += static_cast<unsigned>(len);
        }
        if (sym <= 1) {
            // Bijective base 2, least significant digit first: RUNA is 1, RUNB 2.
            if (digits > 20) return R::Broken;
            run += uint64_t{sym + 1} << digits++;
            continue;
        }
        if (run) {
            if (run > most - n) return R::Broken;
            const uint8_t c = mtf[0];
            std::memset(column + n, c, static_cast<size_t>(run));
            counts[c] += static_cast<uint32_t>(run);
            n += static_cast<uint32_t>(run);
            run = 0;
            digits = 0;
        }
        if (sym == endOfBlock) break;
        if (n >= most) return R::Broken;
        const uint8_t c = MoveToFront(mtf.data(), sym - 1);
        column[n++] = c;
        ++counts[c];
    }
    if (pos > endBit) return R::Broken;
    endBit_ = pos;
    if (origPtr >= n) return R::Broken;
    if (randomised) return R::Refused;

    // Row links: the rows of byte c follow the rows of all smaller bytes,
    // in the order of their positions in the last column.
    std::array<uint32_t, 256> start;
    for (uint32_t c = 0, sum = 0; c < 256; ++c) {
        start[c] = sum;
        sum += counts[c];
    }
    uint32_t* const rows = t.rows;
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t j = start[column[i]]++;
        rows[j] = i << 8 | column[j];
    }
    textSize_ = n;
    text_ = column;
    Walk(origPtr);

    return R::Ok;
}

// Following the rows one by one is a chain of cache misses, each waiting
// for the one before. So the walk marks a few rows, the text's first among
// them, and several chains walk the segments between marks at once (the
// processor overlaps their misses); the segments are then put in text
// order, each ending where the mark of the next one is met. When the rows
// do not form one cycle (only damage does that), the text is what a walk
// from the first row alone reads, as libbz2 reads it, and the CRC judges.
void Bzip2BlockDecoder::Walk(uint32_t origPtr) {
    const uint32_t n = textSize_;
    uint8_t* const text = t_->bytes;
    uint32_t* const rows = t_->rows;
    const uint32_t first = rows[origPtr] >> 8;
    if (n < 4 * kSegments || !WalkInSegments(first)) {
        uint32_t r = first;
        for (uint32_t k = 0; k < n; ++k) {
            const uint32_t e = rows[r];
            text[k] = static_cast<uint8_t>(e);
            r = e >> 8 & kRowMask;
        }
    }
}

bool Bzip2BlockDecoder::WalkInSegments(uint32_t first) {
    const uint32_t n = textSize_;
    uint32_t* const rows = t_->rows;
    struct Segment {
        uint8_t* out = nullptr;
        uint32_t size = 0;
        int next = -1;  // the segment whose mark ended this one
    };
    // The marked rows in order: the first row and others spread over the
    // row numbers, which lie all over the text.
    std::array<uint32_t, kSegments + 1> marked;
    int marks = 0;
    for (int k = 0; k < kSegments; ++k)
        marked[marks++] = static_cast<uint32_t>(uint64_t{n} * k / kSegments);
    marked[marks++] = first;
    std::sort(marked.begin(), marked.begin() + marks);
    marks = static_cast<int>(std::unique(marked.begin(), marked.begin() + marks) - marked.begin());
    for (int k = 0; k < marks; ++k) rows[marked[k]] |= kMark;
    auto segmentOf = [&](uint32_t row) {
        return static_cast<int>(std::lower_bound(marked.begin(), marked.begin() + marks, row) -
                                marked.begin());
    };
    auto unmark = [&] {
        for (int k = 0; k < marks; ++k) rows[marked[k]] &= ~kMark;
    };
    std::array<Segment, kSegments + 1> seg;

    struct Chain {
        uint32_t row;
        uint8_t* o;
        int seg;
    };
    std::array<Chain, kChains> chain;
    int started = 0, active = 0;
    // Each chain's first step reads its own mark, so it is taken before the
    // loop looks for marks.
    auto begin = [&](Chain& c, uint8_t* o) {
        seg[started].out = o;
        const uint32_t e = rows[marked[started]];
        *o = static_cast<uint8_t>(e);
        c = {e >> 8 & kRowMask, o + 1, started++};
    };
    for (int k = 0; k < kChains && started < marks; ++k)
        begin(chain[active++], t_->pieces + Stretch(n) * k);
    // More rounds mean a cycle without marks.
    for (uint32_t round = 0; active > 0; ++round) {
        if (round >= MostRounds(n)) {
            unmark();
            return false;
        }
        for (int k = 0; k < active; ++k) {
            Chain& c = chain[k];
            const uint32_t e = rows[c.row];
            if (e & kMark) {
                Segment& s = seg[c.seg];
                s.size = static_cast<uint32_t>(c.o - s.out);
                s.next = segmentOf(c.row);
                if (started < marks) {
                    begin(c, c.o);
                } else {
                    chain[k--] = chain[--active];
                }
                continue;
            }
            *c.o++ = static_cast<uint8_t>(e);
            c.row = e >> 8 & kRowMask;
        }
    }
    unmark();
    // In text order from the first row's segment; one cycle through every
    // segment, n bytes in all, or the rows are not one cycle.
    uint8_t* const text = t_->bytes;
    std::array<bool, kSegments + 1> seen{};
    uint32_t at = 0;
    const int start = segmentOf(first);
    int k = start;
    for (int i = 0; i < marks; ++i) {
        if (seen[k] || seg[k].size > n - at) return false;
        seen[k] = true;
        std::memcpy(text + at, seg[k].out, seg[k].size);
        at += seg[k].size;
        k = seg[k].next;
    }
    return k == start && at == n;
}

// The run-length stage: four equal bytes are followed by a count of
// further copies, which must be there.
size_t Bzip2BlockDecoder::ExpandSome(uint32_t& at, uint8_t* o, size_t room, bool& broken) const {
    const uint8_t* const text = text_;
    const uint32_t n = textSize_;
    size_t w = 0;
    uint32_t i = at;
    while (i < n && w + kLongestRun <= room) {
        const uint8_t c = text[i];
        uint32_t four;
        std::memcpy(&four, text + i, 4);
        if (i + 3 < n && four == c * 0x01010101u) {
            if (i + 4 >= n) {
                broken = true;
                break;
            }
            const size_t len = 4u + text[i + 4];
            std::memset(o + w, c, len);
            w += len;
            i += 5;
        } else {
            o[w++] = c;
            ++i;
        }
    }
    at = i;
    return w;
}

Bzip2BlockDecoder::Expanded Bzip2BlockDecoder::Expand(std::vector<uint8_t>& out, size_t most) {
    // Most blocks expand little: room for half as much again, then more.
    size_t room = std::min(most, size_t{textSize_} + textSize_ / 2) + kLongestRun;
    size_t w = 0;
    uint32_t at = 0;
    bool broken = false;
    for (;;) {
        out.resize(room);
        w += ExpandSome(at, out.data() + w, room - w, broken);
        if (broken) return Expanded::Broken;
        if (at == textSize_) break;
        if (room == most + kLongestRun) return Expanded::TooLarge;
        room = std::min(room * 2, most + kLongestRun);
    }
    if (w > most) return Expanded::TooLarge;
    out.resize(w);
    return ~Bzip2CrcUpdate(kBzip2CrcStart, out.data(), w) == crc_ ? Expanded::Ok : Expanded::Broken;
}

}  // namespace kt::zip
