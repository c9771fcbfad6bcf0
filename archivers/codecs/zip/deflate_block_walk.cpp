#include "archivers/codecs/zip/deflate_block_walk.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "archivers/codecs/zip/deflate_tables.h"

namespace kt::zip {
namespace {

constexpr int kMaxCodeBits = 15;
// Codes up to this long resolve with one look-up; longer ones (rare symbols
// by construction) are decoded bit by bit from the canonical counts.
constexpr int kTableBits = 10;

// A look-up entry: bits 0-7 how many bits the symbol takes with its extra
// bits, then flags. kLength: a distance code comes next; it sits at bit
// kTableBits so that, added to the next look-up's index, it selects the
// distance half of the table. kStops: not an ordinary symbol; either the
// end code (kEnd), a broken code (kBad), or a code longer than the table.
using Step = uint16_t;
constexpr Step kLength = 1u << kTableBits;
constexpr Step kStops = 1u << 13;
constexpr Step kEnd = 1u << 14;
constexpr Step kBad = 1u << 15;
constexpr Step kFurther = kStops;
constexpr Step kBroken = kStops | kBad;
static_assert(kTableBits > 8 && kTableBits < 13,
              "kLength must sit between the bit count and the stop flags");

int BitsOf(uint32_t e) { return static_cast<int>(e & 0xFF); }

// The least significant bits come first, as deflate packs them. Bytes past
// the end read as zeros; Overrun() tells when the walk has used them.
class BitReader {
public:
    BitReader(const uint8_t* data, size_t n) : data_(data), n_(n) {}

    // At least 56 bits are buffered afterwards; false once the walk has run
    // well past the end (a broken stream must not spin on zeros). Bits above
    // count_ may hold the next bytes of the stream already; OR-ing those same
    // bytes in again leaves them as they are.
    bool Refill() {
        if (pos_ + 8 <= n_) {
            uint64_t w;
            std::memcpy(&w, data_ + pos_, 8);
            if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
            buf_ |= w << count_;
            pos_ += (63 - count_) >> 3;
            count_ |= 56;
            return true;
        }
        while (count_ < 56) {
            uint64_t b = pos_ < n_ ? data_[pos_] : 0;
            buf_ |= b << count_;
            ++pos_;
            count_ += 8;
        }
        return pos_ <= n_ + 16;
    }
    uint32_t Peek(int bits) const {
        return static_cast<uint32_t>(buf_ & ((uint64_t{1} << bits) - 1));
    }
    uint64_t Buffer() const { return buf_; }
    void Drop(int bits) {
        buf_ >>= bits;
        count_ -= bits;
    }
    uint32_t Take(int bits) {
        uint32_t v = Peek(bits);
        Drop(bits);
        return v;
    }
    uint64_t Position() const {
        return static_cast<uint64_t>(pos_) * 8 - static_cast<uint64_t>(count_);
    }
    bool Overrun() const { return Position() > static_cast<uint64_t>(n_) * 8; }
    // Skips to the next byte boundary, then `bytes` whole bytes.
    bool SkipBytes(uint64_t bytes) {
        uint64_t at = (Position() + 7) / 8 + bytes;
        if (at > n_) return false;
        pos_ = static_cast<size_t>(at);
        buf_ = 0;
        count_ = 0;
        return true;
    }

private:
    const uint8_t* data_;
    size_t n_;
    size_t pos_ = 0;  // next byte to load
    uint64_t buf_ = 0;
    int count_ = 0;  // bits of buf_ not yet used
};

// A code's bits in the order the stream holds them (deflate sends Huffman
// codes from their most significant bit).
constexpr auto kReversedBytes = [] {
    std::array<uint8_t, 256> r{};
    for (unsigned b = 0; b < 256; ++b)
        for (int i = 0; i < 8; ++i) r[b] |= static_cast<uint8_t>((b >> i & 1) << (7 - i));
    return r;
}();
unsigned Reversed(unsigned code, int bits) {
    return (unsigned{kReversedBytes[code & 0xFF]} << 8 | kReversedBytes[code >> 8 & 0xFF]) >>
           (16 - bits);
}

// A code as its canonical counts and its symbols in code order: enough to
// decode any code bit by bit, and to enumerate the codes for a table.
struct Canonical {
    uint16_t count[kMaxCodeBits + 1];
    uint16_t symbols[288];

    // False when over-subscribed (no decoder would accept it). An incomplete
    // code is kept: its unused codes fail when met.
    bool Build(const uint8_t* lengths, unsigned n) {
        std::memset(count, 0, sizeof count);
        for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
        count[0] = 0;
        int left = 1;  // codes of the current length still unused
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            left = (left << 1) - count[len];
            if (left < 0) return false;
        }
        uint16_t offset[kMaxCodeBits + 2] = {};
        for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + count[len];
        for (unsigned s = 0; s < n; ++s)
            if (lengths[s]) symbols[offset[lengths[s]]++] = static_cast<uint16_t>(s);
        return true;
    }

