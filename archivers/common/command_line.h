// The command language shared by the archiver libraries: a command line is
// split into items at blanks; double quotes group blanks into one item and
// are removed ("-jx*.bak" and "C:/my dir/a.txt" each become one item).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kt::arc {

// Items of a command line, quotes removed. An empty quoted pair ("") gives an
// empty item.
std::vector<std::string> TokenizeCommandLine(std::string_view line);

// Our own switch, understood by every library: "--items0=FILE" stands for the
// items held in FILE, each ended by a NUL byte, taken in its place exactly
// as they are (no quotes, no splitting at blanks or line ends). It is the
// way to name a file whose name holds a double quote or a line break,
// which neither a quoted item nor a line of a response file can carry.
inline constexpr std::string_view kNulItemsSwitch = "--items0=";

// TokenizeCommandLine, with every "--items0=FILE" item replaced by FILE's
// items. 0, or ERROR_RESPONSE_READ with *error naming the file that cannot
// be read.
int SplitCommandLine(std::string_view line, std::vector<std::string>* items, std::string* error);

// Reads a response file: one name per line, optionally in double quotes;
// blank lines are skipped, CR before LF is dropped. False when the file
// cannot be read.
bool ReadResponseFile(const std::string& path, std::vector<std::string>* names);

// A name as the ZIP libraries receive it, with "[[]" standing for "[".
std::string UnescapeZipName(std::string_view name);

// Appends the names items[from..] stand for to *names, each unescaped with
// UnescapeZipName; an "@file" item stands for the names in that response
// file. False, with *unreadable set to the file, when one cannot be read.
bool AppendZipNames(const std::vector<std::string>& items, std::size_t from,
                    std::vector<std::string>* names, std::string* unreadable);

// The plain (non-switch) items of a ZIP library's line,
//   "archive" ["folder/"] names...
// into *archive, *baseFolder (only when takesFolder) and *names. False, with
// error and code set, when there is no archive (ERROR_NOT_FIND_ARC_FILE) or a
// response file cannot be read (ERROR_RESPONSE_READ).
bool TakeZipItems(const std::vector<std::string>& plain, bool takesFolder, std::string* archive,
                  std::string* baseFolder, std::vector<std::string>* names, std::string& error,
                  int& code);

// The non-switch items of a line in the form
//   "archive" ["folder/"] names... (an "@file" item: the names in that file)
// taken one by one: the archive first, then the folder when the item right
// after it ends with "/", then the names.
struct ArchiveItems {
    std::string archive;
    std::string folder;
    std::vector<std::string> names;
    // False, with *unreadable set to the file, when a list file cannot be
    // read.
    bool Take(const std::string& item, std::string* unreadable);
    // An item no switch of the library claimed: 0 when taken, else
    // ERROR_COMMAND_NAME (an unknown switch) or ERROR_RESPONSE_READ, with
    // *error telling why.
    int TakeOther(const std::string& item, std::string* error);
    // 0 when an archive was named, else ERROR_NOT_FIND_ARC_FILE with *error.
    int RequireArchive(std::string* error) const;
};

// True when the item is a switch ("-x1", "/r"); a lone "-" is not.
inline bool IsSwitch(std::string_view item) {
    return item.size() > 1 && (item[0] == '-' || item[0] == '/');
}

}  // namespace kt::arc
