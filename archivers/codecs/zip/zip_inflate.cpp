#include "archivers/codecs/zip/zip_inflate.h"

#include <cstring>
#include <vector>

#include "archivers/codecs/zip/deflate_tables.h"

namespace kt::zip {
namespace {

constexpr int kMaxBits = 15;

// LSB-first bits over the pulled bytes. Past the end it supplies zero bytes
// and counts them, so a stream that ends early is told from one that merely
// finished inside its last byte.
class Bits {
public:
    explicit Bits(const PullFn& pull) : pull_(pull), buf_(1 << 16) {}

    // At least 32 bits in the buffer.
    void Need() {
        while (count_ <= 56) {
            if (pos_ == end_ && !Fill()) {
                ++padded_;
                count_ += 8;
                continue;
            }
            bits_ |= static_cast<uint64_t>(buf_[pos_++]) << count_;
            count_ += 8;
        }
    }
    uint32_t Peek() const { return static_cast<uint32_t>(bits_); }
    void Drop(int n) {
        bits_ >>= n;
        count_ -= n;
    }
    uint32_t Take(int n) {
        if (count_ < n) Need();
        uint32_t v = static_cast<uint32_t>(bits_) & ((1u << n) - 1);
        Drop(n);
        return v;
    }
    void AlignToByte() { Drop(count_ & 7); }
    // True once bits from beyond the end were consumed.
    bool Overrun() const { return padded_ * 8 > static_cast<uint64_t>(count_); }
    bool Failed() const { return failed_; }

private:
    bool Fill() {
        if (eof_) return false;
        std::ptrdiff_t got = pull_(buf_.data(), buf_.size());
        if (got <= 0) {
            failed_ = got < 0;
            eof_ = true;
            return false;
        }
        pos_ = 0;
        end_ = static_cast<size_t>(got);
        return true;
    }

