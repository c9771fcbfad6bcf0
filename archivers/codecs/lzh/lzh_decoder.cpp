#include "lzh_decoder.h"

#include <cstring>
#include <vector>

#include "bit_reader.h"
#include "crc16.h"
#include "huffman.h"
#include "output_window.h"

namespace kt::lzh {
namespace {

constexpr int kNC = 510;  // 256 literals + lengths 3..256
constexpr int kNT = 19;
constexpr int kTBit = 5;
constexpr int kCBit = 9;
constexpr int kMaxNP = 20;

class StaticDecoder {
public:
    StaticDecoder(int np, int pbit, BitReader& in) : np_(np), pbit_(pbit), in_(in) {}

    // Reads the three trees of a block; false on a malformed table.
    bool ReadTrees() {
        if (!ReadPtLengths(kNT, kTBit, 3, &t_)) return false;
        if (!ReadCLengths()) return false;
        return ReadPtLengths(np_, pbit_, -1, &p_);
    }
    int DecodeC() { return Decode(c_); }
    int DecodeP() { return Decode(p_); }

private:
    int Decode(const DecodeTable& t) { return DecodeSymbol(t, in_); }

    bool ReadPtLengths(int n, int nbit, int special, DecodeTable* table) {
        int k = static_cast<int>(in_.Get(nbit));
        if (k == 0) {
            int sym = static_cast<int>(in_.Get(nbit));
            if (sym >= n) return false;
            table->SetSingle(sym);
            return true;
        }
        if (k > n) return false;
        uint8_t len[kMaxNP + 8] = {};
        int i = 0;
        while (i < k) {
            in_.Refill();
            int l = static_cast<int>(in_.Peek(3));
            in_.Skip(3);
            if (l == 7) {
                while (in_.Peek(1)) {
                    in_.Skip(1);
                    if (++l > kMaxCodeLength) return false;
                    if ((l & 15) == 0) in_.Refill();
                }
                in_.Skip(1);
            }
            len[i++] = static_cast<uint8_t>(l);
            if (i == special) {
                int z = static_cast<int>(in_.Get(2));
                while (z-- > 0 && i < n) len[i++] = 0;
            }
        }
        return table->Build(len, n, 8);
    }

    bool ReadCLengths() {
        int k = static_cast<int>(in_.Get(kCBit));
        if (k == 0) {
            int sym = static_cast<int>(in_.Get(kCBit));
            if (sym >= kNC) return false;
            c_.SetSingle(sym);
            return true;
        }
        if (k > kNC) return false;
        uint8_t len[kNC] = {};
        int i = 0;
        while (i < k) {
            int t = Decode(t_);
            if (t < 0) return false;
            if (t <= 2) {
                int run = t == 0   ? 1
                          : t == 1 ? static_cast<int>(in_.Get(4)) + 3
                                   : static_cast<int>(in_.Get(kCBit)) + 20;
                if (i + run > k) return false;
                i += run;  // lengths are already 0
            } else {
                len[i++] = static_cast<uint8_t>(t - 2);
            }
        }
        return c_.Build(len, kNC, 12);
    }

    int np_, pbit_;
    BitReader& in_;
    DecodeTable t_, c_, p_;
};

DecodeResult Fail(Status s, const OutputWindow& w) { return {s, w.Crc(), w.Written()}; }

}  // namespace

DecodeResult DecodeStatic(int dictBits, int np, int pbit, Source& packed, Sink& out,
                          uint64_t originalSize) {
    (void)dictBits;  // distances reach 2^(np-1) even for -lh4-; the window covers that
    BitReader in(packed);
    OutputWindow win(std::size_t{1} << (np - 1), out);
    StaticDecoder dec(np, pbit, in);
    uint64_t left = originalSize;
    while (left > 0) {
        uint32_t blockSize = in.Get(16);
        if (blockSize == 0) blockSize = 65536;  // the traditional decoders' wrap-around
        if (!dec.ReadTrees())
            return Fail(in.Overrun() ? Status::UnexpectedEnd : Status::BadData, win);
        if (in.Failed()) return Fail(Status::ReadError, win);
        if (in.Overrun()) return Fail(Status::UnexpectedEnd, win);
        for (; blockSize > 0 && left > 0; --blockSize) {
            if (!win.Ensure()) return Fail(Status::WriteError, win);
            int c = dec.DecodeC();
            if (c < 0) return Fail(Status::BadData, win);
            if (c < 256) {
                win.Put(static_cast<uint8_t>(c));
                --left;
                continue;
            }
            uint64_t len = static_cast<uint64_t>(c) - 253;
            int p = dec.DecodeP();
            if (p < 0) return Fail(Status::BadData, win);
            std::size_t dist = p == 0 ? 0 : (std::size_t{1} << (p - 1)) + in.Get(p - 1);
            if (len > left) len = left;
            win.Copy(dist + 1, static_cast<std::size_t>(len));
            left -= len;
        }
        if (in.Failed()) return Fail(Status::ReadError, win);
        if (in.Overrun()) return Fail(Status::UnexpectedEnd, win);
        // Encoders count the codes of the last block exactly: a count left
        // over when the file is complete is a damaged block header, which the
        // CRC of the output cannot see.
        if (left == 0 && blockSize != 0) return Fail(Status::BadData, win);
    }
    if (!win.Flush()) return Fail(Status::WriteError, win);
    return {Status::Ok, win.Crc(), win.Written()};
}

DecodeResult DecodeMember(const Method& method, Source& packed, Sink& out, uint64_t originalSize) {
    switch (method.kind) {
        case MethodKind::Directory:
            return {};
        case MethodKind::Stored: {
            std::vector<uint8_t> buf(1 << 16);
            DecodeResult r;
            while (r.written < originalSize) {
                std::size_t want = static_cast<std::size_t>(
                    std::min<uint64_t>(buf.size(), originalSize - r.written));
                std::ptrdiff_t got = packed.Read(buf.data(), want);
                if (got < 0) return {Status::ReadError, r.crc, r.written};
                if (got == 0) return {Status::UnexpectedEnd, r.crc, r.written};
                r.crc = Crc16Update(r.crc, buf.data(), static_cast<std::size_t>(got));
                if (!out.Write(buf.data(), static_cast<std::size_t>(got))) {
                    return {Status::WriteError, r.crc, r.written};
                }
                r.written += static_cast<uint64_t>(got);
            }
            return r;
        }
        case MethodKind::Static:
            return DecodeStatic(method.dictBits, method.np, method.pbit, packed, out, originalSize);
        case MethodKind::Lh1:
        case MethodKind::Lh2:
        case MethodKind::Lh3:
            return DecodeEarly(method.kind, packed, out, originalSize);
        default:
            return DecodeLegacy(method.kind, packed, out, originalSize);
    }
}

DecodeResult DecodeMember(const Method& method, const SourceOpener& open, Sink& out,
                          uint64_t originalSize, uint16_t crc) {
    if (method.kind != MethodKind::Lh2) return DecodeMember(method, *open(), out, originalSize);
    struct Discard : Sink {
        bool Write(const uint8_t*, std::size_t) override { return true; }
    } discard;
    DecodeResult probe = DecodeEarly(MethodKind::Lh2, *open(), discard, originalSize);
    const bool lhaRule = probe.status == Status::Ok && probe.crc == crc;
    return DecodeEarly(MethodKind::Lh2, *open(), out, originalSize, !lhaRule);
}

}  // namespace kt::lzh
