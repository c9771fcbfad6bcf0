// The entries that a library reading through ArchiveReader answers alike,
// whatever its formats: OpenArchive over the member list, CheckArchive,
// GetFileCount, and the bodies of its extract, test, list and ExtractMem
// commands. A library describes its formats once in a ReadingFormats and
// gets those entry points from KT_READING_EXPORTS.
#pragma once

#include <ctime>
#include <string>
#include <vector>

#include "archivers/common/library_shell.h"
#include "archivers/common/progress.h"
#include "archivers/common/report.h"
#include "extract.h"
#include "member_listing.h"

namespace kt::unpack {

HARC OpenForSearch(kt::arc::LibraryShell& shell, const ReadingFormats& formats, LPCSTR path);
BOOL CheckArchiveFile(const ReadingFormats& formats, LPCSTR path, int mode);
int CountMembers(const ReadingFormats& formats, LPCSTR path);

// x / e / t: the names select members (all when none).
int RunExtract(const ReadingFormats& formats, const std::string& archive, ExtractJob job,
               const std::vector<std::string>& names, bool wholePathOnly, kt::arc::Report& report,
               kt::arc::ProgressSender& progress);
// l: one report line per selected member.
int RunList(const ReadingFormats& formats, const std::string& archive,
            const std::vector<std::string>& names, bool wholePathOnly, kt::arc::Report& report);
// ExtractMem: the first file the names select.
int RunExtractMem(const ReadingFormats& formats, const std::string& archive,
                  const std::vector<std::string>& names, bool wholePathOnly, LPBYTE buffer,
                  DWORD size, time_t* time, LPWORD attr, LPDWORD written);

}  // namespace kt::unpack

// OpenArchive, CheckArchive and GetFileCount over `formats` (a
// ReadingFormats), and the search and owner entries of the shell.
#define KT_READING_EXPORTS(Prefix, shell, formats)                                         \
    KT_EXPORT HARC Prefix##OpenArchive(HWND, LPCSTR arcFile, DWORD) {                      \
        return kt::unpack::OpenForSearch(shell, formats, arcFile);                         \
    }                                                                                      \
    KT_EXPORT BOOL Prefix##CheckArchive(LPCSTR arcFile, int mode) {                        \
        return kt::unpack::CheckArchiveFile(formats, arcFile, mode);                       \
    }                                                                                      \
    KT_EXPORT int Prefix##GetFileCount(LPCSTR arcFile) {                                   \
        return kt::unpack::CountMembers(formats, arcFile);                                 \
    }                                                                                      \
    KT_SHELL_SEARCH_EXPORTS(Prefix, shell)                                                 \
    KT_SHELL_OWNER_EXPORTS(Prefix, shell)
