#include "source_removal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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
    if (!before.valid || !now.valid || !SameFile(before.st, now.st)) return SourceFate::KeptChanged;
    if (how == SourceRemoval::Trash) {
        return kt::MoveToTrash(source, detail) ? SourceFate::Trashed : SourceFate::KeptNotRemoved;
    }
    if (unlink(source.c_str()) != 0) {
        detail = source + ": " + std::strerror(errno);
        return SourceFate::KeptNotRemoved;
    }
    return SourceFate::Deleted;
}

}  // namespace kaltri
