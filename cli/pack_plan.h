// Turning the paths of `kaltri pack` into the list of sources to pack, by
// the same rules as the window's list: files as given, folders scanned to any
// depth (regular files, hidden ones included, no linked folders), relative
// paths made absolute, and each source's archive named after it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kaltri {

struct PackItem {
    std::string source;  // absolute path of the file to pack
    std::string folder;  // its folder ("/" for a file in the root)
    std::string name;    // its file name
    std::uint64_t size = 0;
};

struct PackPlan {
    std::vector<PackItem> items;
    std::vector<std::string> unusable;  // paths that are neither file nor folder
    std::uint64_t totalBytes = 0;
};

PackPlan PlanSources(const std::vector<std::string>& paths);

// Where the archive of item goes: outDir (when not empty) or the source's
// folder, with the name's extension replaced by ext (".lzh" or ".zip").
std::string ArchivePathFor(const PackItem& item, const std::string& outDir, const std::string& ext);

}  // namespace kaltri
