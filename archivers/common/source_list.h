// The files a packing command takes, for the libraries that write through
// a general archive library (tar32.dll, CAB32.DLL): names of the command
// line resolved against the base folder, wildcards in the last part
// expanded, folders walked, each file given the name it gets in the archive.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

namespace kt::arc {

struct SourceFile {
    std::string path;    // on disk
    std::string stored;  // in the archive, "/" between parts, no root
    struct stat st {};   // of the entry itself (a link is not followed)
};

struct SourceRules {
    std::string base;         // relative names are taken from here; stored names are relative to it
    bool keepFolders = true;  // false: stored under the last part only, no folder entries
    bool subfolders = true;   // false: a named folder gives only the files directly inside
    bool hidden = true;       // false: names starting with "." met while walking are left out
    bool folderEntries = true;  // folders get entries of their own (when keepFolders)
};

// Fills *files in command order (folder contents by name). False, with the
// name in *missing, when a name matches nothing. The file `exclude` (the
// archive being written) is never taken.
bool CollectSourceFiles(const std::vector<std::string>& names, const SourceRules& rules,
                        const std::string& exclude, std::vector<SourceFile>* files,
                        std::string* missing);

// The last part of a "/" separated path.
std::string LeafOf(const std::string& path);

}  // namespace kt::arc
