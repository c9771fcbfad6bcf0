#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/temp_name.h"
#include "platform/fault_injection.h"

namespace kt::arc {
namespace {

constexpr std::size_t kBufferSize = 1 << 18;

mode_t DefaultMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

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
    std::size_t slash = target.rfind('/');
    std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0) return false;
    if (!CreateAt(dfd, name)) {
        int e = errno;
        ::close(dfd);
        errno = e;
        return false;
    }
    ownDir_ = true;
    return true;
}

bool AtomicFile::CreateAt(int dirFd, const std::string& name) {
    Discard();
    if (name.empty()) {
        errno = EINVAL;
        return false;
    }
    struct stat st;
    mode_ = fstatat(dirFd, name.c_str(), &st, 0) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777)
                                                                            : DefaultMode();
    std::random_device rd;
    static const char kDigits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string tag;
        unsigned r = rd();
        for (int i = 0; i < 6; ++i, r /= 36) tag += kDigits[r % 36];
        std::string temp = kt::TempNameBeside(name, tag);
        int fd = ::openat(dirFd, temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          0600);
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
    bool ok = Flush() && fchmod(fd_, mode_) == 0 && (!sync_ || kt::fault::Fsync(fd_) == 0);
    int e = errno;
    ok = (::close(fd_) == 0) && ok;
    fd_ = -1;
    if (ok && kt::fault::RenameAt(dirFd_, tempName_.c_str(), dirFd_, name_.c_str()) == 0) {
        if (sync_) fsync(dirFd_);
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
    if (!tempName_.empty() && dirFd_ >= 0) unlinkat(dirFd_, tempName_.c_str(), 0);
    tempName_.clear();
    if (ownDir_ && dirFd_ >= 0) ::close(dirFd_);
    ownDir_ = false;
    dirFd_ = -1;
    buffer_.clear();
}

}  // namespace kt::arc
