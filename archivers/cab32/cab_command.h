// The command language of CAB32.DLL, as the CAB driver writes it:
//   -x|-a|-f [switches] "archive" ["folder/"] [names | @listfile]...
// (no command word for an ExtractMem line). Switches:
//   -o  existing files are replaced on extraction (without it they are
//       kept and reported)
//   -r  named folders are walked with their subfolders (without it, only
//       the files directly inside)
//   -j  no folders: stored and extracted under the last part of the name
//   -i, -q  accepted: this library shows no dialog and keeps long names
#pragma once

#include <string>

#include "archivers/common/command_line.h"

namespace kt::cab32 {

struct CabCommand {
    char command = 0;  // 'x', 'a', 'f'; 0 for an ExtractMem line
    kt::arc::ArchiveItems items;
    bool overwrite = false;
    bool spaceCheck = true;  // off with --no-space-check
    bool recurse = false;
    bool junkPaths = false;
    bool wholePathOnly = false;  // names also match the last part of a stored path
};

// 0, or the error code with *error telling why.
int ParseCabCommand(const std::string& line, CabCommand* cmd, std::string* error);

}  // namespace kt::cab32
