// MSB-first bit reader over a Source, with a 64-bit buffer. Past the end of
// the source it supplies zero bits, but counts them: a stream that needs
// more than a few of those is truncated, and the decoders stop at once
// instead of producing garbage up to the announced size.
#pragma once

#include <cstdint>
#include <vector>

#include "stream.h"

namespace kt::lzh {

class BitReader {
public:
    explicit BitReader(Source& src) : src_(src), buf_(kBufSize + 8) { Refill(); }

    // The next n bits (n <= 32) without consuming them; valid after Refill
    // guaranteed at least n bits.
    uint32_t Peek(int n) const { return static_cast<uint32_t>(bits_ >> (64 - n)); }
    void Skip(int n) {
        bits_ <<= n;
        count_ -= n;
    }
    // Makes at least 56 bits available.
    void Refill() {
        if (count_ > 56) return;
        if (end_ - pos_ >= 8) {
            uint64_t w = 0;
            for (int i = 0; i < 8; ++i) w = w << 8 | buf_[pos_ + i];
            bits_ |= w >> count_;
            int bytes = (63 - count_) >> 3;
            pos_ += bytes;
            count_ += bytes * 8;
            return;
        }
        RefillSlow();
    }
    uint32_t Get(int n) {
        if (n == 0) return 0;
        if (count_ < n) Refill();
        uint32_t v = Peek(n);
        Skip(n);
        return v;
    }
    // True once more zero bytes were invented past the end than any valid
    // stream needs for its look-ahead.
    bool Overrun() const {
        return padded_ > 0 && padded_ * 8 > static_cast<uint64_t>(count_ > 0 ? count_ : 0) + 32;
    }
    bool Failed() const { return failed_; }

private:
    static constexpr std::size_t kBufSize = 1 << 16;

    void RefillSlow() {
        while (count_ <= 56) {
            if (pos_ == end_) {
                if (!eof_) {
                    std::ptrdiff_t got = src_.Read(buf_.data(), kBufSize);
                    if (got < 0) {
                        failed_ = true;
                        eof_ = true;
                    } else if (got == 0) {
                        eof_ = true;
                    }
                    pos_ = 0;
                    end_ = got > 0 ? static_cast<std::size_t>(got) : 0;
                    if (end_ >= 8) {
                        Refill();
                        continue;
                    }
                }
                if (pos_ == end_) {
                    ++padded_;
                    count_ += 8;
                    continue;
                }
            }
            bits_ |= static_cast<uint64_t>(buf_[pos_++]) << (56 - count_);
            count_ += 8;
        }
    }

    Source& src_;
    std::vector<uint8_t> buf_;
    std::size_t pos_ = 0, end_ = 0;
    uint64_t bits_ = 0;
    int count_ = 0;
    uint64_t padded_ = 0;
    bool eof_ = false;
    bool failed_ = false;
};

}  // namespace kt::lzh
