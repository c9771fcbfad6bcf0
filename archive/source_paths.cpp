#include "archive/source_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "platform/ascii_case.h"
#include "platform/file_scan.h"
#include "platform/path_text.h"

namespace kt {
namespace {

// The files of one walk in list order: folder, then name, by their keys;
// names equal but for case in byte order, so the order never depends on
// the walk.
void SortWalk(std::vector<TSourceFile>::iterator first, std::vector<TSourceFile>::iterator last) {
    struct Keyed {
        std::string_view Folder, Name;
        TSourceFile* File;
    };
    std::vector<Keyed> keys;
    keys.reserve(static_cast<std::size_t>(last - first));
    for (auto it = first; it != last; ++it) {
        const std::string_view path = it->Path;
        const std::size_t slash = path.rfind('/');
        keys.push_back({path.substr(0, slash), path.substr(slash + 1), &*it});
    }
    std::sort(keys.begin(), keys.end(), [](const Keyed& a, const Keyed& b) {
        if (int c = CompareKeys(a.Folder, b.Folder)) return c < 0;
        if (int c = CompareKeys(a.Name, b.Name)) return c < 0;
        return a.File->Path < b.File->Path;
    });
    std::vector<TSourceFile> sorted;
    sorted.reserve(keys.size());
    for (const Keyed& k : keys) sorted.push_back(std::move(*k.File));
    std::move(sorted.begin(), sorted.end(), first);
}

// A folder whose entries can be listed and looked up.
bool Readable(const std::string& folder) { return ::access(folder.c_str(), R_OK | X_OK) == 0; }

// The path a folder taken whole goes by: its archive is named after its
// last part, so a path ending in ".." is resolved to the folder it names.
std::string WholeFolderPath(const std::string& path) {
    if (NameOf(path) != "..") return path;
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    return ec ? path : resolved.string();
}

}  // namespace

TSources CollectSources(const std::vector<std::string>& paths, const TSourceRules& rules) {
    TSources found;
    for (const std::string& given : paths) {
        const std::string path = rules.MakeAbsolute ? AbsolutePath(given) : given;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) {
            if (rules.Missing == TMissingPaths::Refuse) found.Refused.push_back(given);
            continue;
        }
        if (S_ISREG(st.st_mode)) {
            found.Files.push_back({path, static_cast<std::uint64_t>(st.st_size)});
            found.TotalBytes += static_cast<std::uint64_t>(st.st_size);
            continue;
        }
        if (!S_ISDIR(st.st_mode) || !Readable(path)) {
            found.Refused.push_back(given);
            continue;
        }
        if (rules.WholeFolders) {
            const std::string folder = WholeFolderPath(path);
            if (NameOf(folder).empty()) {  // the root has no name to give its archive
                found.Refused.push_back(given);
                continue;
            }
            found.Files.push_back({folder, 0, true});
            if (rules.WithSizes) {
                ScanFolder(path, [&found](const std::string&, std::uint64_t size) {
                    found.Files.back().Size += size;
                    return true;
                });
                found.TotalBytes += found.Files.back().Size;
            }
            continue;
        }
        const std::size_t first = found.Files.size();
        if (rules.WithSizes) {
            ScanFolder(path, [&found](const std::string& file, std::uint64_t size) {
                found.Files.push_back({file, size});
                found.TotalBytes += size;
                return true;
            });
        } else {
            ScanFolderPaths(path, [&found](const std::string& file) {
                found.Files.push_back({file, 0});
                return true;
            });
        }
        SortWalk(found.Files.begin() + static_cast<std::ptrdiff_t>(first), found.Files.end());
    }
    return found;
}

}  // namespace kt
