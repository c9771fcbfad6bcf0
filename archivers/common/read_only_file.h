// A regular file opened for reading at any offset (pread), as the archive
// readers use it; the descriptor closes with the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kt::arc {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False, with errno set, when the path cannot be opened or is not a
    // regular file (a folder, a FIFO: reading one would block or fail).
    bool Open(const std::string& path);
    // Up to n bytes at offset; the count (short at the end), -1 on error.
    long long ReadAt(uint64_t offset, void* buf, std::size_t n) const;
    uint64_t Size() const { return size_; }
    int Fd() const { return fd_; }

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};

}  // namespace kt::arc
