// The methods before the -lh5- block format: -lh1- (LHarc 1.x: adaptive
// Huffman characters, fixed position code, 4 KiB window, matches up to 60),
// -lh2- (adaptive characters and positions, 8 KiB) and -lh3- (static
// Huffman blocks with 4-bit code lengths, 8 KiB). They share one LZ loop:
// a character symbol below 256 is a literal, above it a match of
// symbol - 253 bytes; a position symbol carries the upper bits of the
// distance, six raw bits follow.
#include <algorithm>

#include "adaptive_huffman.h"
#include "bit_reader.h"
#include "huffman.h"
#include "lzh_decoder.h"
#include "output_window.h"

namespace kt::lzh {
namespace {

constexpr int kLowBits = 6;        // raw low bits of every distance
constexpr int kEarlyChars = 286;   // -lh2-/-lh3- character alphabet; its last symbol escapes
constexpr int kEscapeBits = 8;     // ... to that symbol plus 8 raw bits
constexpr int kLh1Chars = 314;     // 256 literals + lengths 3..60
constexpr int kPositions8K = 128;  // position symbols of an 8 KiB window

// A ready-made position code: the length of symbol 0, then the symbols at
// which the length grows by one (a symbol listed twice grows it by two).
// Lengths rise with the symbol, so the canonical code is the historical one.
void ReadyMadeLengths(int first, std::initializer_list<int> steps, int n, uint8_t* len) {
    auto step = steps.begin();
    int l = first;
    for (int s = 0; s < n; ++s) {
        while (step != steps.end() && *step == s) {
            ++l;
            ++step;
        }
        len[s] = static_cast<uint8_t>(l);
    }
}

int Bit(BitReader& in) { return static_cast<int>(in.Get(1)); }

// -lh1-: the character tree over 314 symbols, the 4 KiB fixed position code.
class Lh1Codes {
public:
    explicit Lh1Codes(BitReader& in) : in_(in), chars_(AdaptiveHuffman::Full(kLh1Chars)) {
        uint8_t len[64];
        ReadyMadeLengths(3, {1, 4, 12, 24, 48}, 64, len);
        positions_.Build(len, 64, 8);
    }
    int Char(uint64_t) {
        return chars_.Decode([this] { return Bit(in_); });
    }
    int Position(uint64_t) { return DecodeSymbol(positions_, in_); }

private:
    BitReader& in_;
    AdaptiveHuffman chars_;
    DecodeTable positions_;
};

// -lh2-: the position tree starts with the one symbol 0 and gains symbol k
// once more than 64 * k bytes have been written.
class Lh2Codes {
public:
    Lh2Codes(BitReader& in, AdaptiveHuffman::FirstLeaf first)
        : in_(in),
          chars_(AdaptiveHuffman::Full(kEarlyChars)),
          positions_(AdaptiveHuffman::Growing(kPositions8K, first)) {}
    int Char(uint64_t) {
        int c = chars_.Decode([this] { return Bit(in_); });
        if (c == kEarlyChars - 1) c += static_cast<int>(in_.Get(kEscapeBits));
        return c;
    }
    int Position(uint64_t written) {
        while (positions_.Leaves() < kPositions8K &&
               written > 64u * static_cast<unsigned>(positions_.Leaves())) {
            positions_.AddLeaf(positions_.Leaves());
        }
        return positions_.Decode([this] { return Bit(in_); });
    }

private:
    BitReader& in_;
    AdaptiveHuffman chars_, positions_;
};

// -lh3-: blocks of a 16-bit symbol count, the character code lengths (a
// flag bit, then 4 bits + 1), a flag choosing sent position lengths (4
// bits each) or the ready-made 8 KiB code. Three leading lengths of 1 mark
// a code of one symbol, sent next in full.
class Lh3Codes {
public:
    explicit Lh3Codes(BitReader& in) : in_(in) {}
    int Char(uint64_t) {
        if (left_ == 0 && !StartBlock()) return -1;
        --left_;
        int c = Decode(chars_);
        if (c == kEarlyChars - 1) c += static_cast<int>(in_.Get(kEscapeBits));
        return c;
    }
    int Position(uint64_t) { return Decode(positions_); }

private:
    int Decode(const DecodeTable& t) { return DecodeSymbol(t, in_); }
    bool StartBlock() {
        left_ = in_.Get(16);
        if (left_ == 0) left_ = 65536;
        uint8_t len[kEarlyChars] = {};
        if (!ReadLengths(kEarlyChars, true, 9, len, &chars_)) return false;
        if (in_.Get(1)) return ReadLengths(kPositions8K, false, 7, len, &positions_);
        ReadyMadeLengths(2, {1, 1, 3, 6, 13, 31, 78}, kPositions8K, len);
        return positions_.Build(len, kPositions8K, 8);
    }
    bool ReadLengths(int n, bool flagged, int singleBits, uint8_t* len, DecodeTable* t) {
        for (int i = 0; i < n; ++i) {
            if (flagged) {
                len[i] = in_.Get(1) ? static_cast<uint8_t>(in_.Get(4) + 1) : 0;
            } else {
                len[i] = static_cast<uint8_t>(in_.Get(4));
            }
            if (i == 2 && len[0] == 1 && len[1] == 1 && len[2] == 1) {
                int sym = static_cast<int>(in_.Get(singleBits));
                if (sym >= n) return false;
                t->SetSingle(sym);
                return true;
            }
        }
        return t->Build(len, n, flagged ? 12 : 8);
    }