    const PullFn& pull_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, end_ = 0;
    uint64_t bits_ = 0;
    int count_ = 0;
    uint64_t padded_ = 0;
    bool eof_ = false, failed_ = false;
};

// A canonical code read LSB-first: a primary table on the first bits, and
// second-level tables for the longer codes.
class Code {
public:
    // False when the lengths oversubscribe the code space.
    bool Build(const uint8_t* lengths, int n, int primaryBits) {
        primary_ = primaryBits;
        uint16_t count[kMaxBits + 1] = {};
        int longest = 0;
        for (int i = 0; i < n; ++i) {
            ++count[lengths[i]];
            if (lengths[i] > longest) longest = lengths[i];
        }
        count[0] = 0;
        int left = 1;
        for (int l = 1; l <= kMaxBits; ++l) {
            left = (left << 1) - count[l];
            if (left < 0) return false;
        }
        subBits_ = longest > primary_ ? longest - primary_ : 0;
        table_.assign(size_t{1} << primary_, 0);
        sub_.clear();
        uint32_t next[kMaxBits + 2] = {};
        for (int l = 1, code = 0; l <= kMaxBits; ++l) {
            code = (code + count[l - 1]) << 1;
            next[l] = static_cast<uint32_t>(code);
        }
        for (int sym = 0; sym < n; ++sym) {
            int len = lengths[sym];
            if (len == 0) continue;
            uint32_t code = next[len]++, rev = 0;
            for (int b = 0; b < len; ++b) rev |= ((code >> b) & 1) << (len - 1 - b);
            uint32_t entry = static_cast<uint32_t>(sym) << 8 | static_cast<uint32_t>(len);
            if (len <= primary_) {
                for (uint32_t k = rev; k < table_.size(); k += 1u << len) table_[k] = entry;
                continue;
            }
            uint32_t head = rev & ((1u << primary_) - 1);
            if (!(table_[head] & kLink)) {
                table_[head] = kLink | static_cast<uint32_t>(sub_.size()) << 8;
                sub_.resize(sub_.size() + (size_t{1} << subBits_), 0);
            }
            size_t base = table_[head] >> 8;
            for (uint32_t k = rev >> primary_; k < (1u << subBits_); k += 1u << (len - primary_)) {
                sub_[base + k] = entry;
            }
        }
        return true;
    }
    // The next symbol, -1 for a code the lengths leave unused.
    int Decode(Bits& in) const {
        in.Need();
        uint32_t bits = in.Peek();
        uint32_t e = table_[bits & ((1u << primary_) - 1)];
        if (e & kLink) e = sub_[(e >> 8) + ((bits >> primary_) & ((1u << subBits_) - 1))];
        int len = static_cast<int>(e & 0x1F);
        if (len == 0) return -1;
        in.Drop(len);
        return static_cast<int>(e >> 8);
    }

private:
    static constexpr uint32_t kLink = 0x80;
    int primary_ = 0, subBits_ = 0;
    std::vector<uint32_t> table_, sub_;
};

// The decoded output: the last window of history plus bytes not yet emitted.
class Window {
public:
    Window(size_t window, size_t longest, const EmitFn& emit)
        : window_(window), longest_(longest), emit_(emit), buf_(window + kChunk + longest + 16) {}
    // Room for a literal or a copy of the longest length.
    bool Ensure() {
        if (pos_ + longest_ <= window_ + kChunk) return true;
        if (!Flush()) return false;
        size_t keep = pos_ < window_ ? pos_ : window_;
        std::memmove(buf_.data(), buf_.data() + pos_ - keep, keep);
        pos_ = flushed_ = keep;
        return true;
    }
    void Put(uint8_t b) { buf_[pos_++] = b; }
    uint8_t* Room() { return buf_.data() + pos_; }
    size_t Space() const { return window_ + kChunk - pos_; }
    void Advance(size_t n) { pos_ += n; }
    // False for a distance before the first byte of the stream.
    bool Copy(size_t distance, size_t len) {
        if (distance > total_ + (pos_ - flushed_)) return false;
        uint8_t* dst = buf_.data() + pos_;
        const uint8_t* src = dst - distance;
        if (distance >= 8) {
            for (size_t i = 0; i < len; i += 8) std::memcpy(dst + i, src + i, 8);
        } else {
            for (size_t i = 0; i < len; ++i) dst[i] = src[i];
        }
        pos_ += len;
        return true;
    }
    bool Flush() {
        size_t n = pos_ - flushed_;
        if (n == 0) return true;
        total_ += n;
        size_t from = flushed_;
        flushed_ = pos_;
        return emit_(buf_.data() + from, n);
    }

private:
    static constexpr size_t kChunk = 256 << 10;
    size_t window_, longest_;
    const EmitFn& emit_;
    std::vector<uint8_t> buf_;
    size_t pos_ = 0, flushed_ = 0;
    uint64_t total_ = 0;  // bytes emitted
};

class Inflater {
public:
    Inflater(DeflateVariant v, const PullFn& pull, const EmitFn& emit)
        : wide_(v == DeflateVariant::Deflate64),
          in_(pull),
          out_(wide_ ? 65536 : 32768, wide_ ? 65538 : 258, emit) {}

    ZipStatus Run() {
        bool last = false;
        while (!last) {
            last = in_.Take(1);
            uint32_t type = in_.Take(2);
            ZipStatus st = type == 0   ? Stored()
                           : type == 1 ? Fixed()
                           : type == 2 ? Dynamic()
                                       : ZipStatus::Broken;
            if (st != ZipStatus::Ok) return st;
        }
        if (in_.Failed()) return ZipStatus::ReadError;
        if (in_.Overrun()) return ZipStatus::Broken;
        return out_.Flush() ? ZipStatus::Ok : ZipStatus::Stopped;
    }

private:
    ZipStatus Stored() {
        in_.AlignToByte();
        uint32_t len = in_.Take(16), nlen = in_.Take(16);
        if ((len ^ 0xFFFF) != nlen) return ZipStatus::Broken;
        while (len > 0) {
            if (!out_.Ensure()) return ZipStatus::Stopped;
            size_t n = std::min<size_t>(len, out_.Space());
            for (size_t i = 0; i < n; ++i) out_.Put(static_cast<uint8_t>(in_.Take(8)));
            len -= static_cast<uint32_t>(n);
            if (in_.Overrun()) return in_.Failed() ? ZipStatus::ReadError : ZipStatus::Broken;
        }
        return ZipStatus::Ok;
    }