    // The symbol whose code starts `bits`, and its code length in `len`;
    // -1 when no code matches.
    int Decode(uint64_t bits, int& len) const {
        int code = 0, first = 0, index = 0;
        for (len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>(bits & 1);
            bits >>= 1;
            if (code - first < count[len]) return symbols[index + code - first];
            index += count[len];
            first = (first + count[len]) << 1;
            code <<= 1;
        }
        return -1;
    }

    // Calls f(symbol, length, reversed code) for every code of up to
    // `maxBits` bits.
    template <typename F>
    void ForEachShortCode(int maxBits, F f) const {
        unsigned code = 0, index = 0;
        for (int len = 1; len <= maxBits; ++len) {
            for (unsigned k = 0; k < count[len]; ++k, ++code, ++index)
                f(symbols[index], len, Reversed(code, len));
            code <<= 1;
        }
    }
};

Step LiteralStep(unsigned s, int len) {
    if (s < 256) return static_cast<Step>(len);
    if (s == 256) return static_cast<Step>(kStops | kEnd | len);
    if (s < 286) return static_cast<Step>(kLength | (len + kLengthExtra[s - 257]));
    return kBroken;
}

Step DistanceStep(unsigned s, int len) {
    return s < 30 ? static_cast<Step>(len + kDistExtra[s]) : kBroken;
}

// One block's literal/length and distance codes as the walk reads them:
// one table whose first half holds the literal/length codes and whose
// second half the distance codes, so that each look-up is one load indexed
// by the bits and by what the previous symbol was.
struct WalkCodes {
    Canonical literals, distances;
    Step table[2u << kTableBits];

    bool Build(const uint8_t* lengths, unsigned nlit, unsigned ndist) {
        if (!literals.Build(lengths, nlit) || !distances.Build(lengths + nlit, ndist)) return false;
        uint8_t codeBits[2u << kTableBits];
        Fill(table, codeBits, literals, LiteralStep);
        Fill(table + (1u << kTableBits), codeBits + (1u << kTableBits), distances, DistanceStep);
        // Where the bits left after a code hold the whole of the next code,
        // one look-up covers both: a literal and what follows it, or a
        // length, its extra bits and the distance code after them (whose
        // extra bits may lie beyond). Downwards, so that the entry read at
        // i >> used (never above i) still holds its single code.
        for (unsigned i = (1u << kTableBits); i-- > 0;) {
            const Step first = table[i];
            const Step length = first & kLength;
            const int used = length ? BitsOf(first) : codeBits[i];
            const unsigned next = (i >> used) + length;  // in the distance half after a length
            const Step second = table[next];
            const bool pairs =
                (((first | second) & kStops) == 0) & (codeBits[next] + used <= kTableBits);
            const Step both = static_cast<Step>((second & kLength) | (used + BitsOf(second)));
            table[i] = pairs ? both : first;
        }
        return true;
    }

