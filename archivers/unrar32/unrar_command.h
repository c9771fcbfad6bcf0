// The command language of UNRAR32.DLL, as the RAR driver writes it:
//   -x|-e [switches] "archive" ["folder/"] [names | @listfile]...
// (no command word for an ExtractMem line). -x keeps the stored folders,
// -e puts every file straight into the folder. Switches:
//   -u  an existing file is replaced only by a newer member (without it,
//       always replaced)
//   -s  names on the command line match whole stored paths only
//   -y  the answer to every question is given beforehand: an existing file
//       is kept (and reported), whatever -u says; the caller has already
//       decided which files may go
//   --no-space-check  extract even when the members do not fit the free space
#pragma once

#include <string>

#include "archivers/common/command_line.h"

namespace kt::unrar32 {

struct UnrarCommand {
    char command = 0;  // 'x', 'e'; 0 for an ExtractMem line
    kt::arc::ArchiveItems items;
    bool onlyNewer = false;
    bool keepExisting = false;  // -y
    bool spaceCheck = true;
    bool wholePathOnly = false;
};

// 0, or the error code with *error telling why.
int ParseUnrarCommand(const std::string& line, UnrarCommand* cmd, std::string* error);

}  // namespace kt::unrar32
