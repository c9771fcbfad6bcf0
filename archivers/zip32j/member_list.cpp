#include "member_list.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <unordered_set>

#include "platform/wildcard.h"

namespace kt::zip32j {
namespace {

bool IsHidden(const std::string& leaf) { return !leaf.empty() && leaf[0] == '.'; }

std::string Leaf(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string Join(const std::string& folder, const std::string& leaf) {
    if (folder.empty()) return leaf;
    return folder.back() == '/' ? folder + leaf : folder + "/" + leaf;
}

class Collector {
public:
    Collector(const ZipCommand& cmd, std::vector<Member>& out) : cmd_(cmd), out_(out) {}

    // Adds a path known to exist (followed through links).
    void AddPath(const std::string& path, const struct stat& st) {
        if (S_ISDIR(st.st_mode)) {
            if (!cmd_.noDirEntries && !cmd_.junkPaths) Add(path, st);
            if (cmd_.recurse) Walk(path);
        } else if (S_ISREG(st.st_mode)) {
            Add(path, st);
        }
    }

private:
    void Add(const std::string& path, const struct stat& st) {
        if (!seen_.insert(path).second) return;
        std::string name = NameFor(path);
        if (name.empty()) return;
        if (S_ISDIR(st.st_mode)) name += "/";
        out_.push_back({path, name, st});
    }

    std::string NameFor(const std::string& path) const {
        if (cmd_.junkPaths) return StoredName(Leaf(path));
        const std::string& base = cmd_.baseFolder;
        if (!base.empty() && path.compare(0, base.size(), base) == 0)
            return StoredName(path.substr(base.size()));
        return StoredName(path);
    }

    void Walk(const std::string& folder) {
        DIR* d = opendir(folder.c_str());
        if (!d) return;
        std::vector<std::string> leaves;
        while (dirent* de = readdir(d)) {
            std::string leaf = de->d_name;
            if (leaf == "." || leaf == "..") continue;
            if (IsHidden(leaf) && !cmd_.includeHidden) continue;
            leaves.push_back(leaf);
        }
        closedir(d);
        std::sort(leaves.begin(), leaves.end());
        for (const std::string& leaf : leaves) {
            std::string path = Join(folder, leaf);
            struct stat lst, st;
            if (lstat(path.c_str(), &lst) != 0) continue;
            if (S_ISLNK(lst.st_mode)) {
                // Links to files are followed; links to folders are not walked.
                if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            } else {
                st = lst;
            }
            AddPath(path, st);
        }
    }

    const ZipCommand& cmd_;
    std::vector<Member>& out_;
    std::unordered_set<std::string> seen_;
};

}  // namespace

std::string StoredName(const std::string& path) {
    std::string out;
    size_t i = 0;
    while (i <= path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos) j = path.size();
        std::string part = path.substr(i, j - i);
        if (!part.empty() && part != "." && part != "..") {
            if (!out.empty()) out += '/';
            out += part;
        }
        i = j + 1;
    }
    return out;
}

void CollectMembers(const ZipCommand& cmd, std::vector<Member>& members,
                    std::vector<std::string>& missing) {
    Collector collector(cmd, members);
    for (const std::string& name : cmd.names) {
        std::string path = name;
        if (!path.empty() && path[0] != '/' && !cmd.baseFolder.empty())
            path = Join(cmd.baseFolder, path);
        struct stat st;
        if (stat(path.c_str(), &st) == 0) {
            collector.AddPath(path, st);
            continue;
        }
        std::string leafPattern = Leaf(path);
        if (!HasWildcard(leafPattern)) {
            missing.push_back(name);
            continue;
        }
        size_t slash = path.rfind('/');
        std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        DIR* d = opendir(folder.empty() ? "." : folder.c_str());
        std::vector<std::string> hits;
        if (d) {
            while (dirent* de = readdir(d)) {
                std::string leaf = de->d_name;
                if (leaf == "." || leaf == "..") continue;
                if (IsHidden(leaf) && !cmd.includeHidden) continue;
                if (WildcardMatch(leafPattern, leaf)) hits.push_back(leaf);
            }
            closedir(d);
        }
        std::sort(hits.begin(), hits.end());
        bool any = false;
        for (const std::string& leaf : hits) {
            std::string hit = folder + leaf;
            if (stat(hit.c_str(), &st) != 0) continue;
            if (S_ISDIR(st.st_mode) && !cmd.recurse) continue;
            collector.AddPath(hit, st);
            any = true;
        }
        if (!any) missing.push_back(name);
    }
}

}  // namespace kt::zip32j
