#include "source_list.h"

#include <dirent.h>

#include <algorithm>
#include <set>

#include "platform/temp_name.h"
#include "platform/wildcard.h"
#include "safe_path.h"

namespace kt::arc {
namespace {

// The parts of a path without root, "." and "..".
std::string CleanName(const std::string& path) {
    std::string out;
    for (std::string_view part : PathParts(path, "/")) {
        if (part == "..") continue;
        if (!out.empty()) out += '/';
        out.append(part);
    }
    return out;
}

// The entries of a folder by name, so that the same files always make the
// same archive.
std::vector<std::string> ChildrenOf(const std::string& folder) {
    std::vector<std::string> names;
    DIR* d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        // Another run's file being written is not a file of the folder yet.
        if (name != "." && name != ".." && !kt::IsTempOfRunningWriter(name)) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

class Collector {
public:
    Collector(const SourceRules& rules, const std::string& exclude, std::vector<SourceFile>* files)
        : rules_(rules), files_(files) {
        base_ = rules.base;
        while (base_.size() > 1 && base_.back() == '/') base_.pop_back();
        struct stat st;
        if (!exclude.empty() && stat(exclude.c_str(), &st) == 0) {
            exclude_ = st;
            hasExclude_ = true;
        }
    }

    bool Add(const std::string& given) {
        std::string path = given;
        while (path.size() > 1 && path.back() == '/') path.pop_back();
        if (!path.empty() && path[0] != '/' && !base_.empty()) path = base_ + "/" + path;
        std::size_t before = files_->size();
        if (HasWildcard(LeafOf(path))) {
            std::size_t slash = path.rfind('/');
            std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
            for (const std::string& name : ChildrenOf(folder))
                if (WildcardMatch(LeafOf(path), name)) Take(folder + "/" + name, 0);
            return files_->size() != before;
        }
        struct stat st;
        if (lstat(path.c_str(), &st) != 0) return false;
        Take(path, 0);
        return true;
    }

private:
    void Take(const std::string& path, int depth) {
        SourceFile s;
        if (lstat(path.c_str(), &s.st) != 0) return;
        if (hasExclude_ && s.st.st_dev == exclude_.st_dev && s.st.st_ino == exclude_.st_ino) return;
        s.path = path;
        s.stored = StoredName(path);
        if (s.stored.empty() || !seen_.insert(path).second) return;
        bool folder = S_ISDIR(s.st.st_mode);
        if (!folder || (rules_.keepFolders && rules_.folderEntries)) files_->push_back(s);
        if (!folder || (depth > 0 && !rules_.subfolders)) return;
        for (const std::string& name : ChildrenOf(path))
            if (rules_.hidden || name[0] != '.') Take(path + "/" + name, depth + 1);
    }

    std::string StoredName(const std::string& path) const {
        if (!rules_.keepFolders) return LeafOf(path);
        if (!base_.empty() && path.size() > base_.size() &&
            path.compare(0, base_.size(), base_) == 0 &&
            (path[base_.size()] == '/' || base_ == "/"))
            return CleanName(path.substr(base_.size()));
        return CleanName(path);
    }

    const SourceRules& rules_;
    std::vector<SourceFile>* files_;
    std::string base_;
    struct stat exclude_ {};
    bool hasExclude_ = false;
    std::set<std::string> seen_;
};

}  // namespace

std::string LeafOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CollectSourceFiles(const std::vector<std::string>& names, const SourceRules& rules,
                        const std::string& exclude, std::vector<SourceFile>* files,
                        std::string* missing) {
    Collector collector(rules, exclude, files);
    for (const std::string& name : names) {
        if (!collector.Add(name)) {
            *missing = name;
            return false;
        }
    }
    return true;
}

}  // namespace kt::arc
