// Byte sources the reader works on and the output the writer fills. The
// codec never opens files by name: callers hand it a descriptor or memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kt::zip {

// Random-access bytes (an archive or a file to add).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Reads exactly n bytes at offset; false on a short read or an error.
    virtual bool ReadAt(uint64_t offset, void* buffer, size_t n) const = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override;

private:
    const uint8_t* data_;
    size_t size_;
};

// An open file descriptor, read with pread; the descriptor stays the caller's.
class FdSource final : public ByteSource {
public:
    FdSource(int fd, uint64_t size) : fd_(fd), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* buffer, size_t n) const override;

private:
    int fd_;
    uint64_t size_;
};

// Sequential output with the ability to patch bytes already written (local
// headers get their sizes after the data is known).
class ZipOutput {
public:
    virtual ~ZipOutput() = default;
    virtual bool Write(const void* data, size_t n) = 0;
    virtual bool WriteAt(uint64_t offset, const void* data, size_t n) = 0;
    virtual uint64_t Position() const = 0;
    virtual bool Flush() = 0;
};

// Buffered output to a file descriptor that is the caller's to close.
class FdOutput final : public ZipOutput {
public:
    explicit FdOutput(int fd, uint64_t start = 0) : fd_(fd), flushed_(start) {}
    ~FdOutput() override = default;
    bool Write(const void* data, size_t n) override;
    bool WriteAt(uint64_t offset, const void* data, size_t n) override;
    uint64_t Position() const override { return flushed_ + buffer_.size(); }
    bool Flush() override;

private:
    int fd_;
    uint64_t flushed_;
    std::vector<uint8_t> buffer_;
    static constexpr size_t kBufferLimit = 1 << 20;
};

// Output into memory (tests, fuzzing, small archives).
class MemoryOutput final : public ZipOutput {
public:
    bool Write(const void* data, size_t n) override;
    bool WriteAt(uint64_t offset, const void* data, size_t n) override;
    uint64_t Position() const override { return bytes.size(); }
    bool Flush() override { return true; }
    std::string bytes;
};

}  // namespace kt::zip
