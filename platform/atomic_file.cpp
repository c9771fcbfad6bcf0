#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>
#include <vector>

#include "temp_name.h"
#include "fault_injection.h"

namespace kt {
namespace {

// Closes a descriptor and keeps the errno of the failure that led here.
void CloseKeepingErrno(int fd) {
    int saved = errno;
    close(fd);
    errno = saved;
}

bool WriteAll(int fd, const void* data, std::size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t n = fault::Write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, std::string_view data) { return WriteAll(fd, data.data(), data.size()); }

// The file a write really replaces: the target of a symbolic link, else the
// path itself.
std::string ResolveTarget(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = realpath(path.c_str(), nullptr)) {
            std::string resolved(real);
            free(real);
            return resolved;
        }
    }
    return path;
}

// The streamed writer's buffer: large writes go straight through.
constexpr std::size_t kBufferSize = 1 << 18;

enum class Outcome { Done, Failed, Unavailable };

// Fills a file descriptor and flushes it to disk.
bool FillAndSync(int fd, std::string_view data, mode_t mode) {
    return fchmod(fd, mode) == 0 && WriteAll(fd, data) && fault::Fsync(fd) == 0;
}

// An unnamed file in the folder that vanishes by itself if the writer dies;
// it gets the name `temp` only once it is complete. Unavailable when the file
// system or /proc cannot do this.
Outcome WriteUnnamed(const std::string& folder, const std::string& prefix, const std::string& name,
                     std::string_view data, mode_t mode, std::string& temp) {
    int fd = open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return (errno == EISDIR || errno == EOPNOTSUPP) ? Outcome::Unavailable : Outcome::Failed;
    if (!FillAndSync(fd, data, mode)) {
        CloseKeepingErrno(fd);
        return Outcome::Failed;
    }
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        std::string candidate = prefix + TempNameBeside(name, std::to_string(attempt));
        if (fault::LinkAt(AT_FDCWD, self.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            close(fd);
            temp = candidate;
            return Outcome::Done;
        }
        if (errno != EEXIST) break;
    }
    close(fd);
    return Outcome::Unavailable;
}

// A named temporary file, for file systems without unnamed ones; created
// 0600, so nobody else reads it half-written.
Outcome WriteNamed(const std::string& prefix, const std::string& target, std::string_view data,
                   mode_t mode, std::string& temp) {
    std::string pattern = prefix + TempNameBeside(target, "XXXXXX");
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkostemps(name.data(), 4, O_CLOEXEC);  // 4: the ".tmp" after the X's
    if (fd < 0) return Outcome::Failed;
    bool filled = FillAndSync(fd, data, mode);
    if (filled) {
        filled = close(fd) == 0;
    } else {
        CloseKeepingErrno(fd);
    }
    if (!filled) {
        int saved = errno;
        unlink(name.data());
        errno = saved;
        return Outcome::Failed;
    }
    temp = name.data();
    return Outcome::Done;
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);  // best effort: the rename is already visible to readers
    close(fd);
}

}  // namespace

bool ReadWholeFile(const std::string& path, std::string& data) {
    data.clear();
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    for (;;) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            CloseKeepingErrno(fd);
            data.clear();
            return false;
        }
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    close(fd);
    return true;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode) {
    if (path.empty()) {
        errno = EINVAL;
        return false;
    }
    const std::string target = ResolveTarget(path);
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
    const std::string prefix = slash == std::string::npos ? "" : folder;
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    mode_t mode = newFileMode;
    struct stat st;
    if (stat(target.c_str(), &st) == 0) mode = st.st_mode & 07777;

    std::string temp;
    Outcome outcome = WriteUnnamed(folder, prefix, name, data, mode, temp);
    if (outcome == Outcome::Unavailable) outcome = WriteNamed(prefix, name, data, mode, temp);
    if (outcome != Outcome::Done) return false;
    if (fault::Rename(temp.c_str(), target.c_str()) != 0) {
        int saved = errno;
        unlink(temp.c_str());
        errno = saved;
        return false;
    }
    SyncFolder(folder);
    // What a writer of this file killed mid-write left behind goes now.
    RemoveStaleTempFiles(folder, name);
    return true;
}

bool MakeFolders(const std::string& path, mode_t mode) {
    if (path.empty()) return false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    const std::size_t slash = path.find_last_not_of('/') == std::string::npos
                                  ? std::string::npos
                                  : path.rfind('/', path.find_last_not_of('/'));
    if (slash != std::string::npos && slash > 0 && !MakeFolders(path.substr(0, slash), mode))
        return false;
    if (mkdir(path.c_str(), mode) == 0) return true;
    return errno == EEXIST && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& target) {
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return Start(AT_FDCWD, target,
                 exists ? std::optional<mode_t>(st.st_mode & 07777) : std::nullopt);
}

bool AtomicFile::CreateNew(const std::string& target) {
    if (!Start(AT_FDCWD, target, std::nullopt)) return false;
    noReplace_ = true;
    return true;
}

bool AtomicFile::CreateAt(int dirFd, const std::string& name) {
    struct stat st;
    const bool exists = fstatat(dirFd, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode);
    return Start(dirFd, name, exists ? std::optional<mode_t>(st.st_mode & 07777) : std::nullopt);
}

