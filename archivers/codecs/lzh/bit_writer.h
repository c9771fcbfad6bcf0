// MSB-first bit writer into a byte vector, and a counter with the same
// interface that only sums bits (for pricing a block before writing it).
#pragma once

#include <cstdint>
#include <vector>

namespace kt::lzh {

class BitWriter {
public:
    // Appends the low n bits of v (n <= 32), most significant first.
    void Put(uint32_t v, int n) {
        if (n == 0) return;
        acc_ = (acc_ << n) | (v & ((n == 32) ? 0xFFFFFFFFu : ((1u << n) - 1)));
        count_ += n;
        while (count_ >= 8) {
            count_ -= 8;
            out_.push_back(static_cast<uint8_t>(acc_ >> count_));
        }
    }
    // Pads the last byte with zero bits; returns how many were added.
    int FlushBits() {
        int pad = count_ > 0 ? 8 - count_ : 0;
        Put(0, pad);
        return pad;
    }
    std::vector<uint8_t>& Bytes() { return out_; }

private:
    uint64_t acc_ = 0;
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
