// The bytes of a gzip file, decompressed here rather than by libarchive,
// whose gzip reader does not check the stored CRC-32 and length: every
// gzip member is checked, so a damaged archive is reported, not extracted
// wrong without a word. Concatenated members are one stream, as gzip reads
// them; bytes after the last member are ignored, as gzip does.
#pragma once

#include <zlib.h>

#include <string>
#include <vector>

#include "archivers/common/unique_fd.h"

namespace kt::unpack {

class GzipInput {
public:
    GzipInput() = default;
    ~GzipInput();
    GzipInput(const GzipInput&) = delete;
    GzipInput& operator=(const GzipInput&) = delete;

    // Whether the file is gzip (by its first bytes); false leaves nothing open.
    bool Open(const std::string& path);
    // The next decompressed bytes: their count, 0 at the end, -1 on damage
    // (Error() tells why).
    long long Read(const void** data);
    // Reads what is left, checking it; false on damage.
    bool Finish();
    // Whether a member's stored CRC-32 or length disagreed with its data.
    // Its bytes were still handed out (the headers of the archive inside
    // stay readable for a listing); whoever writes them must ask here.
    bool TrailerBad() const { return !trailerError_.empty(); }
    const std::string& Error() const { return error_.empty() ? trailerError_ : error_; }

private:
    bool Fill();

    kt::arc::UniqueFd fd_;
    z_stream z_{};
    bool inflating_ = false;
    bool end_ = false;
    bool inMember_ = false;  // between a member's header and its trailer
    std::vector<unsigned char> in_, out_;
    std::string error_;
    std::string trailerError_;
};

}  // namespace kt::unpack
