// A reader of GZA and BZA archives (BGA32.DLL's formats): a run of members,
// each a 28-byte header, its folder and file names, then its data packed
// on its own (deflate for GZA, bzip2 for BZA).
//
// What no public source confirms is read leniently: the header checksum
// (offset 0) is not checked; the date, time and attribute bytes are taken
// as MS-DOS fields only when they look like them; the names are CP932,
// folder first; the data is recognised by its own signature (a gzip or
// bzip2 stream, else raw deflate) and taken as stored when it is not
// packed and as long as the original. Whatever is decoded must come to the
// original size the header gives, or the member is damaged.
#pragma once

#include <bzlib.h>
#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "archivers/common/unique_fd.h"
#include "archivers/unpack/archive_reader.h"

namespace kt::bga32 {

// Format() of a GZA and of a BZA archive.
constexpr int kGza = 1;
constexpr int kBza = 2;

class BgaReader : public kt::unpack::MemberSource {
public:
    ~BgaReader() override;
    int Open(const std::string& path, std::string* error) override;
    int Next(kt::unpack::Member* m, std::string* error) override;
    long long Read(void* buffer, std::size_t size, std::string* error) override;
    int DataError() const override { return dataError_; }
    int Format() const override { return format_; }

private:
    enum class Coding { Stored, Deflate, Bzip2 };
    void EndCoding();
    bool Fill();
    long long Fail(const std::string& why, std::string* error);

    kt::arc::UniqueFd fd_;
    uint64_t size_ = 0;
    uint64_t next_ = 0;  // where the next header starts
    int format_ = 0;
    int dataError_ = 0;
    // The current member's data.
    Coding coding_ = Coding::Stored;
    uint64_t start_ = 0, packed_ = 0;  // where the packed bytes start, how many
    uint64_t at_ = 0, left_ = 0;       // unread packed bytes
    uint64_t original_ = 0, produced_ = 0;
    bool ended_ = false;
    z_stream z_{};
    bool zActive_ = false;
    bz_stream bz_{};
    bool bzActive_ = false;
    std::vector<char> in_;
    std::size_t inPos_ = 0, inLen_ = 0;
};

// What BGA32.DLL reads, through BgaReader.
extern const kt::unpack::ReadingFormats kBgaFormats;

}  // namespace kt::bga32
