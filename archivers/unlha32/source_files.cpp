#include "source_files.h"

#include <dirent.h>

#include <algorithm>
#include <ctime>
#include <set>

#include "archivers/common/safe_path.h"
#include "platform/wildcard.h"

namespace kt::unlha {
namespace {

std::string BaseName(const std::string& p) {
    std::size_t s = p.rfind('/');
    return s == std::string::npos ? p : p.substr(s + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// "YYYYMMDD[HHMM[SS]]" in local time to Unix seconds; -1 when malformed.
int64_t ParseDate(const std::string& s) {
    if (s.size() < 8) return -1;
    for (char c : s) {
        if (c < '0' || c > '9') return -1;
    }
    struct tm tm {};
    tm.tm_year = std::stoi(s.substr(0, 4)) - 1900;
    tm.tm_mon = std::stoi(s.substr(4, 2)) - 1;
    tm.tm_mday = std::stoi(s.substr(6, 2));
    if (s.size() >= 12) {
        tm.tm_hour = std::stoi(s.substr(8, 2));
        tm.tm_min = std::stoi(s.substr(10, 2));
    }
    if (s.size() >= 14) tm.tm_sec = std::stoi(s.substr(12, 2));
    tm.tm_isdst = -1;
    return static_cast<int64_t>(mktime(&tm));
}

class Collector {
public:
    Collector(RunContext& ctx, std::vector<SourceFile>* out) : ctx_(ctx), cmd_(ctx.cmd), out_(out) {
        hidden_ = cmd_.Int("a", 0) > 0;
        recurse_ = cmd_.Int("r", 0) > 0;
        paths_ = cmd_.Int("x", 0) > 0;
        auto it = cmd_.strs.find("jo");
        if (it != cmd_.strs.end()) after_ = ParseDate(it->second);
        it = cmd_.strs.find("job");
        if (it != cmd_.strs.end()) before_ = ParseDate(it->second);
    }

    void Name(const std::string& given) {
        std::string full = given;
        if (!cmd_.baseDir.empty() && given[0] != '/') full = JoinPath(cmd_.baseDir, given);
        std::string leaf = BaseName(full);
        std::size_t before = out_->size();
        seenExcluded_ = false;
        struct stat named;
        const bool exists = stat(full.c_str(), &named) == 0;
        // A file or folder whose own name holds "*" or "?" is itself, not a pattern.
        if (kt::HasWildcard(leaf) &&
            !(exists && (S_ISREG(named.st_mode) || S_ISDIR(named.st_mode)))) {
            std::string dir = full.substr(0, full.size() - leaf.size());
            std::string storedDir =
                StoredDir(given.substr(0, given.size() - BaseName(given).size()));
            Walk(dir.empty() ? "." : dir, storedDir, leaf, recurse_);
        } else if (exists) {
            if (S_ISREG(named.st_mode)) {
                // A file named outright is taken even when hidden.
                Add(full, StoredNameFor(cmd_, given), named, true);
            } else if (S_ISDIR(named.st_mode)) {
                std::string stored = StoredNameFor(cmd_, given);
                if (paths_ && !stored.empty()) Add(full, stored, named, true);
                Walk(full, paths_ ? stored : std::string(), "*", recurse_);
            }
        }
        if (out_->size() == before && !seenExcluded_) {
            ctx_.report.Line("not found: " + given);
            ctx_.Fail(ERROR_NOT_FIND_FILE);
        }
    }

private:
    std::string StoredDir(const std::string& givenDir) {
        if (!paths_ || givenDir.empty()) return std::string();
        auto rel = kt::arc::SafeRelativePath(givenDir);
        return rel ? *rel : std::string();
    }

    void Walk(const std::string& dir, const std::string& storedDir, const std::string& pattern,
              bool deep) {
        DIR* d = opendir(dir.c_str());
        if (!d) return;
        std::vector<std::string> names;
        while (dirent* e = readdir(d)) {
            std::string n = e->d_name;
            if (n != "." && n != "..") names.push_back(n);
        }
        closedir(d);
        std::sort(names.begin(), names.end());
        for (const std::string& n : names) {
            if (n[0] == '.' && !hidden_) continue;
            std::string path = JoinPath(dir, n);
            std::string stored = storedDir.empty() ? n : storedDir + "/" + n;
            struct stat lst, st;
            if (lstat(path.c_str(), &lst) != 0) continue;
            if (stat(path.c_str(), &st) != 0) continue;  // a dangling link
            if (S_ISREG(st.st_mode)) {
                if (kt::WildcardMatch(pattern, n)) Add(path, paths_ ? stored : n, st, false);
            } else if (S_ISDIR(st.st_mode) && deep && !S_ISLNK(lst.st_mode)) {
                // Links to folders are not descended into: no cycles.
                if (paths_ && pattern == "*") Add(path, stored, st, false);
                Walk(path, paths_ ? stored : std::string(), pattern, true);
            }
        }
    }

    bool Excluded(const std::string& path, const std::string& stored, const struct stat& st) const {
        for (const std::string& x : cmd_.excludes) {
            if (kt::WildcardMatch(x, BaseName(path)) || kt::WildcardMatch(x, stored)) return true;
        }
        if (!S_ISDIR(st.st_mode)) {
            if (after_ >= 0 && st.st_mtime < after_) return true;
            if (before_ >= 0 && st.st_mtime >= before_) return true;
        }
        return false;
    }

    void Add(const std::string& path, const std::string& stored, const struct stat& st, bool) {
        if (stored.empty() || Excluded(path, stored, st)) {
            seenExcluded_ = true;
            return;
        }
        if (!seen_.insert(stored).second) {
            ctx_.report.Line("same name twice, kept the first: " + stored);
            ctx_.Fail(ERROR_SAME_NAME_FILE);
            seenExcluded_ = true;
            return;
        }
        out_->push_back({path, stored, st});
    }

    RunContext& ctx_;
    const LhaCommand& cmd_;
    std::vector<SourceFile>* out_;
    bool hidden_ = false, recurse_ = false, paths_ = false;
    int64_t after_ = -1, before_ = -1;
    std::set<std::string> seen_;
    bool seenExcluded_ = false;
};

}  // namespace

std::string StoredNameFor(const LhaCommand& cmd, const std::string& given) {
    if (cmd.Int("x", 0) <= 0) return BaseName(given);
    auto rel = kt::arc::SafeRelativePath(given);
    return rel ? *rel : BaseName(given);
}

void CollectSources(RunContext& ctx, std::vector<SourceFile>* files) {
    Collector c(ctx, files);
    for (const std::string& n : ctx.cmd.names) c.Name(n);
}

}  // namespace kt::unlha
