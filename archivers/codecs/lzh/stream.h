// The stream ends of the codec: a source of bytes and a sink for bytes. The
// codec reads and writes only through these, so callers decide where data
// lives (files, memory, a counted window of an archive).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace kt::lzh {

enum class Status {
    Ok,
    BadData,        // the compressed stream is malformed (bad tree, bad distance)
    UnexpectedEnd,  // the compressed stream ended before the original size was produced
    ReadError,      // the source failed (or its owner stopped it)
    WriteError,     // the sink failed (or its owner stopped it)
    NotSmaller,     // the encoder gave up: the output would not be smaller
    Unsupported,    // a method this codec does not handle
};

class Source {
public:
    virtual ~Source() = default;
    // Up to n bytes into buf; the count, 0 at the end, -1 on failure.
    virtual std::ptrdiff_t Read(uint8_t* buf, std::size_t n) = 0;
};

class Sink {
public:
    virtual ~Sink() = default;
    virtual bool Write(const uint8_t* data, std::size_t n) = 0;
};

class MemorySource : public Source {
public:
    MemorySource(const void* data, std::size_t size)
        : p_(static_cast<const uint8_t*>(data)), left_(size) {}
    std::ptrdiff_t Read(uint8_t* buf, std::size_t n) override {
        if (n > left_) n = left_;
        std::memcpy(buf, p_, n);
        p_ += n;
        left_ -= n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    const uint8_t* p_;
    std::size_t left_;
};

class VectorSink : public Sink {
public:
    bool Write(const uint8_t* data, std::size_t n) override {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }
    std::vector<uint8_t> bytes;
};

}  // namespace kt::lzh
