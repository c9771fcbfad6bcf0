// What a library over ArchiveReader answers without extracting: the member
// list behind OpenArchive / FindFirst / FindNext, the archive check, and
// the matching of member names against the names of a command.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archive_reader.h"
#include "archivers/common/library_shell.h"

namespace kt::unpack {

// Whether `pattern` (wildcards allowed) names the member `name`: the whole
// stored path, a folder the member lies in, or, unless wholePathOnly and
// when the pattern has no folder part, the last part of the name.
bool NameMatches(const std::string& pattern, const std::string& name, bool wholePathOnly);
// All names match an empty list.
bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name,
                bool wholePathOnly);

struct ArchiveContents {
    std::vector<Member> members;
    int filter = 0;  // ARCHIVE_FILTER_* of the file
    int format = 0;  // ARCHIVE_FORMAT_* of the file
};

// Every header of the archive. 0, or the error code with *error.
int ReadContents(const ReadingFormats& formats, const std::string& path, ArchiveContents* contents,
                 std::string* error);

// The search list of one OpenArchive; `method` is what szMode shows.
class ContentsListing : public kt::arc::MemberListing {
public:
    ContentsListing(ArchiveContents contents, std::string method)
        : contents_(std::move(contents)), method_(std::move(method)) {}
    std::size_t Count() const override { return contents_.members.size(); }
    bool Matches(std::size_t i, const std::string& wildName) const override;
    void Fill(std::size_t i, INDIVIDUALINFO& info) const override;

private:
    ArchiveContents contents_;
    std::string method_;
};

// CheckArchive: every header readable and at least one member; with
// CHECKARCHIVE_FULLCRC every member's data decodes as well.
bool CheckContents(const ReadingFormats& formats, const std::string& path, int mode);

}  // namespace kt::unpack
