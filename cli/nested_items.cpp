#include "nested_items.h"

#include <filesystem>

namespace kaltri {

namespace {

namespace fs = std::filesystem;

// `path` is `folder` or lies below it (both absolute; compared by name).
bool WithinFolder(const fs::path& path, const fs::path& folder) {
    auto p = path.begin();
    for (auto f = folder.begin(); f != folder.end(); ++f, ++p) {
        if (f->empty()) continue;  // the trailing slash of "a/b/"
        if (p == path.end() || *p != *f) return false;
    }
    return true;
}

}  // namespace

bool ArchiveLandsInPackedFolder(const kt::TSources& sources, const std::string& outDir) {
    for (const kt::TSourceFile& folder : sources.Files) {
        if (!folder.Folder) continue;
        const fs::path whole = fs::path(folder.Path).lexically_normal();
        for (const kt::TSourceFile& item : sources.Files) {
            if (&item == &folder) continue;
            const fs::path lands = outDir.empty()
                                       ? fs::path(item.Path).lexically_normal().parent_path()
                                       : fs::path(outDir).lexically_normal();
            if (WithinFolder(lands, whole)) return true;
        }
    }
    return false;
}

}  // namespace kaltri
