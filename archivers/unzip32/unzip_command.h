// The command language of UNZIP32.DLL:
//   [-x | -e | -t | -l | -v] [switches] archive [basefolder/] [names | @list]...
// -x (or no command) extracts, -e extracts without stored folders, -t tests,
// -l and -v list. Switches: -o overwrite, -n never overwrite (existing files
// kept, not an error), --no-space-check (extract even when the declared sizes
// exceed the free space, refused by default), -j junk paths,
// -P password, -q quiet, -d folder (same as a base folder), --i no queries
// (the library never asks anyway). Names are wildcard patterns matched
// against stored names, "[" escaped as "[[]".
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kt::unzip32 {

enum class UnzipAction { Extract, Test, List };

struct UnzipCommand {
    UnzipAction action = UnzipAction::Extract;
    bool overwrite = false;
    bool neverOverwrite = false;
    bool noSpaceCheck = false;  // --no-space-check: extract whatever the sizes declared
    bool junkPaths = false;
    bool quiet = false;
    bool verbose = false;
    bool hasPassword = false;
    std::string password;
    std::string archive;
    std::string baseFolder;
    std::vector<std::string> names;
};

bool ParseUnzipCommand(std::string_view line, UnzipCommand& out, std::string& error, int& code);

}  // namespace kt::unzip32
