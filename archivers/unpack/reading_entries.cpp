#include "reading_entries.h"

#include <cstdio>
#include <memory>

#include "archivers/common/file_time.h"

namespace kt::unpack {

HARC OpenForSearch(kt::arc::LibraryShell& shell, const ReadingFormats& formats, LPCSTR path) {
    return shell.Open([&]() -> std::unique_ptr<kt::arc::MemberListing> {
        if (!path) return nullptr;
        ArchiveContents contents;
        std::string error;
        if (ReadContents(formats, path, &contents, &error) != 0) return nullptr;
        std::string method = formats.method(contents.filter, contents.format);
        return std::make_unique<ContentsListing>(std::move(contents), std::move(method));
    });
}

BOOL CheckArchiveFile(const ReadingFormats& formats, LPCSTR path, int mode) {
    return kt::arc::LibraryShell::Query<BOOL>(path, FALSE, [&](const std::string& p) {
        return CheckContents(formats, p, mode) ? TRUE : FALSE;
    });
}

int CountMembers(const ReadingFormats& formats, LPCSTR path) {
    return kt::arc::LibraryShell::Query<int>(path, -1, [&](const std::string& p) {
        ArchiveContents contents;
        std::string error;
        if (ReadContents(formats, p, &contents, &error) != 0) return -1;
        return static_cast<int>(contents.members.size());
    });
}

namespace {

// Opens the archive for one command; 0 or the code, reported.
int OpenFor(MemberSource& reader, const std::string& archive, kt::arc::Report* report) {
    std::string error;
    int rc = reader.Open(archive, &error);
    if (rc && report) report->Line(archive + ": " + error);
    return rc;
}

}  // namespace

int RunExtract(const ReadingFormats& formats, const std::string& archive, ExtractJob job,
               const std::vector<std::string>& names, bool wholePathOnly, kt::arc::Report& report,
               kt::arc::ProgressSender& progress) {
    std::unique_ptr<MemberSource> reader = MakeReader(formats);
    if (int rc = OpenFor(*reader, archive, &report)) return rc;
    if (!names.empty())
        job.selected = [&](const Member& m) { return MatchesAny(names, m.name, wholePathOnly); };
    job.sharedBlocks = formats.sharedBlocks;
    int rc = ExtractMembers(*reader, job, report, progress);
    if (job.test && rc == 0) report.Line(archive + ": all members are sound");
    return rc;
}

int RunList(const ReadingFormats& formats, const std::string& archive,
            const std::vector<std::string>& names, bool wholePathOnly, kt::arc::Report& report) {
    ArchiveContents contents;
    std::string error;
    if (int rc = ReadContents(formats, archive, &contents, &error)) {
        report.Line(archive + ": " + error);
        return rc;
    }
    for (const Member& m : contents.members) {
        if (!MatchesAny(names, m.name, wholePathOnly)) continue;
        uint32_t dos = kt::arc::UnixToDosDateTime(m.mtime);
        char line[64];
        std::snprintf(line, sizeof line, "%12llu %04u-%02u-%02u %02u:%02u ",
                      static_cast<unsigned long long>(m.size), 1980 + (dos >> 25), (dos >> 21) & 15,
                      (dos >> 16) & 31, (dos >> 11) & 31, (dos >> 5) & 63);
        report.Line(line + (m.IsFolder() ? m.name + "/" : m.name));
    }
    return 0;
}

int RunExtractMem(const ReadingFormats& formats, const std::string& archive,
                  const std::vector<std::string>& names, bool wholePathOnly, LPBYTE buffer,
                  DWORD size, time_t* time, LPWORD attr, LPDWORD written) {
    if (written) *written = 0;
    std::unique_ptr<MemberSource> reader = MakeReader(formats);
    if (int rc = OpenFor(*reader, archive, nullptr)) return rc;
    return ExtractToMemory(
        *reader, [&](const Member& m) { return MatchesAny(names, m.name, wholePathOnly); }, buffer,
        size, written, time, attr);
}

}  // namespace kt::unpack
