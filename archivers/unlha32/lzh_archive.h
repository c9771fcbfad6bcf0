// An LZH archive on disk: its member list (found by walking the headers,
// after an optional self-extractor prefix) and sources over member data.
#pragma once

#include <string>
#include <vector>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/stream.h"
#include "archivers/common/read_only_file.h"
#include "lzh_header.h"

namespace kt::unlha {

class FileReader : public ByteReader {
public:
    bool Open(const std::string& path) { return file_.Open(path); }
    long long ReadAt(uint64_t offset, void* buf, std::size_t n) override {
        return file_.ReadAt(offset, buf, n);
    }
    uint64_t Size() const { return file_.Size(); }
    int Fd() const { return file_.Fd(); }

private:
    kt::arc::ReadOnlyFile file_;
};

struct Listing {
    std::vector<MemberHeader> members;
    uint64_t start = 0;  // offset of the first header (after a prefix)
    // The walk met the 0 byte that ends an LZH archive; without it the file
    // was cut at a member boundary and members may be missing.
    bool endMark = false;
};

// Reads every header. 0, or the ERROR_ code of the first broken header;
// ERROR_NOT_ARC_FILE when no header is found at all.
int ReadListing(FileReader& file, Listing* listing);

// The packed bytes of one member.
class MemberSource : public kt::lzh::Source {
public:
    MemberSource(FileReader& file, const MemberHeader& h)
        : file_(file), pos_(h.dataOffset), left_(h.packedSize) {}
    std::ptrdiff_t Read(uint8_t* buf, std::size_t n) override;

private:
    FileReader& file_;
    uint64_t pos_, left_;
};

// Opens sources over one member's packed bytes, each from the start.
kt::lzh::SourceOpener OpenMember(FileReader& file, const MemberHeader& h);

}  // namespace kt::unlha
