#include "archivers/zip_container/zip_io.h"
#include "platform/fault_injection.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kt::zip {

bool MemorySource::ReadAt(uint64_t offset, void* buffer, size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) std::memcpy(buffer, data_ + offset, n);
    return true;
}

bool FdSource::ReadAt(uint64_t offset, void* buffer, size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<uint8_t*>(buffer);
    while (n > 0) {
        ssize_t got = pread(fd_, p, n, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<size_t>(got);
        offset += static_cast<uint64_t>(got);
    }
    return true;
}

namespace {
bool WriteAllAt(int fd, const uint8_t* p, size_t n, uint64_t offset) {
    while (n > 0) {
        ssize_t put = kt::fault::PWrite(fd, p, n, static_cast<off_t>(offset));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        p += put;
        n -= static_cast<size_t>(put);
        offset += static_cast<uint64_t>(put);
    }
    return true;
}
}  // namespace

bool FdOutput::Write(const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (buffer_.size() + n > kBufferLimit) {
        if (!Flush()) return false;
        if (n >= kBufferLimit) {
            if (!WriteAllAt(fd_, p, n, flushed_)) return false;
            flushed_ += n;
            return true;
        }
    }
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
}

bool FdOutput::WriteAt(uint64_t offset, const void* data, size_t n) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (offset >= flushed_) {
        // Still in the buffer.
        uint64_t at = offset - flushed_;
        if (at + n > buffer_.size()) return false;
        std::memcpy(buffer_.data() + at, p, n);
        return true;
    }
    if (offset + n > flushed_) {
        if (!Flush()) return false;
    }
    return WriteAllAt(fd_, p, n, offset);
}

bool FdOutput::Flush() {
    if (buffer_.empty()) return true;
    if (!WriteAllAt(fd_, buffer_.data(), buffer_.size(), flushed_)) return false;
    flushed_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool MemoryOutput::Write(const void* data, size_t n) {
    bytes.append(static_cast<const char*>(data), n);
    return true;
}

bool MemoryOutput::WriteAt(uint64_t offset, const void* data, size_t n) {
    if (offset > bytes.size() || n > bytes.size() - offset) return false;
    std::memcpy(bytes.data() + offset, data, n);
    return true;
}

}  // namespace kt::zip
