#include "source_removal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <vector>
#include <cstring>

#include "platform/fault_injection.h"
#include "platform/path_text.h"
#include "platform/trash.h"

namespace kaltri {
namespace {

// fsync of a file or folder; the error text on failure.
bool Flush(const std::string& path, int flags, std::string& detail) {
    int fd = open(path.c_str(), flags | O_CLOEXEC);
    bool ok = fd >= 0 && kt::fault::Fsync(fd) == 0;
    if (!ok) detail = path + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return ok;
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// FNV-1a over the bytes given, continuing from h.
std::uint64_t Fold(std::uint64_t h, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    return h;
}

// The digest of every entry below folder, in name order, links not followed.
std::uint64_t TreeDigest(const std::string& folder) {
    std::uint64_t h = 14695981039346656037ull;
    std::error_code ec;
    std::vector<std::string> paths;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        paths.push_back(it->path().string());
    if (ec) return 0;  // a tree that cannot be read never matches
    std::sort(paths.begin(), paths.end());
    for (const std::string& path : paths) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0) return 0;
        h = Fold(h, path.data(), path.size() + 1);
        const std::int64_t fields[] = {
            static_cast<std::int64_t>(st.st_mode), static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_ino), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
        h = Fold(h, fields, sizeof fields);
    }
    return h == 0 ? 1 : h;
}

}  // namespace

bool SourceKept(SourceFate fate) {
    return fate != SourceFate::NotAsked && fate != SourceFate::Trashed &&
           fate != SourceFate::Deleted;
}

const char* FateWord(SourceFate fate) {
    switch (fate) {
        case SourceFate::Trashed:
            return "trash";
        case SourceFate::Deleted:
            return "deleted";
        case SourceFate::KeptInterrupted:
            return "interrupted";
        case SourceFate::KeptChanged:
            return "changed";
        case SourceFate::KeptNotFlushed:
            return "not-flushed";
        case SourceFate::KeptNotRemoved:
            return "not-removed";
        default:
            return "";
    }
}

SourceStamp StampOf(const std::string& source) {
    SourceStamp s;
    s.valid = stat(source.c_str(), &s.st) == 0;
    if (s.valid && S_ISDIR(s.st.st_mode)) {
        s.tree = TreeDigest(source);
        s.valid = s.tree != 0;
    }
    return s;
}

SourceFate RemoveSource(const std::string& source, const SourceStamp& before,
                        const std::string& archive, SourceRemoval how, bool interrupted,
                        std::string& detail) {
    if (how == SourceRemoval::Keep) return SourceFate::NotAsked;
    if (interrupted) return SourceFate::KeptInterrupted;
    // The archive must survive a power cut before its source may go.
    std::string folder = kt::FolderOf(archive);
    if (!Flush(archive, O_RDONLY, detail) ||
        !Flush(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY, detail))
        return SourceFate::KeptNotFlushed;
    SourceStamp now = StampOf(source);
    if (!before.valid || !now.valid || !SameFile(before.st, now.st) || before.tree != now.tree)
        return SourceFate::KeptChanged;
    if (how == SourceRemoval::Trash) {
        return kt::MoveToTrash(source, detail) ? SourceFate::Trashed : SourceFate::KeptNotRemoved;
    }
    if (S_ISDIR(now.st.st_mode)) {
        std::error_code ec;
        std::filesystem::remove_all(source, ec);
        if (ec) {
            detail = source + ": " + ec.message();
            return SourceFate::KeptNotRemoved;
        }
        return SourceFate::Deleted;
    }
    if (unlink(source.c_str()) != 0) {
        detail = source + ": " + std::strerror(errno);
        return SourceFate::KeptNotRemoved;
    }
    return SourceFate::Deleted;
}

}  // namespace kaltri
