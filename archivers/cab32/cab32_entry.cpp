// Exported entry points of CAB32.DLL: cabinets read through libarchive
// (MSZIP, LZX and stored folders) and written with libgcab (MSZIP).
#include <string>

#include "archivers/common/library_shell.h"
#include "archivers/unpack/reading_entries.h"
#include "cab_command.h"
#include "cab_create.h"
#include "cab_formats.h"

namespace {

using namespace kt::cab32;

kt::arc::LibraryShell gShell(100);
const kt::unpack::ReadingFormats& gFormats = kCabFormats;

int RunCab(const CabCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress) {
    kt::unpack::ExtractJob job;
    switch (cmd.command) {
        case 'a':
            return CreateCabinet(cmd, report, progress);
        case 'x':
            job.folder = cmd.items.folder;
            job.keepFolders = !cmd.junkPaths;
            job.overwrite =
                cmd.overwrite ? kt::unpack::Overwrite::Always : kt::unpack::Overwrite::Never;
            job.spaceCheck = cmd.spaceCheck;
            return kt::unpack::RunExtract(gFormats, cmd.items.archive, job, cmd.items.names,
                                          cmd.wholePathOnly, report, progress);
        case 'f':
            report.Line("self-extracting cabinets are not made on this system");
            return ERROR_NOT_SUPPORT;
        default:
            report.Line("no command given (-x, -a)");
            return ERROR_COMMAND_NAME;
    }
}

const kt::unpack::CommandSet<CabCommand> gCommands{"cab", ParseCabCommand, RunCab};

}  // namespace

KT_COMMAND_EXPORTS(Cab, gShell, gFormats, gCommands)
KT_READING_EXPORTS(Cab, gShell, gFormats)
