// One reading pass over an archive through libarchive, for the libraries
// whose formats libarchive decodes (tar and its compressed kinds, CAB, RAR):
// member headers in stored order, then each member's data in blocks.
#pragma once

#include <sys/types.h>

#include <archive.h>

#include <cstdint>
#include <string>
#include <vector>

#include "gzip_input.h"
#include "utf8_locale.h"

struct archive;

namespace kt::unpack {

// One stored member, its name as UTF-8 with "/" between parts.
struct Member {
    enum class Kind { File, Folder, Symlink, Hardlink, Other };
    std::string name;
    std::string link;  // target of a symbolic or hard link
    Kind kind = Kind::File;
    uint64_t size = 0;
    int64_t mtime = 0;
    uint32_t mode = 0644;
    bool encrypted = false;
    bool hasCrc = false;  // crc holds the CRC-32 the data must have
    uint32_t crc = 0;
    bool IsFolder() const { return kind == Kind::Folder; }
};

// What a library's own scan of the headers knows of one member beyond what
// libarchive tells: the stored CRC-32 (checked here where libarchive does
// not) and the encryption mark. One entry per member, in stored order.
struct MemberFacts {
    bool folder = false;
    bool encrypted = false;
    bool hasCrc = false;
    uint32_t crc = 0;
};
using ScanFacts = bool (*)(const std::string& path, std::vector<MemberFacts>* facts);

// Turns on the formats one library reads (every compression filter is on
// already), with the reader options they need.
using EnableFormats = void (*)(struct archive*);

// The formats one library reads, as the reading parts of the library use
// them.
struct ReadingFormats {
    EnableFormats enable;
    // szMode of a member, from the file's compression and container.
    std::string (*method)(int filter, int format);
    // When set, its facts are added to the members libarchive reads.
    ScanFacts scan = nullptr;
};

class ArchiveReader {
public:
    explicit ArchiveReader(const ReadingFormats& formats);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the file and reads the first header, so that a file of another
    // kind is refused here. 0, or ERROR_NOT_ARC_FILE / ERROR_ARC_FILE_OPEN
    // with *error telling why.
    int Open(const std::string& path, std::string* error);
    // The next header: 0 with *m filled, -1 at the end, else an error code.
    int Next(Member* m, std::string* error);
    // The current member's data: bytes read (0 at its end), or -1 on a
    // damaged or undecodable stream or a CRC-32 that differs from the
    // stored one (*error tells why, DataError() gives the code).
    long long Read(void* buffer, std::size_t size, std::string* error);
    int DataError() const { return dataError_; }
    // Checks what is left of the file where a check covers all of it (the
    // gzip CRC-32), for a caller that stops before the last member. 0, or
    // an error code with *error.
    int CheckRest(std::string* error);

    // The outer compression (ARCHIVE_FILTER_*) and container
    // (ARCHIVE_FORMAT_*) of the opened file.
    int Filter() const { return filter_; }
    int Format() const { return format_; }

private:
    int Header(Member* m, std::string* error);

    static la_ssize_t ReadGzip(struct archive* a, void* self, const void** data);

    Utf8Locale utf8_;  // first: active before the reader is made, until it is freed
    GzipInput gzip_;   // before a_: libarchive may read from it until freed
    bool gzipped_ = false;
    struct archive* a_;
    ScanFacts scan_;
    std::vector<MemberFacts> facts_;
    std::size_t index_ = 0;  // of the next member in facts_
    bool checkCrc_ = false;  // the current member's data is checked against storedCrc_
    uint32_t storedCrc_ = 0;
    uint32_t crc_ = 0;
    int dataError_ = 0;
    std::string path_;
    bool pending_ = false;  // the first header, read by Open, not yet handed out
    Member first_;
    int filter_ = 0;
    int format_ = 0;
};

// The error text libarchive gives for the handle, or `fallback`.
std::string ErrorText(struct archive* a, const char* fallback);

}  // namespace kt::unpack
