// A regular file opened for reading at any offset (pread), as the archive
// readers use it; the descriptor closes with the object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archivers/common/unique_fd.h"

namespace kt::arc {

class ReadOnlyFile {
public:
    ReadOnlyFile() = default;
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

    // False, with errno set, when the path cannot be opened or is not a
    // regular file (a folder, a FIFO: reading one would block or fail).
    bool Open(const std::string& path);
    // Up to n bytes at offset; the count (short at the end), -1 on error.
    long long ReadAt(uint64_t offset, void* buf, std::size_t n) const;
    uint64_t Size() const { return size_; }
    int Fd() const { return fd_.get(); }

private:
    UniqueFd fd_;
    uint64_t size_ = 0;
};

// Up to n bytes of the stretch [pos, pos + left) of `file` (anything with
// ReadAt, as the archive readers' files have), moving the stretch on: a
// member's packed bytes read as one stream. The count, 0 at the stretch's
// end, -1 on a read error.
template <class File>
std::ptrdiff_t ReadStretch(File& file, uint64_t& pos, uint64_t& left, uint8_t* buf, std::size_t n) {
    if (n > left) n = static_cast<std::size_t>(left);
    if (n == 0) return 0;
    const long long got = file.ReadAt(pos, buf, n);
    if (got < 0) return -1;
    pos += static_cast<uint64_t>(got);
    left -= static_cast<uint64_t>(got);
    return static_cast<std::ptrdiff_t>(got);
}

}  // namespace kt::arc
