#include "lzh_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archivers/common/read_only_file.h"
#include "platform/archiver_api.h"

namespace kt::unlha {

namespace {

// Looks for the first header inside a self-extractor or other prefix.
bool FindFirstHeader(FileReader& file, uint64_t* start) {
    constexpr std::size_t kScan = 1 << 20;
    std::vector<uint8_t> buf(kScan + 8);
    long long got = file.ReadAt(0, buf.data(), buf.size());
    if (got < 22) return false;
    for (long long i = 0; i + 7 < got; ++i) {
        const uint8_t* p = buf.data() + i + 2;
        if (p[0] == '-' && (p[1] == 'l') && p[4] == '-' && (p[2] == 'h' || p[2] == 'z')) {
            MemberHeader h;
            if (ReadHeader(file, static_cast<uint64_t>(i), &h) == 0 && h.End() <= file.Size()) {
                *start = static_cast<uint64_t>(i);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

int ReadListing(FileReader& file, Listing* listing) {
    listing->members.clear();
    MemberHeader h;
    int r = ReadHeader(file, 0, &h);
    uint64_t off = 0;
    if (r != 0) {
        if (!FindFirstHeader(file, &off)) return ERROR_NOT_ARC_FILE;
    }
    listing->start = off;
    while (true) {
        r = ReadHeader(file, off, &h);
        if (r == -1) {
            listing->endMark = off < file.Size();
            break;
        }
        if (r != 0) return r;
        if (h.End() > file.Size()) return ERROR_UNEXPECTED_EOF;
        off = h.End();
        listing->members.push_back(std::move(h));
        if (listing->members.size() > 10000000) return ERROR_TOO_MANY_FILES;
    }
    return 0;
}

std::ptrdiff_t MemberSource::Read(uint8_t* buf, std::size_t n) {
    return kt::arc::ReadStretch(file_, pos_, left_, buf, n);
}

kt::lzh::SourceOpener OpenMember(FileReader& file, const MemberHeader& h) {
    return [&file, &h] { return std::make_unique<MemberSource>(file, h); };
}

}  // namespace kt::unlha