    BitReader& in_;
    uint32_t left_ = 0;
    DecodeTable chars_, positions_;
};

template <class Codes>
DecodeResult Run(Codes& codes, BitReader& in, OutputWindow& win, uint64_t size) {
    auto fail = [&](Status s) { return DecodeResult{s, win.Crc(), win.Written()}; };
    uint64_t left = size;
    while (left > 0) {
        if (!win.Ensure()) return fail(Status::WriteError);
        int c = codes.Char(size - left);
        if (c < 0) return fail(in.Overrun() ? Status::UnexpectedEnd : Status::BadData);
        if (c < 256) {
            win.Put(static_cast<uint8_t>(c));
            --left;
        } else {
            int p = codes.Position(size - left);
            if (p < 0) return fail(Status::BadData);
            std::size_t dist = (static_cast<std::size_t>(p) << kLowBits | in.Get(kLowBits)) + 1;
            uint64_t len = std::min<uint64_t>(static_cast<uint64_t>(c) - 253, left);
            left -= len;
            // An escaped length may pass the window's 256-byte step.
            while (len > 256) {
                win.Copy(dist, 256);
                len -= 256;
                if (!win.Ensure()) return fail(Status::WriteError);
            }
            win.Copy(dist, static_cast<std::size_t>(len));
        }
        if (in.Overrun()) return fail(Status::UnexpectedEnd);
    }
    if (in.Failed()) return fail(Status::ReadError);
    if (!win.Flush()) return fail(Status::WriteError);
    return {Status::Ok, win.Crc(), win.Written()};
}

}  // namespace

DecodeResult DecodeEarly(MethodKind kind, Source& packed, Sink& out, uint64_t originalSize,
                         bool lh2JlhaCount) {
    BitReader in(packed);
    OutputWindow win(kind == MethodKind::Lh1 ? 4096 : 8192, out);
    switch (kind) {
        case MethodKind::Lh1: {
            Lh1Codes codes(in);
            return Run(codes, in, win, originalSize);
        }
        case MethodKind::Lh2: {
            Lh2Codes codes(in, lh2JlhaCount ? AdaptiveHuffman::FirstLeaf::KeepsCount
                                            : AdaptiveHuffman::FirstLeaf::StaysOne);
            return Run(codes, in, win, originalSize);
        }
        case MethodKind::Lh3: {
            Lh3Codes codes(in);
            return Run(codes, in, win, originalSize);
        }
        default:
            return {Status::Unsupported, 0, 0};
    }
}

}  // namespace kt::lzh
