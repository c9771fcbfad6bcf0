#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "platform/temp_name.h"
#include "platform/fault_injection.h"

namespace kt::arc {
namespace {

constexpr std::size_t kBufferSize = 1 << 18;

bool WriteAll(int fd, const unsigned char* p, std::size_t n) {
    while (n > 0) {
        ssize_t w = kt::fault::Write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += w;
        n -= static_cast<std::size_t>(w);
    }
    return true;
}

}  // namespace

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Create(const std::string& target) {
    struct stat st;
    const bool exists = ::stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    return Start(AT_FDCWD, target, exists ? std::optional<mode_t>(st.st_mode & 07777) : std::nullopt);
}

bool AtomicFile::CreateNew(const std::string& target) { return Start(AT_FDCWD, target, std::nullopt); }

bool AtomicFile::CreateAt(int dirFd, const std::string& name) {
    struct stat st;
    const bool exists = fstatat(dirFd, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode);
    return Start(dirFd, name, exists ? std::optional<mode_t>(st.st_mode & 07777) : std::nullopt);
}

bool AtomicFile::Start(int dirFd, const std::string& name, std::optional<mode_t> keepMode) {
    Discard();
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
    std::random_device rd;
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tag;
        unsigned r = rd();
        for (int i = 0; i < 6; ++i, r /= 36) tag += kDigits[r % 36];
        std::string temp = folder + kt::TempNameBeside(leaf, tag);
        int fd = ::openat(dirFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          modeSet_ ? 0600 : 0666);
        if (fd >= 0) {
            dirFd_ = dirFd;
            fd_ = fd;
            name_ = name;
            tempName_ = temp;
            size_ = 0;
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
        if (size >= kBufferSize) return WriteAll(fd_, p, size);
    }
    buffer_.insert(buffer_.end(), p, p + size);
    return true;
}

bool AtomicFile::Flush() {
    if (fd_ < 0) return false;
    bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool AtomicFile::WriteAt(unsigned long long offset, const void* data, std::size_t size) {
    if (!Flush()) return false;
    const unsigned char* p = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t w = kt::fault::PWrite(fd_, p, size, static_cast<off_t>(offset));
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
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
    bool ok = Flush() && (!modeSet_ || fchmod(fd_, mode_) == 0) && (!sync_ || kt::fault::Fsync(fd_) == 0);
    int e = errno;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && kt::fault::RenameAt(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) == 0) {
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
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : name_.substr(0, slash);
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    ::close(fd);
}

}  // namespace kt::arc
