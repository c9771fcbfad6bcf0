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

// The command language of one library: how a line is parsed into its
// command (a type with `items`, an ArchiveItems, and `wholePathOnly`) and
// how a parsed command runs. `tag` starts the report line of a bad line.
template <class Cmd>
struct CommandSet {
    const char* tag;
    int (*parse)(const std::string& line, Cmd* cmd, std::string* error);
    int (*run)(const Cmd& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress);
};

// The command function over a CommandSet.
template <class Cmd>
int RunCommandLine(kt::arc::LibraryShell& shell, const CommandSet<Cmd>& set, LPCSTR line,
                   LPSTR output, DWORD outputSize) {
    return shell.Command(output, outputSize, [&](kt::arc::Report& report) {
        Cmd cmd;
        std::string error;
        if (int rc = set.parse(line ? line : "", &cmd, &error)) {
            report.Line(std::string(set.tag) + ": " + error);
            return rc;
        }
        kt::arc::ProgressSender progress(shell.Owner());
        return set.run(cmd, report, progress);
    });
}

// ExtractMem over a CommandSet: the line's archive and names, no command.
template <class Cmd>
int RunExtractMemLine(kt::arc::LibraryShell& shell, const ReadingFormats& formats,
                      const CommandSet<Cmd>& set, LPCSTR line, LPBYTE buffer, DWORD size,
                      time_t* time, LPWORD attr, LPDWORD written) {
    return shell.Run([&] {
        if (written) *written = 0;
        Cmd cmd;
        std::string error;
        if (int rc = set.parse(line ? line : "", &cmd, &error)) return rc;
        return RunExtractMem(formats, cmd.items.archive, cmd.items.names, cmd.wholePathOnly, buffer,
                             size, time, attr, written);
    });
}

}  // namespace kt::unpack

// The command function and ExtractMem of a library over `commands` (a
// CommandSet) and `formats` (its ReadingFormats).
#define KT_COMMAND_EXPORTS(Prefix, shell, formats, commands)                                \
    KT_EXPORT int Prefix(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {            \
        return kt::unpack::RunCommandLine(shell, commands, cmdLine, output, outputSize);    \
    }                                                                                       \
    KT_EXPORT int Prefix##ExtractMem(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize, \
                                     time_t* time, LPWORD attr, LPDWORD written) {          \
        return kt::unpack::RunExtractMemLine(shell, formats, commands, cmdLine, buffer,     \
                                             bufferSize, time, attr, written);              \
    }

// OpenArchive, CheckArchive and GetFileCount over `formats` (a
// ReadingFormats), and the search and owner entries of the shell.
#define KT_READING_EXPORTS(Prefix, shell, formats)                    \
    KT_EXPORT HARC Prefix##OpenArchive(HWND, LPCSTR arcFile, DWORD) { \
        return kt::unpack::OpenForSearch(shell, formats, arcFile);    \
    }                                                                 \
    KT_EXPORT BOOL Prefix##CheckArchive(LPCSTR arcFile, int mode) {   \
        return kt::unpack::CheckArchiveFile(formats, arcFile, mode);  \
    }                                                                 \
    KT_EXPORT int Prefix##GetFileCount(LPCSTR arcFile) {              \
        return kt::unpack::CountMembers(formats, arcFile);            \
    }                                                                 \
    KT_SHELL_SEARCH_EXPORTS(Prefix, shell)                            \
    KT_SHELL_OWNER_EXPORTS(Prefix, shell)
