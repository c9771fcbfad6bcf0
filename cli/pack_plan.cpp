#include "pack_plan.h"

#include <sys/stat.h>

#include "platform/file_scan.h"
#include "platform/path_text.h"

namespace kaltri {

PackPlan PlanSources(const std::vector<std::string>& paths) {
    PackPlan plan;
    auto add = [&](const std::string& path, std::uint64_t size) {
        plan.items.push_back({path, kt::FolderOf(path), kt::NameOf(path), size});
        plan.totalBytes += size;
        return true;
    };
    for (const std::string& given : paths) {
        std::string path = kt::AbsolutePath(given);
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
