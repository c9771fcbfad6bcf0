// The command language of BGA32.DLL, as the BGA driver writes it:
//   x|a|d|s [switches] "archive" ["folder/"] [names | @listfile]...
// Only x runs here: GZA and BZA archives are read, never written, because
// no other reader could check what this library would write. Switches of
// x: -n keeps existing files (reported), -o replaces them; -j extracts
// without the stored folders. -a, -i, -r and -lN are accepted.
#pragma once

#include <string>

#include "archivers/common/command_line.h"

namespace kt::bga32 {

struct BgaCommand {
    char command = 0;
    kt::arc::ArchiveItems items;
    bool overwrite = false;
    bool spaceCheck = true;  // off with --no-space-check
    bool junkPaths = false;
    bool wholePathOnly = false;  // names also match the last part of a stored path
};

// 0, or the error code with *error telling why.
int ParseBgaCommand(const std::string& line, BgaCommand* cmd, std::string* error);

}  // namespace kt::bga32
