// Exported entry points of tar32.dll: tar archives, plain or gzip, bzip2
// or compress packed (xz and zstd read as well), and single compressed
// files, read through libarchive and written with it.
#include <string>

#include "archivers/common/library_shell.h"
#include "archivers/unpack/archive_reader.h"
#include "archivers/unpack/reading_entries.h"
#include "tar_command.h"
#include "tar_create.h"
#include "tar_kind.h"

namespace {

using namespace kt::tar32;

kt::arc::LibraryShell gShell(100);
const kt::unpack::ReadingFormats& gFormats = kTarFormats;

int RunTar(const TarCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress) {
    const kt::arc::ArchiveItems& items = cmd.items;
    kt::unpack::ExtractJob job;
    job.folder = items.folder;
    job.keepFolders = cmd.keepFolders && cmd.command != 'e';
    job.test = cmd.command == 't';
    job.overwrite = cmd.overwrite ? kt::unpack::Overwrite::Always : kt::unpack::Overwrite::Never;
    job.spaceCheck = cmd.spaceCheck;
    switch (cmd.command) {
        case 'c':
            return CreateArchive(cmd, report, progress);
        case 'e':
        case 'x':
        case 't':
            return kt::unpack::RunExtract(gFormats, items.archive, job, items.names,
                                          cmd.wholePathOnly, report, progress);
        case 'l':
            return kt::unpack::RunList(gFormats, items.archive, items.names, cmd.wholePathOnly,
                                       report);
        default:
            report.Line("no command given (c, x, e, t or l)");
            return ERROR_COMMAND_NAME;
    }
}

const kt::unpack::CommandSet<TarCommand> gCommands{"tar", ParseTarCommand, RunTar};

}  // namespace

// 1 tar, 2 tar.gz, 3 tar.Z, 4 .gz, 5 .Z, 6 tar.bz2, 7 .bz2; 0 for a file
// that is none of these (or cannot be read).
KT_EXPORT int TarGetArchiveType(LPCSTR arcFile) {
    return kt::arc::LibraryShell::Query<int>(arcFile, 0, [](const std::string& path) {
        kt::unpack::ArchiveReader reader(gFormats);
        std::string error;
        if (reader.Open(path, &error) != 0) return 0;
        return ArchiveTypeNumber(reader.Filter(), reader.Format());
    });
}

KT_COMMAND_EXPORTS(Tar, gShell, gFormats, gCommands)
KT_READING_EXPORTS(Tar, gShell, gFormats)
