#include "pack_plan.h"

#include <unistd.h>

#include <sys/stat.h>

#include "platform/file_scan.h"
#include "platform/path_text.h"

namespace kaltri {

std::string AbsolutePath(const std::string& path) {
    std::string full;
    if (!path.empty() && path[0] == '/') {
        full = path;
    } else {
        char* cwd = getcwd(nullptr, 0);
        full = cwd != nullptr ? cwd : "";
        std::free(cwd);
        full += "/" + path;
    }
    std::string out;
    std::size_t i = 0;
    while (i < full.size()) {
        std::size_t j = full.find('/', i);
        if (j == std::string::npos) j = full.size();
        std::string part = full.substr(i, j - i);
        if (!part.empty() && part != ".") out += "/" + part;
        i = j + 1;
    }
    return out.empty() ? "/" : out;
}

PackPlan PlanSources(const std::vector<std::string>& paths) {
    PackPlan plan;
    auto add = [&](const std::string& path, std::uint64_t size) {
        plan.items.push_back({path, kt::FolderOf(path), kt::NameOf(path), size});
        plan.totalBytes += size;
        return true;
    };
    for (const std::string& given : paths) {
        std::string path = AbsolutePath(given);
        struct stat st {};
        if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            add(path, static_cast<std::uint64_t>(st.st_size));
        } else if (kt::TypeOfPath(path) == kt::PathType::Folder) {
            kt::ScanFolder(path, add);
        } else {
            plan.unusable.push_back(given);
        }
    }
    return plan;
}

std::string ArchivePathFor(const PackItem& item, const std::string& outDir, const std::string& ext) {
    return kt::JoinFolder(outDir.empty() ? item.folder : outDir, kt::ReplaceExtension(item.name, ext));
}

}  // namespace kaltri
