// From the paths a user gives (dropped, opened, on a command line) to the
// files a batch run packs, by one set of rules for every front end: a file
// is taken as it is (a link to a file counts as that file); a folder is
// walked to any depth, hidden files included, linked folders inside it not
// entered; a folder that cannot be read, and anything that is neither file
// nor folder (a FIFO would block the run), is refused. Each folder's files
// come in the key order of their names, so a list sorted by folder shows
// them in name order whatever order the file system keeps. With
// WholeFolders a readable folder is itself one source instead.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt {

// What happens to a path that does not exist: the window passes over it
// without a word (a file gone since it was chosen adds nothing); kaltri
// names it, since a mistyped path on a command line is a mistake to report.
enum class TMissingPaths { PassOver, Refuse };

struct TSourceFile {
    std::string Path;
    std::uint64_t Size = 0;  // only when sizes were asked for; a folder's: its files' together
    bool Folder = false;     // a folder taken whole (TSourceRules::WholeFolders)
};

struct TSources {
    std::vector<TSourceFile> Files;
    std::vector<std::string> Refused;  // paths given that add nothing, as given
    std::uint64_t TotalBytes = 0;
};

struct TSourceRules {
    TMissingPaths Missing = TMissingPaths::Refuse;
    // kaltri weighs its work by size; the window lists many files fast.
    bool WithSizes = true;
    // Relative paths are made absolute (kaltri); the window's paths are
    // taken byte for byte.
    bool MakeAbsolute = true;
    // A folder is one source of its own, packed whole into one archive,
    // instead of the files it holds (kaltri pack --per-item).
    bool WholeFolders = false;
};

TSources CollectSources(const std::vector<std::string>& paths, const TSourceRules& rules);

}  // namespace kt
