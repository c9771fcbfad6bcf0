// One reading pass over an archive through libarchive, for the libraries
// whose formats libarchive decodes (tar and its compressed kinds, CAB, RAR):
// member headers in stored order, then each member's data in blocks.
#pragma once

#include <sys/types.h>

#include <archive.h>

#include <cstdint>
#include <memory>
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
    bool sizeKnown = false;  // the header declares size: the data must be exactly that long
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
    bool split = false;  // a part of a member spread over volumes
    // The halves of split: the data began in an earlier volume, or goes on
    // in a later one (a member read over a whole set has neither).
    bool splitBefore = false;
    bool splitAfter = false;
};
// How far a scan got: to the format's end mark, to the end of the file
// before that mark (the archive was cut short: damage, whatever libarchive
// makes of it), or not through headers it could read; or the file is longer
// than the length its header states (bytes no reader sees: damage too).
// Broken: a header read whole holds fields that run past its own stated
// size, or lengths past the record that holds them. That is damage, and
// libarchive 3.6 reads such fields on into the bytes that follow, takes
// garbage for a length and ends the whole process when it cannot allocate
// it; the file is refused before libarchive sees it.
enum class ScanEnd { Unreadable, Complete, CutShort, LengthDiffers, Broken };
using ScanFacts = ScanEnd (*)(const std::string& path, std::vector<MemberFacts>* facts);

// Turns on the formats one library reads (every compression filter is on
// already), with the reader options they need.
using EnableFormats = void (*)(struct archive*);

// Members in stored order, then each one's data in blocks: what listing,
// testing and extraction read, whoever decodes the format.
class MemberSource {
public:
    virtual ~MemberSource() = default;
    // Opens the file and checks that it is an archive of the format. 0, or
    // ERROR_NOT_ARC_FILE / ERROR_ARC_FILE_OPEN with *error telling why.
    virtual int Open(const std::string& path, std::string* error) = 0;
    // The next header: 0 with *m filled, -1 at the end, else an error code.
    virtual int Next(Member* m, std::string* error) = 0;
    // The current member's data: bytes read (0 at its end), or -1 when it
    // cannot be decoded or differs from its stored check value (*error
    // tells why, DataError() gives the code).
    virtual long long Read(void* buffer, std::size_t size, std::string* error) = 0;
    virtual int DataError() const = 0;
    // Checks what is left of the file where a check covers all of it (the
    // gzip CRC-32 and length), once the members are read or the caller
    // stops early; listing alone does not need it. 0, or an error code.
    virtual int CheckRest(std::string*) { return 0; }
    // The outer compression and the container of the opened file, in the
    // library's own numbering (ARCHIVE_FILTER_* / ARCHIVE_FORMAT_* for
    // libarchive).
    virtual int Filter() const { return 0; }
    virtual int Format() const { return 0; }
};

// The formats one library reads, as the reading parts of the library use
// them.
struct ReadingFormats {
    EnableFormats enable;
    // szMode of a member, from the file's compression and container.
    std::string (*method)(int filter, int format);
    // When set, its facts are added to the members libarchive reads.
    ScanFacts scan = nullptr;
    // A reader of the library's own instead of libarchive.
    std::unique_ptr<MemberSource> (*make)() = nullptr;
    // Members share checked blocks (a cabinet's data blocks, a solid
    // stream): damage found in one member's data may lie in bytes an
    // earlier member already handed out.
    bool sharedBlocks = false;
    // The files of a volume set that starts at the given one, it first, in
    // order (only it when it is no volume or none follows beside it).
    std::vector<std::string> (*volumes)(const std::string& path) = nullptr;
};

// The reader for the formats: the library's own, else libarchive.
std::unique_ptr<MemberSource> MakeReader(const ReadingFormats& formats);

class ArchiveReader : public MemberSource {
public:
    explicit ArchiveReader(const ReadingFormats& formats);
    ~ArchiveReader() override;
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Reads the first header in Open, so that a file of another kind is
    // refused there.
    int Open(const std::string& path, std::string* error) override;
    int Next(Member* m, std::string* error) override;
    // Also fails on a CRC-32 that differs from the one the scan found.
    long long Read(void* buffer, std::size_t size, std::string* error) override;
    int DataError() const override { return dataError_; }
    // The gzip CRC-32 and length of the rest of the file.
    int CheckRest(std::string* error) override;
    int Filter() const override { return filter_; }
    int Format() const override { return format_; }

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
    ScanEnd scanEnd_ = ScanEnd::Unreadable;
    bool split_ = false;  // the current member continues in a volume not read
    uint32_t storedCrc_ = 0;
    uint32_t crc_ = 0;
    int dataError_ = 0;
    // libarchive failed inside a member's data: its place in the file is
    // lost, and skipping on from there is where libarchive 3.6 has been
    // seen to crash (a cabinet that claims more data blocks than it has),
    // so no further member is read.
    bool lost_ = false;
    std::string path_;
    std::vector<std::string> volumes_;  // of a volume set read as one
    std::vector<std::string> (*volumesOf_)(const std::string&) = nullptr;
    bool pending_ = false;  // the first header, read by Open, not yet handed out
    Member first_;
    int filter_ = 0;
    int format_ = 0;
};

// The error text libarchive gives for the handle, or `fallback`.
std::string ErrorText(struct archive* a, const char* fallback);

}  // namespace kt::unpack
