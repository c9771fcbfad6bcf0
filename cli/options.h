// kaltri's command line: the commands, their options and the usage texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/archiver_types.h"

namespace kaltri {

enum class Command { None, Pack, List, Test, Extract, Help, Version };
enum class OverwritePolicy { Ask, All, None };
enum class ErrorPolicy { Ask, Continue, Stop };
enum class LzhEffort { Normal, Best, Fast };  // in the order of the library's -jm0/-jm1/-jm2
enum class SourceRemoval { Keep, Trash, Delete };
// -q: errors only; -v: a line for every file and member as well.
enum class Verbosity { Quiet, Normal, Verbose };

struct Options {
    Command command = Command::None;
    bool help = false;  // --help given after a command
    // pack
    kt::TArchiverType format = kt::atLha;      // a format the format table lets kaltri pack
    std::string outDir;                        // empty: next to each source
    std::optional<OverwritePolicy> overwrite;  // unset: ask on a terminal, else none
    std::optional<ErrorPolicy> onError;        // unset: ask on a terminal, else continue
    std::string passwordFile;                  // pack, test, extract
    bool askPassword = false;                  // pack (asked twice), test, extract
    int jobs = 0;                              // 0: number of cores
    bool yes = false;                          // create a missing --out folder without asking
    bool renameOnClash = false;                // --on-clash rename
    std::optional<int> level;                  // ZIP: 0 (store) to 9; unset: the library's default
    std::optional<int> method;        // LZH: 5, 6 or 7 (-lh5- ...); unset: the library's default
    std::optional<LzhEffort> effort;  // LZH
    bool test = false;                // test each new archive before it takes its place
    int aesBits = 0;                  // ZIP with a password: 128, 192 or 256 for AES; 0 ZipCrypto
    SourceRemoval removal = SourceRemoval::Keep;  // --move-to-trash, --delete-source (imply test)
    // --per-item: each path given (file or folder) is one archive; a
    // folder's tree goes in under the folder's own name.
    bool perItem = false;
    std::vector<std::string> paths;
    // Every command: more paths (pack) or archives (the others), one per
    // line, from this file ("-": stdin).
    std::string filesFrom;
    bool nullSeparated = false;  // --null: the list's names end with NUL bytes, not line ends
    bool json = false;           // pack, list, test: one JSON object per line on stdout
    Verbosity verbosity = Verbosity::Normal;
    // list, test, extract
    std::vector<std::string> archives;  // every archive named, in order
    std::string extractDir;             // empty: current folder (with --each: beside each archive)
    bool noSpaceCheck = false;  // extract even when the declared sizes exceed the free space
    bool each = false;          // extract: every archive into a folder of its own, named after it
};

struct ParseResult {
    Options options;
    std::string error;  // non-empty: bad usage, exit code 2
};

ParseResult ParseCommandLine(int argc, const char* const* argv);

// One line naming how the command is used, and the full help text.
std::string UsageLine(Command command);
std::string HelpText(Command command);

}  // namespace kaltri
