#include "extract_policy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <mutex>

#include "safe_path.h"

namespace kt::arc {

InTheWay LookBeforeWriting(int dirFd, const std::string& leaf, Replace rule, int64_t memberTime) {
    struct stat st;
    if (fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return InTheWay::Nothing;
    if (S_ISDIR(st.st_mode)) return InTheWay::Folder;
    switch (rule) {
        case Replace::Always:
            return InTheWay::Replace;
        case Replace::Never:
            return InTheWay::Keep;
        case Replace::IfNewer:
            return memberTime > static_cast<int64_t>(st.st_mtime) ? InTheWay::Replace
                                                                  : InTheWay::KeepNewer;
    }
    return InTheWay::Keep;
}

mode_t ModeThroughUmask(uint32_t stored) {
    // umask can only be read by setting it; every caller sets it back at
    // once, so the lock keeps two threads of one process from seeing 0.
    static std::mutex lock;
    mode_t mask;
    {
        std::lock_guard<std::mutex> hold(lock);
        mask = ::umask(0);
        ::umask(mask);
    }
    return static_cast<mode_t>(stored & 0777) & ~mask;
}

std::string SizeMismatch(uint64_t produced, uint64_t declared) {
    if (produced == declared) return {};
    return std::to_string(produced) + " bytes where the header declares " +
           std::to_string(declared) + (produced < declared ? " (cut short)" : "");
}

std::string FinishMemberFile(kt::AtomicFile& out, const FileFinish& finish) {
    if (!out.Flush()) {
        std::string why = std::strerror(errno);
        out.Discard();
        return why;
    }
    if (finish.declared) {
        std::string mismatch = SizeMismatch(out.Size(), *finish.declared);
        if (!mismatch.empty()) {
            out.Discard();
            return mismatch;
        }
    }
    if (finish.mode) out.SetMode(ModeThroughUmask(*finish.mode));
    if (finish.mtime != 0) {
        struct timespec times[2] = {{static_cast<time_t>(finish.mtime), finish.mtimeNs},
                                    {static_cast<time_t>(finish.mtime), finish.mtimeNs}};
        futimens(out.Fd(), times);
    }
    if (!out.Commit()) return std::strerror(errno);
    return {};
}

std::string NotMadeText(std::string_view kind) {
    return std::string(kind) + ", which is not made on extraction; not extracted";
}

namespace {

std::string Join(const std::vector<std::string>& parts) {
    std::string out;
    for (const std::string& p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

constexpr int kMaxHops = 40;  // as the kernel's own limit on nested links

}  // namespace

std::string LinkLeavesTarget(int rootFd, std::string_view linkDir, std::string_view target) {
    if (target.empty()) return "the link has no target";
    if (target.find('\0') != std::string_view::npos) return "the link target holds a NUL";
    if (target.front() == '/') return "the link points to an absolute path";
    // The folder of the link is already physical: it was opened below the
    // target without following a link.
    std::vector<std::string> at;
    for (std::string_view part : PathParts(linkDir, "/")) at.emplace_back(part);
    std::deque<std::string> todo;
    for (std::string_view part : PathParts(target, "/")) todo.emplace_back(part);
    int hops = 0;
    while (!todo.empty()) {
        std::string part = std::move(todo.front());
        todo.pop_front();
        if (part == "..") {
            if (at.empty()) return "the link leads outside the target folder";
            at.pop_back();
            continue;
        }
        at.push_back(part);
        struct stat st;
        const std::string path = Join(at);
        if (fstatat(rootFd, path.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(st.st_mode))
            continue;
        // A link on the way: its own target continues the walk from its folder.
        if (++hops > kMaxHops) return "the link runs through too many links";
        std::string next(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        ssize_t n = readlinkat(rootFd, path.c_str(), next.data(), next.size());
        if (n < 0) return std::string("cannot read a link on the way: ") + std::strerror(errno);
        next.resize(static_cast<std::size_t>(n));
        if (next.empty() || next.front() == '/')
            return "the link runs through a link to an absolute path";
        at.pop_back();
        std::vector<std::string_view> inner = PathParts(next, "/");
        for (auto it = inner.rbegin(); it != inner.rend(); ++it) todo.emplace_front(*it);
    }
    return {};
}

bool LinkTextStaysInside(std::string_view linkDir, std::string_view target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\') return false;
    long depth = 0;
    for (std::string_view path : {linkDir, target}) {
        for (std::string_view part : PathParts(path, "/\\")) {
            if (part != "..")
                ++depth;
            else if (--depth < 0)
                return false;
        }
    }
    return true;
}

std::string LinkMaker::Make(int dirFd, const std::string& relDir, const std::string& leaf,
                            const std::string& target) {
    std::string why = LinkLeavesTarget(root_, relDir, target);
    if (!why.empty()) return why;
    // A file or link of the name gives way, as it would to a file member.
    struct stat st;
    if (fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISDIR(st.st_mode)) return "a folder is in the way";
        if (unlinkat(dirFd, leaf.c_str(), 0) != 0) return std::strerror(errno);
    }
    if (symlinkat(target.c_str(), dirFd, leaf.c_str()) != 0) return std::strerror(errno);
    made_.push_back({relDir, leaf, target});
    return {};
}

std::vector<std::string> LinkMaker::Recheck() {
    std::vector<std::string> removed;
    for (const Made& m : made_) {
        std::string why = LinkLeavesTarget(root_, m.dir, m.target);
        if (why.empty()) continue;
        std::string rel = m.dir.empty() ? m.leaf : m.dir + "/" + m.leaf;
        // Only the link this run made is taken away, never what replaced it.
        int dir = OpenFolderBelow(root_, m.dir, false);
        if (dir >= 0) {
            char buf[4096];
            ssize_t n = readlinkat(dir, m.leaf.c_str(), buf, sizeof buf);
            if (n >= 0 && std::string_view(buf, static_cast<std::size_t>(n)) == m.target)
                unlinkat(dir, m.leaf.c_str(), 0);
            ::close(dir);
        }
        removed.push_back(rel + " -> " + m.target + ": " + why + "; removed");
    }
    made_.clear();
    return removed;
}

SpaceCap::SpaceCap(int folderFd, bool enabled, std::string target, std::string liftSwitch)
    : enabled_(enabled), target_(std::move(target)), lift_(std::move(liftSwitch)) {
    struct statvfs fs;
    if (enabled_ && folderFd >= 0 && fstatvfs(folderFd, &fs) == 0)
        free_ = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
}

bool SpaceCap::Fits(uint64_t more) const {
    if (!enabled_) return true;
    return used_ <= free_ && more <= free_ - used_;
}

bool SpaceCap::Take(uint64_t written) {
    used_ = used_ + written < used_ ? UINT64_MAX : used_ + written;
    return !enabled_ || used_ <= free_;
}

std::string SpaceCap::Text(uint64_t more) const {
    return "not enough free space in " + target_ + ": " + std::to_string(more) +
           " more bytes after " + std::to_string(used_) + " written, " + std::to_string(free_) +
           " were free (" + lift_ + " extracts anyway)";
}

}  // namespace kt::arc
