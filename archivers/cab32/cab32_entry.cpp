// Exported entry points of CAB32.DLL: cabinets read through libarchive
// (MSZIP, LZX and stored folders) and written with libgcab (MSZIP).
#include <archive.h>

#include <string>

#include "archivers/common/library_shell.h"
#include "archivers/unpack/reading_entries.h"
#include "cab_command.h"
#include "cab_create.h"

namespace {

using namespace kt::cab32;

void EnableCab(struct archive* a) {
    archive_read_support_format_cab(a);
    // Names without the UTF-8 flag are in the code page of the Windows
    // tools that make most cabinets here.
    archive_read_set_format_option(a, "cab", "hdrcharset", "CP932");
}

std::string CabMethod(int, int) { return "cab"; }

kt::arc::LibraryShell g_shell(100);
const kt::unpack::ReadingFormats g_formats{EnableCab, CabMethod};

int RunCab(const CabCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress) {
    kt::unpack::ExtractJob job;
    switch (cmd.command) {
        case 'a':
            return CreateCabinet(cmd, report, progress);
        case 'x':
            job.folder = cmd.items.folder;
            job.keepFolders = !cmd.junkPaths;
            job.overwrite = cmd.overwrite ? kt::unpack::Overwrite::Always : kt::unpack::Overwrite::Never;
            return kt::unpack::RunExtract(g_formats, cmd.items.archive, job, cmd.items.names,
                                          cmd.wholePathOnly, report, progress);
        case 'f':
            report.Line("self-extracting cabinets are not made on this system");
            return ERROR_NOT_SUPPORT;
        default:
            report.Line("no command given (-x, -a)");
            return ERROR_COMMAND_NAME;
    }
}

const kt::unpack::CommandSet<CabCommand> g_commands{"cab", ParseCabCommand, RunCab};

}  // namespace

KT_COMMAND_EXPORTS(Cab, g_shell, g_formats, g_commands)
KT_READING_EXPORTS(Cab, g_shell, g_formats)