    // A long code (from the literal/length or the distance code as
    // `afterLength` says), the end code or a broken one, read bit by bit.
    Step Slow(Step afterLength, uint64_t bits) const {
        int len = 0;
        if (afterLength) {
            const int s = distances.Decode(bits, len);
            return s < 0 ? kBroken : DistanceStep(static_cast<unsigned>(s), len);
        }
        const int s = literals.Decode(bits, len);
        return s < 0 ? kBroken : LiteralStep(static_cast<unsigned>(s), len);
    }

private:
    // One code per entry; codeBits gets the code's own length. The table
    // grows by doubling: the entries for codes up to len bits are those for
    // up to len - 1 bits, twice over, plus one entry per code of len bits.
    // Entries no code reaches (the prefixes of longer codes, or the unused
    // codes of an incomplete code) stay "look further" and fail there.
    static void Fill(Step* half, uint8_t* codeBits, const Canonical& code,
                     Step (*step)(unsigned, int)) {
        half[0] = kFurther;
        codeBits[0] = kTableBits + 1;  // pairs with nothing
        unsigned size = 1, code_ = 0, index = 0;
        for (int len = 1; len <= kTableBits; ++len, code_ <<= 1) {
            std::memcpy(half + size, half, size * sizeof *half);
            std::memcpy(codeBits + size, codeBits, size);
            size <<= 1;
            for (unsigned k = 0; k < code.count[len]; ++k, ++code_, ++index) {
                const unsigned at = Reversed(code_, len);
                half[at] = step(code.symbols[index], len);
                codeBits[at] = static_cast<uint8_t>(len);
            }
        }
    }
};

// Reads a dynamic block's code lengths and builds its two codes.
bool ReadDynamicCodes(BitReader& in, WalkCodes& codes) {
    in.Refill();
    const unsigned nlit = in.Take(5) + 257, ndist = in.Take(5) + 1, nclen = in.Take(4) + 4;
    if (nlit > 286 || ndist > 30) return false;
    uint8_t clen[19] = {};
    for (unsigned i = 0; i < nclen; ++i) {
        in.Refill();
        clen[kCodeLengthOrder[i]] = static_cast<uint8_t>(in.Take(3));
    }
    // Code-length codes are at most 7 bits long: one look-up each. An
    // entry holds the symbol and the code's length; 0 where no code is.
    Canonical lengthCode;
    if (!lengthCode.Build(clen, 19)) return false;
    uint16_t lengthTable[1u << 7] = {};
    lengthCode.ForEachShortCode(7, [&](unsigned s, int len, unsigned at) {
        for (; at < (1u << 7); at += 1u << len)
            lengthTable[at] = static_cast<uint16_t>(s | len << 8);
    });
    uint8_t lengths[286 + 30] = {};
    for (unsigned i = 0; i < nlit + ndist;) {
        if (!in.Refill()) return false;
        const unsigned entry = lengthTable[in.Peek(7)];
        if (entry == 0) return false;
        in.Drop(static_cast<int>(entry >> 8));
        const unsigned sym = entry & 0xFF;
        unsigned repeat = 0;
        uint8_t value = 0;
        if (sym < 16) {
            lengths[i++] = static_cast<uint8_t>(sym);
            continue;
        }
        if (sym == 16) {
            if (i == 0) return false;
            value = lengths[i - 1];
            repeat = 3 + in.Take(2);
        } else if (sym == 17) {
            repeat = 3 + in.Take(3);
        } else {
            repeat = 11 + in.Take(7);
        }
        if (i + repeat > nlit + ndist) return false;
        std::memset(lengths + i, value, repeat);
        i += repeat;
    }
    if (lengths[256] == 0 || in.Overrun()) return false;  // a block needs its end code
    return codes.Build(lengths, nlit, ndist);
}

bool BuildFixedCodes(WalkCodes& codes) {
    uint8_t lengths[288 + 32];
    FixedCodeLengths(lengths);
    return codes.Build(lengths, 288, 32);
}

// Walks one block's symbols up to its end code, one load per symbol: the
// next look-up's index is the next bits plus the kLength flag of this
// entry, so whether a literal or a length came is never branched on (it is
// as good as random). Each entry is loaded before the refill, which thus
// stays off the path from one load to the next, and one refill serves two
// entries: an entry takes at most kTableBits + 13 bits (codes within the
// table, then at most a distance's extra bits), so of the 56 bits a refill
// leaves two entries leave enough for the look-up after them.
static_assert(56 - 2 * (kTableBits + 13) >= kTableBits, "two entries per refill");
bool WalkSymbols(BitReader& reader, const WalkCodes& codes) {
    BitReader in = reader;  // kept in registers; the table loads cannot alias it
    if (!in.Refill()) return false;
    Step e = codes.table[in.Peek(kTableBits)];
    Step afterLength = 0;
    for (;;) {
        // At least 56 bits here.
        if (!(e & kStops)) {
            in.Drop(static_cast<uint8_t>(e));
            afterLength = e & kLength;
            e = (codes.table + afterLength)[in.Peek(kTableBits)];
            if (!(e & kStops)) {
                in.Drop(static_cast<uint8_t>(e));
                afterLength = e & kLength;
                e = (codes.table + afterLength)[in.Peek(kTableBits)];
                if (!in.Refill()) return false;
                continue;
            }
        }
        // A long code, the end code or a broken one, with at least 33 bits
        // left: enough for any code with its extra bits.
        if (!(e & (kBad | kEnd))) e = codes.Slow(afterLength, in.Buffer());
        if (e & kBad) return false;
        in.Drop(BitsOf(e));
        if (e & kEnd) {
            reader = in;
            return !in.Overrun();
        }
        afterLength = e & kLength;
        if (!in.Refill()) return false;
        e = (codes.table + afterLength)[in.Peek(kTableBits)];
    }
}

}  // namespace

bool FindLastBlock(const uint8_t* data, size_t n, uint64_t& lastBlockBit, uint64_t& endBit) {
    BitReader in(data, n);
    WalkCodes codes;
    for (;;) {
        const uint64_t header = in.Position();
        if (!in.Refill()) return false;
        const bool final = in.Take(1) != 0;
        const unsigned type = in.Take(2);
        if (type == 0) {
            in.SkipBytes(0);
            in.Refill();
            const uint32_t len = in.Take(16), nlen = in.Take(16);
            if ((len ^ 0xFFFF) != nlen || !in.SkipBytes(len)) return false;
        } else if (type == 1 || type == 2) {
            if (!(type == 1 ? BuildFixedCodes(codes) : ReadDynamicCodes(in, codes))) return false;
            if (!WalkSymbols(in, codes)) return false;
        } else {
            return false;
        }
        if (final) {
            lastBlockBit = header;
            endBit = in.Position();
            return true;
        }
    }
}

}  // namespace kt::zip
