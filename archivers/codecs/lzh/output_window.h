// The decoders' sliding window: a linear buffer holding the last window of
// output (pre-filled with spaces, as LZH decoders traditionally are) and
// the bytes not yet handed to the sink, with the CRC taken as bytes leave.
#pragma once

#include <cstring>
#include <vector>

#include "crc16.h"
#include "stream.h"

namespace kt::lzh {

class OutputWindow {
public:
    OutputWindow(std::size_t window, Sink& sink)
        : window_(window), chunk_(window < (1u << 18) ? (1u << 18) : window), sink_(sink) {
        buf_.resize(window_ + chunk_ + kSlack);
        std::memset(buf_.data(), ' ', window_);
        pos_ = flushed_ = window_;
    }
    // Room for at least one literal or copy of up to 256 bytes.
    bool Ensure() {
        if (pos_ + 256 <= window_ + chunk_) return true;
        if (!Flush()) return false;
        std::memmove(buf_.data(), buf_.data() + pos_ - window_, window_);
        pos_ = flushed_ = window_;
        return true;
    }
    void Put(uint8_t b) { buf_[pos_++] = b; }
    // Copies len bytes from distance back (1 = previous byte); distance <= window.
    void Copy(std::size_t distance, std::size_t len) {
        uint8_t* dst = buf_.data() + pos_;
        const uint8_t* src = dst - distance;
        if (distance >= 8) {
            // 8-byte steps may read bytes written by the same copy only when
            // the distance is below 8, which the other branch handles.
            for (std::size_t i = 0; i < len; i += 8) std::memcpy(dst + i, src + i, 8);
        } else {
            for (std::size_t i = 0; i < len; ++i) dst[i] = src[i];
        }
        pos_ += len;
    }
    bool Flush() {
        std::size_t n = pos_ - flushed_;
        if (n == 0) return true;
        crc_ = Crc16Update(crc_, buf_.data() + flushed_, n);
        written_ += n;
        flushed_ = pos_;
        return sink_.Write(buf_.data() + pos_ - n, n);
    }
    uint16_t Crc() const { return crc_; }
    uint64_t Written() const { return written_; }

private:
    static constexpr std::size_t kSlack = 256 + 16;
    std::size_t window_, chunk_;
    Sink& sink_;
    std::vector<uint8_t> buf_;
    std::size_t pos_ = 0, flushed_ = 0;
    uint16_t crc_ = 0;
    uint64_t written_ = 0;
};

}  // namespace kt::lzh
