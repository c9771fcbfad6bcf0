// An archive opened for reading: the file, its directory, and the pattern
// matching of member names shared by every command and the search entries.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "archivers/common/unique_fd.h"
#include "platform/archiver_api.h"
#include "archivers/zip_container/zip_reader.h"

namespace kt::unzip32 {

class OpenedArchive {
public:
    OpenedArchive() = default;
    OpenedArchive(const OpenedArchive&) = delete;
    OpenedArchive& operator=(const OpenedArchive&) = delete;

    // 0, or the error code with `error` telling why.
    int Open(const std::string& path, std::string& error);
    const kt::zip::ByteSource& Source() const { return *source_; }
    const kt::zip::ZipDirectory& Directory() const { return dir_; }
    const std::string& Path() const { return path_; }

private:
    kt::arc::UniqueFd fd_;  // before source_, which reads through it
    std::string path_;
    std::unique_ptr<kt::zip::FdSource> source_;
    kt::zip::ZipDirectory dir_;
};

// Why the entries of a directory share bytes ("" when none does): every
// entry's local header and data must end before the next entry's local
// header, and the last before the central directory. Entries pointing at
// one stream many times would make a small file extract to gigabytes.
std::string OverlapIn(const kt::zip::ZipDirectory& dir);

// True when the stored name matches one of the patterns (all names match an
// empty list). A pattern names a folder's members too ("docs" and "docs/").
bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name);

// Entry details for the fixed records of the interface.
void FillIndividualInfo(const kt::zip::ZipEntry& e, INDIVIDUALINFO& info);
void FillExtractingInfo(const kt::zip::ZipEntry& e, const std::string& dest,
                        EXTRACTINGINFOEX& info);
std::string MethodText(const kt::zip::ZipEntry& e);
std::string AttributeText(const kt::zip::ZipEntry& e);

}  // namespace kt::unzip32
