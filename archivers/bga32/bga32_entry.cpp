// Exported entry points of BGA32.DLL: GZA and BZA archives listed, tested
// and extracted by a reader of this library's own (bga_reader.h says which
// fields it reads leniently and why nothing is written).
#include <string>

#include "archivers/common/library_shell.h"
#include "archivers/unpack/reading_entries.h"
#include "bga_command.h"
#include "bga_reader.h"

namespace {

using namespace kt::bga32;

kt::arc::LibraryShell gShell(100);
const kt::unpack::ReadingFormats& gFormats = kBgaFormats;

int RunBga(const BgaCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress) {
    if (cmd.command != 'x') {
        report.Line(cmd.command ? "GZA and BZA archives are only read on this system (x)"
                                : "no command given (x)");
        return cmd.command ? ERROR_NOT_SUPPORT : ERROR_COMMAND_NAME;
    }
    kt::unpack::ExtractJob job;
    job.folder = cmd.items.folder;
    job.keepFolders = !cmd.junkPaths;
    job.overwrite = cmd.overwrite ? kt::unpack::Overwrite::Always : kt::unpack::Overwrite::Never;
    job.spaceCheck = cmd.spaceCheck;
    return kt::unpack::RunExtract(gFormats, cmd.items.archive, job, cmd.items.names,
                                  cmd.wholePathOnly, report, progress);
}

const kt::unpack::CommandSet<BgaCommand> gCommands{"bga", ParseBgaCommand, RunBga};

}  // namespace

KT_EXPORT int Bga(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return kt::unpack::RunCommandLine(gShell, gCommands, cmdLine, output, outputSize);
}

KT_READING_EXPORTS(Bga, gShell, gFormats)
