// The command language of tar32.dll, as the TAR driver writes it:
//   c|x|e|t|l [switches] -f "archive" [-o "folder/"] [names | @listfile]...
// An ExtractMem line has no command word. Switches:
//   -z, -zN     gzip, level N (0..9; 6 when none)
//   -B, -BN     bzip2, level N (1..9; 9 when none)
//   -AH / -I    files whose name starts with "." are taken / left out when
//               a folder is walked (taken when neither is given)
//   -g          headers in the GNU format instead of ustar/pax
//   --check-all-path=1   names on the command line match whole stored
//                        paths only (0, the default: the last part too)
//   --use-directory=0    no folders: stored and extracted under the last
//                        part of their names (1, the default: with folders)
//   --display-dialog=N   accepted; this library never shows a dialog
//   --overwrite=1        extraction replaces existing files (0, the
//                        default: they are kept and reported)
//   --no-space-check     extract even when the members do not fit the
//                        free space
#pragma once

#include <string>

#include "archivers/common/command_line.h"

namespace kt::tar32 {

enum class Compression { Auto, None, Gzip, Bzip2 };

struct TarCommand {
    char command = 0;             // 'c', 'x', 'e', 't', 'l'; 0 for an ExtractMem line
    kt::arc::ArchiveItems items;  // archive (-f), folder (-o), names
    Compression compression = Compression::Auto;
    int level = -1;  // -1: the compressor's default
    bool hidden = true;
    bool gnuFormat = false;
    bool wholePathOnly = false;
    bool keepFolders = true;
    // --overwrite=1: an existing file of a member's name is replaced;
    // without it the file is kept and reported.
    bool overwrite = false;
    bool spaceCheck = true;  // off with --no-space-check
};

// 0, or the error code with *error telling why.
int ParseTarCommand(const std::string& line, TarCommand* cmd, std::string* error);

}  // namespace kt::tar32
