// The command language of ZIP32J.DLL:
//   [-d | -f | -u | -A] [switches] archive [basefolder/] [names | @list]...
// Switches keep their Info-ZIP meaning (-S -D -v -q -r -o -u -j -FF -k -J
// -0..-9, -P password), and -Y128/-Y192/-Y256 choose WinZip AES for -P. Names come with "[" escaped as "[[]"; they may hold
// "*" and "?" in their last part.
#pragma once

#include "archivers/common/command_line.h"

#include <string>
#include <string_view>
#include <vector>

namespace kt::zip32j {

struct ZipCommand {
    int command = 0;             // ZIP32_ADD, ZIP32_UPDATE, ...
    bool includeHidden = false;  // -S
    bool noDirEntries = false;   // -D
    bool verbose = false;        // -v
    bool quiet = false;          // -q
    bool recurse = false;        // -r
    bool archiveTime = false;    // -o
    bool junkPaths = false;      // -j
    bool recover = false;        // -FF / -F
    bool dosOnly = false;        // -k
    bool stripPrefix = false;    // -J
    int level = 6;
    int aesStrength = 0;  // -Y128/-Y192/-Y256: 1-3; 0 ZipCrypto
    bool hasPassword = false;
    std::string password;  // as given (UTF-8)
    std::string archive;
    std::string baseFolder;          // ends with "/" when given
    std::vector<std::string> names;  // unescaped, response files read
};

// Parses a command line. On failure returns false with `error` set to the
// report text and `code` to the error code.
bool ParseZipCommand(std::string_view line, ZipCommand& out, std::string& error, int& code);

// "[[]" stands for a literal "[".
using kt::arc::UnescapeZipName;

}  // namespace kt::zip32j
