// MSB-first bit writer into a byte vector, and a counter with the same
// interface that only sums bits (for pricing a block before writing it).
#pragma once

#include <cstdint>
#include <vector>

namespace kt::lzh {

class BitWriter {
public:
    // Appends the low n bits of v (n <= 32), most significant first. Bits
    // are gathered into 32-bit words: one store per word rather than per
    // byte is most of the speed of writing codes.
    void Put(uint32_t v, int n) {
        if (n == 0) return;
        acc_ = (acc_ << n) | (v & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
        count_ += n;
        if (count_ >= 32) {
            count_ -= 32;
            uint32_t w = static_cast<uint32_t>(acc_ >> count_);
            const uint8_t b[4] = {static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16),
                                  static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
            out_.insert(out_.end(), b, b + 4);
        }
    }
    // Moves every whole byte gathered into Bytes(), then pads the last with
    // zero bits; returns how many were added.
    int FlushBits() {
        while (count_ >= 8) {
            count_ -= 8;
            out_.push_back(static_cast<uint8_t>(acc_ >> count_));
        }
        int pad = count_ > 0 ? 8 - count_ : 0;
        if (pad > 0) {
            out_.push_back(static_cast<uint8_t>(acc_ << pad));
            count_ = 0;
        }
        return pad;
    }
    // The bytes written so far; up to 31 bits more wait for the next word
    // or FlushBits.
    std::vector<uint8_t>& Bytes() { return out_; }

private:
    uint64_t acc_ = 0;  // the low count_ bits are pending
    int count_ = 0;
    std::vector<uint8_t> out_;
};

class BitCounter {
public:
    void Put(uint32_t, int n) { bits_ += static_cast<uint64_t>(n); }
    uint64_t Bits() const { return bits_; }

private:
    uint64_t bits_ = 0;
};

}  // namespace kt::lzh