    ZipStatus Fixed() {
        uint8_t len[288 + 32];
        FixedCodeLengths(len);
        if (!lit_.Build(len, 288, 9) || !dist_.Build(len + 288, 32, 5)) return ZipStatus::Broken;
        return Codes();
    }

    ZipStatus Dynamic() {
        int nlit = static_cast<int>(in_.Take(5)) + 257;
        int ndist = static_cast<int>(in_.Take(5)) + 1;
        int nclen = static_cast<int>(in_.Take(4)) + 4;
        if (nlit > 286 || (!wide_ && ndist > 30)) return ZipStatus::Broken;
        uint8_t clen[19] = {};
        for (int i = 0; i < nclen; ++i)
            clen[kCodeLengthOrder[i]] = static_cast<uint8_t>(in_.Take(3));
        Code lengths;
        if (!lengths.Build(clen, 19, 7)) return ZipStatus::Broken;
        uint8_t len[286 + 32] = {};
        for (int i = 0; i < nlit + ndist;) {
            int sym = lengths.Decode(in_);
            if (sym < 0) return ZipStatus::Broken;
            if (sym < 16) {
                len[i++] = static_cast<uint8_t>(sym);
                continue;
            }
            uint8_t value = 0;
            int repeat;
            if (sym == 16) {
                if (i == 0) return ZipStatus::Broken;
                value = len[i - 1];
                repeat = 3 + static_cast<int>(in_.Take(2));
            } else if (sym == 17) {
                repeat = 3 + static_cast<int>(in_.Take(3));
            } else {
                repeat = 11 + static_cast<int>(in_.Take(7));
            }
            if (i + repeat > nlit + ndist) return ZipStatus::Broken;
            while (repeat-- > 0) len[i++] = value;
        }
        if (len[256] == 0) return ZipStatus::Broken;  // no end-of-block code
        if (!lit_.Build(len, nlit, 10) || !dist_.Build(len + nlit, ndist, 8))
            return ZipStatus::Broken;
        if (in_.Overrun()) return in_.Failed() ? ZipStatus::ReadError : ZipStatus::Broken;
        return Codes();
    }

    ZipStatus Codes() {
        for (;;) {
            if (!out_.Ensure()) return ZipStatus::Stopped;
            int sym = lit_.Decode(in_);
            if (sym < 256) {
                if (sym < 0) return ZipStatus::Broken;
                // Past the end the padding's zero bits can decode as
                // literals for ever: stop at the first one (found by
                // zip_inflate_fuzz).
                if (in_.Overrun()) return in_.Failed() ? ZipStatus::ReadError : ZipStatus::Broken;
                out_.Put(static_cast<uint8_t>(sym));
                continue;
            }
            if (sym == 256) break;
            sym -= 257;
            if (sym >= 29) return ZipStatus::Broken;
            size_t len = wide_ && sym == 28 ? 3 + in_.Take(16)
                                            : kLengthBase[sym] + in_.Take(kLengthExtra[sym]);
            int d = dist_.Decode(in_);
            if (d < 0 || (!wide_ && d >= 30)) return ZipStatus::Broken;
            size_t dist = kDistBase[d] + in_.Take(kDistExtra[d]);
            if (!out_.Copy(dist, len)) return ZipStatus::Broken;
            if (in_.Overrun()) return in_.Failed() ? ZipStatus::ReadError : ZipStatus::Broken;
        }
        if (in_.Overrun()) return in_.Failed() ? ZipStatus::ReadError : ZipStatus::Broken;
        return ZipStatus::Ok;
    }

    bool wide_;
    Bits in_;
    Window out_;
    Code lit_, dist_;
};

}  // namespace

ZipStatus Inflate(DeflateVariant variant, const PullFn& pull, const EmitFn& emit) {
    Inflater inflater(variant, pull, emit);
    return inflater.Run();
}

}  // namespace kt::zip
