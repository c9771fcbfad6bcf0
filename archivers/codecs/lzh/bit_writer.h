// MSB-first bit writer into a byte vector, and a counter with the same
// interface that only sums bits (for pricing a block before writing it).
#pragma once

#include <algorithm>
#include <cstddef>
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
        if (count_ >= 32) StoreWord();
    }
    // Put for n below 32, 0 included, without a branch on n.
    void PutShort(uint32_t v, int n) {
        acc_ = (acc_ << n) | (v & ((1u << n) - 1));
        count_ += n;
        if (count_ >= 32) StoreWord();
    }
    // Moves every whole byte gathered into the output, then pads the last
    // with zero bits; returns how many were added.
    int FlushBits() {
        Grow(5);
        while (count_ >= 8) {
            count_ -= 8;
            room_[size_++] = static_cast<uint8_t>(acc_ >> count_);
        }
        int pad = count_ > 0 ? 8 - count_ : 0;
        if (pad > 0) {
            room_[size_++] = static_cast<uint8_t>(acc_ << pad);
            count_ = 0;
        }
        return pad;
    }
    // The bytes written so far; up to 31 bits more wait for the next word
    // or FlushBits.
    const uint8_t* Data() const { return room_.data(); }
    std::size_t Size() const { return size_; }
    void Clear() { size_ = 0; }
    // Room for n bytes in all, so that an output of known size is never
    // copied as it grows.
    void Reserve(std::size_t n) {
        if (room_.size() < n) room_.resize(n);
    }

private:
    void StoreWord() {
        count_ -= 32;
        uint32_t w = static_cast<uint32_t>(acc_ >> count_);
        const uint8_t b[4] = {static_cast<uint8_t>(w >> 24), static_cast<uint8_t>(w >> 16),
                              static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
        // A plain store into room kept ahead: a vector insert per word was
        // a call and a copy each.
        if (room_.size() - size_ < 4) Grow(4);
        __builtin_memcpy(room_.data() + size_, b, 4);
        size_ += 4;
    }
    // Keeps room for at least n more bytes.
    [[gnu::noinline]] void Grow(std::size_t n) {
        if (room_.size() - size_ < n) room_.resize(std::max(room_.size() * 2, size_ + n + 64));
    }

    uint64_t acc_ = 0;  // the low count_ bits are pending
    int count_ = 0;
    std::vector<uint8_t> room_;  // [0, size_) written
    std::size_t size_ = 0;
};

class BitCounter {
public:
    void Put(uint32_t, int n) { bits_ += static_cast<uint64_t>(n); }
    uint64_t Bits() const { return bits_; }

private:
    uint64_t bits_ = 0;
};

}  // namespace kt::lzh
