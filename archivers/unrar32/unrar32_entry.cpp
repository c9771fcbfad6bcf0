// Exported entry points of UNRAR32.DLL: RAR 4 and RAR 5 archives (solid
// ones too) read through libarchive; it makes no archives. Encrypted
// members and methods libarchive cannot decode are refused with a code and
// a report line, never extracted wrong.
#include <string>

#include "archivers/common/library_shell.h"
#include "archivers/unpack/reading_entries.h"
#include "rar_headers.h"
#include "unrar_command.h"

namespace {

using namespace kt::unrar32;

kt::arc::LibraryShell gShell(100);
const kt::unpack::ReadingFormats& gFormats = kRarFormats;

int RunUnrar(const UnrarCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress) {
    if (cmd.command == 0) {
        report.Line("no command given (-x, -e)");
        return ERROR_COMMAND_NAME;
    }
    kt::unpack::ExtractJob job;
    job.folder = cmd.items.folder;
    job.keepFolders = cmd.command == 'x';
    job.overwrite = cmd.keepExisting ? kt::unpack::Overwrite::Never
                    : cmd.onlyNewer  ? kt::unpack::Overwrite::IfNewer
                                     : kt::unpack::Overwrite::Always;
    job.spaceCheck = cmd.spaceCheck;
    return kt::unpack::RunExtract(gFormats, cmd.items.archive, job, cmd.items.names,
                                  cmd.wholePathOnly, report, progress);
}

const kt::unpack::CommandSet<UnrarCommand> gCommands{"unrar", ParseUnrarCommand, RunUnrar};

}  // namespace

KT_COMMAND_EXPORTS(Unrar, gShell, gFormats, gCommands)
KT_READING_EXPORTS(Unrar, gShell, gFormats)
