// kaltri's command line: the commands, their options and the usage texts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kaltri {

enum class Command { None, Pack, List, Test, Extract, Help, Version };
enum class Format { Lzh, Zip };
enum class OverwritePolicy { Ask, All, None };
enum class ErrorPolicy { Ask, Continue, Stop };

struct Options {
    Command command = Command::None;
    bool help = false;  // --help given after a command
    // pack
    Format format = Format::Lzh;
    std::string outDir;                       // empty: next to each source
    std::optional<OverwritePolicy> overwrite; // unset: ask on a terminal, else none
    std::optional<ErrorPolicy> onError;       // unset: ask on a terminal, else continue
    std::string passwordFile;  // pack, test, extract
    bool askPassword = false;  // pack (asked twice), test, extract
    int jobs = 0;  // 0: number of cores
    bool yes = false;  // create a missing --out folder without asking
    bool renameOnClash = false;  // --on-clash rename
    std::vector<std::string> paths;
    // list, test, extract
    std::string archive;
    std::string extractDir;  // empty: current folder
    bool noSpaceCheck = false;  // extract even when the declared sizes exceed the free space
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
