#include "deflate_block_walk.h"

#include <bit>
#include <cstring>

#include "deflate_tables.h"

namespace kt::zip {
namespace {

constexpr int kMaxCodeBits = 15;
// Codes up to this long resolve with one look-up; longer ones (rare symbols
// by construction) are decoded bit by bit from the canonical counts.
constexpr int kTableBits = 10;

// What a decoded symbol means to the walk.
// kPlain: a literal, a distance or a code length, nothing more to read.
// Both kinds that stop the walk of symbols share the kStops bit.
enum Kind : uint8_t { kPlain = 0, kLength = 1, kEndOfBlock = 2, kBad = 6 };
constexpr uint32_t kStops = uint32_t{2} << 8;

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
        if (count_ >= 56) return true;
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
    uint32_t Peek(int bits) const { return static_cast<uint32_t>(buf_ & ((uint64_t{1} << bits) - 1)); }
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
    uint64_t Position() const { return static_cast<uint64_t>(pos_) * 8 - static_cast<uint64_t>(count_); }
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
    int count_ = 0;   // bits of buf_ not yet used
};

uint32_t Entry(unsigned symbol, unsigned bits, Kind kind) { return symbol << 16 | uint32_t{kind} << 8 | bits; }
Kind KindOf(uint32_t e) { return static_cast<Kind>(e >> 8 & 0xFF); }
int BitsOf(uint32_t e) { return static_cast<int>(e & 0xFF); }
unsigned SymbolOf(uint32_t e) { return e >> 16; }

unsigned Reversed(unsigned code, int bits) {
    unsigned r = 0;
    for (int i = 0; i < bits; ++i, code >>= 1) r = r << 1 | (code & 1);
    return r;
}

// One block's code: a look-up table for short codes, the canonical counts
// and the symbols in code order for the rest.
struct Code {
    // Entry: bits 0-7 the bits a symbol takes with its extra bits, 8-15 the
    // kind, 16-31 the symbol. kBad here means "look further".
    uint32_t table[1u << kTableBits];
    uint16_t count[kMaxCodeBits + 1];
    uint16_t symbols[288];
    // The bits and kind of a symbol whose code is `length` bits long.
    uint32_t (*meaning)(unsigned symbol, int length);

    bool Build(const uint8_t* lengths, unsigned n) {
        std::memset(count, 0, sizeof count);
        for (unsigned s = 0; s < n; ++s) ++count[lengths[s]];
        count[0] = 0;
        int left = 1;  // codes of the current length still unused
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            left = (left << 1) - count[len];
            if (left < 0) return false;  // over-subscribed: no decoder would accept it
        }
        uint16_t offset[kMaxCodeBits + 2] = {};
        for (int len = 1; len <= kMaxCodeBits; ++len) offset[len + 1] = offset[len] + count[len];
        for (unsigned s = 0; s < n; ++s)
            if (lengths[s]) symbols[offset[lengths[s]]++] = static_cast<uint16_t>(s);
        // Unused entries (an incomplete code) stay "look further" and fail there.
        const uint32_t further = uint32_t{kBad} << 8;
        for (uint32_t& e : table) e = further;
        unsigned code = 0, index = 0;
        for (int len = 1; len <= kTableBits; ++len) {
            for (unsigned k = 0; k < count[len]; ++k, ++code, ++index) {
                const unsigned reversed = Reversed(code, len);
                uint32_t e = meaning(symbols[index], len);
                for (unsigned at = reversed; at < (1u << kTableBits); at += 1u << len) table[at] = e;
            }
            code <<= 1;
        }
        return true;
    }

    // Decodes a code longer than the table covers; kBad when none matches.
    uint32_t Slow(uint64_t bits) const {
        int code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxCodeBits; ++len) {
            code |= static_cast<int>(bits & 1);
            bits >>= 1;
            if (code - first < count[len]) return meaning(symbols[index + code - first], len);
            index += count[len];
            first = (first + count[len]) << 1;
            code <<= 1;
        }
        return uint32_t{kBad} << 8;
    }

    uint32_t Decode(const BitReader& in) const {
        uint32_t e = table[in.Peek(kTableBits)];
        return KindOf(e) == kBad ? Slow(in.Buffer()) : e;
    }
};