bool AtomicFile::Start(int dirFd, const std::string& name, std::optional<mode_t> keepMode) {
    Discard();
    noReplace_ = false;
    std::size_t slash = name.rfind('/');
    if (name.empty() || slash + 1 == name.size()) {
        errno = EINVAL;
        return false;
    }
    // A path (dirFd AT_FDCWD) keeps its folder in front of the temporary name.
    const std::string folder = slash == std::string::npos ? "" : name.substr(0, slash + 1);
    const std::string leaf = name.substr(folder.size());
    // A new file gets its mode as any new file does (0666 less the umask, or
    // the folder's default ACL) when it is created; a replaced file keeps the
    // old mode, set at Commit, and stays private until then.
    modeSet_ = keepMode.has_value();
    mode_ = keepMode.value_or(0);
    // Seeded once per thread: opening the random device for every archive
    // cost a few per cent of a run over many small files, and O_EXCL below
    // settles any clash anyway.
    thread_local std::mt19937 rd{std::random_device{}()};
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tag;
        unsigned r = rd();
        for (int i = 0; i < 6; ++i, r /= 36) tag += kDigits[r % 36];
        std::string temp = folder + TempNameBeside(leaf, tag);
        int fd = ::openat(dirFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          modeSet_ ? 0600 : 0666);
        if (fd >= 0) {
            dirFd_ = dirFd;
            fd_ = fd;
            name_ = name;
            tempName_ = temp;
            size_ = 0;
            writeError_ = 0;
            buffer_.clear();
            buffer_.reserve(kBufferSize);
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0) {
        errno = EBADF;
        return false;
    }
    const unsigned char* p = static_cast<const unsigned char*>(data);
    size_ += size;
    if (buffer_.size() + size > kBufferSize) {
        if (!Flush()) return false;
        if (size >= kBufferSize) return Failed(WriteAll(fd_, p, size));
    }
    buffer_.insert(buffer_.end(), p, p + size);
    return true;
}

bool AtomicFile::Flush() {
    if (fd_ < 0) return false;
    bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return Failed(ok);
}

bool AtomicFile::Failed(bool ok) {
    if (!ok && writeError_ == 0) writeError_ = errno ? errno : EIO;
    if (writeError_ != 0) {
        errno = writeError_;
        return false;
    }
    return true;
}

bool AtomicFile::WriteAt(unsigned long long offset, const void* data, std::size_t size) {
    const unsigned char* p = static_cast<const unsigned char*>(data);
    // Bytes still in the buffer are patched there: a small archive then
    // goes to the disk in one write, its header already right.
    const unsigned long long buffered = size_ - buffer_.size();
    if (fd_ >= 0 && offset >= buffered && offset + size <= size_) {
        std::copy(p, p + size, buffer_.begin() + static_cast<std::ptrdiff_t>(offset - buffered));
        return true;
    }
    if (!Flush()) return false;
    while (size > 0) {
        ssize_t w = fault::PWrite(fd_, p, size, static_cast<off_t>(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return Failed(false);
        }
        p += w;
        offset += static_cast<unsigned long long>(w);
        size -= static_cast<std::size_t>(w);
    }
    return true;
}

bool AtomicFile::Truncate(unsigned long long size) {
    if (!Flush()) return false;
    if (ftruncate(fd_, static_cast<off_t>(size)) != 0) return false;
    if (lseek(fd_, static_cast<off_t>(size), SEEK_SET) < 0) return false;
    size_ = size;
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0) return false;
    bool ok =
        Flush() && (!modeSet_ || fchmod(fd_, mode_) == 0) && (!sync_ || fault::Fsync(fd_) == 0);
    int e = errno;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && Publish() == 0) {
        if (sync_) SyncFolder();
        tempName_.clear();
        Discard();
        return true;
    }
    if (ok) e = errno;
    Discard();
    errno = e;
    return false;
}

int AtomicFile::Publish() {
    if (!noReplace_) return fault::RenameAt(dirFd_, tempName_.c_str(), dirFd_, name_.c_str());
    if (fault::RenameAtNoReplace(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return -1;
    // A file system without that rename: a hard link refuses a taken name too.
    if (fault::LinkAt(dirFd_, tempName_.c_str(), dirFd_, name_.c_str(), 0) == 0) {
        unlinkat(dirFd_, tempName_.c_str(), 0);
        return 0;
    }
    if (errno == EEXIST) return -1;
    // Nor links: the plain rename, which is all such a file system offers.
    return fault::RenameAt(dirFd_, tempName_.c_str(), dirFd_, name_.c_str());
}

void AtomicFile::Discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempName_.empty()) unlinkat(dirFd_, tempName_.c_str(), 0);
    tempName_.clear();
    dirFd_ = AT_FDCWD;
    buffer_.clear();
}

void AtomicFile::SyncFolder() const {
    if (dirFd_ != AT_FDCWD) {
        fsync(dirFd_);
        return;
    }
    std::size_t slash = name_.rfind('/');
    kt::SyncFolder(slash == std::string::npos ? "." : slash == 0 ? "/" : name_.substr(0, slash));
}

}  // namespace kt