uint32_t LiteralMeaning(unsigned s, int len) {
    if (s < 256) return Entry(s, len, kPlain);
    if (s == 256) return Entry(s, len, kEndOfBlock);
    if (s < 286) return Entry(s, len + kLengthExtra[s - 257], kLength);
    return Entry(s, 0, kBad);
}

uint32_t DistanceMeaning(unsigned s, int len) {
    return s < 30 ? Entry(s, len + kDistExtra[s], kPlain) : Entry(s, 0, kBad);
}

uint32_t PlainMeaning(unsigned s, int len) { return Entry(s, len, kPlain); }

// Reads a dynamic block's code lengths and builds its two codes.
bool ReadDynamicCodes(BitReader& in, Code& literals, Code& distances) {
    in.Refill();
    const unsigned nlit = in.Take(5) + 257, ndist = in.Take(5) + 1, nclen = in.Take(4) + 4;
    if (nlit > 286 || ndist > 30) return false;
    uint8_t clen[19] = {};
    for (unsigned i = 0; i < nclen; ++i) {
        in.Refill();
        clen[kCodeLengthOrder[i]] = static_cast<uint8_t>(in.Take(3));
    }
    Code lengthCode;
    lengthCode.meaning = PlainMeaning;
    if (!lengthCode.Build(clen, 19)) return false;
    uint8_t lengths[286 + 30] = {};
    for (unsigned i = 0; i < nlit + ndist;) {
        if (!in.Refill()) return false;
        uint32_t e = lengthCode.Decode(in);
        if (KindOf(e) == kBad) return false;
        in.Drop(BitsOf(e));
        unsigned sym = SymbolOf(e), repeat = 0;
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
    return literals.Build(lengths, nlit) && distances.Build(lengths + nlit, ndist);
}

bool BuildFixedCodes(Code& literals, Code& distances) {
    uint8_t lengths[288 + 32];
    FixedCodeLengths(lengths);
    return literals.Build(lengths, 288) && distances.Build(lengths + 288, 32);
}

// Walks one block's symbols up to its end code. Whether a literal or a
// length came is not branched on (it is as good as random): a literal drops
// no distance bits.
bool WalkSymbols(BitReader& in, const Code& literals, const Code& distances) {
    for (;;) {
        // 56 bits cover a length code with its extra bits (20) and a
        // distance code with its extra bits (28).
        if (!in.Refill()) return false;
        uint32_t e = literals.table[in.Peek(kTableBits)];
        if (e & kStops) {
            e = literals.Decode(in);  // a long code, the end code or no code
            if (KindOf(e) == kEndOfBlock) {
                in.Drop(BitsOf(e));
                return !in.Overrun();
            }
            if (KindOf(e) == kBad) return false;
        }
        in.Drop(BitsOf(e));
        const uint32_t length = 0u - (e >> 8 & kLength);  // all ones after a length
        uint32_t d = distances.table[in.Peek(kTableBits)];
        if (d & length & kStops) {
            d = distances.Decode(in);
            if (KindOf(d) == kBad) return false;
        }
        in.Drop(BitsOf(d & length));
    }
}

}  // namespace

bool FindLastBlock(const uint8_t* data, size_t n, uint64_t& lastBlockBit, uint64_t& endBit) {
    BitReader in(data, n);
    Code literals, distances;
    literals.meaning = LiteralMeaning;
    distances.meaning = DistanceMeaning;
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
            if (!(type == 1 ? BuildFixedCodes(literals, distances) : ReadDynamicCodes(in, literals, distances)))
                return false;
            if (!WalkSymbols(in, literals, distances)) return false;
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
