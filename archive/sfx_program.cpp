#include "archive/sfx_program.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "archive/earchiver.h"
#include "archive/filters.h"
#include "platform/path_text.h"
#include "platform/fault_injection.h"

namespace kt {
namespace {

// A file descriptor closed on every way out.
class TFd {
public:
    explicit TFd(int fd = -1) : fd_(fd) {}
    ~TFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

int OpenForReading(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFOpenError("Cannot open file \"" + path + "\". " + std::strerror(errno));
    return fd;
}

[[noreturn]] void WriteFailed(const std::string& path, int error) {
    throw EFCreateError("Cannot write file \"" + path + "\". " + std::strerror(error));
}

// Copies all of from into to; false with errno set on a failure. The
// kernel copies (or shares extents) where it can; plain reads and writes
// take over where it cannot.
bool CopyAll(int from, int to, std::vector<char>& buffer) {
    for (;;) {
        ssize_t n = ::copy_file_range(from, nullptr, to, nullptr, std::size_t{1} << 30, 0);
        if (n == 0) return true;
        if (n > 0) continue;
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
            errno != EBADF)
            return false;
        break;
    }
    if (buffer.empty()) buffer.resize(std::size_t{1} << 20);
    for (;;) {
        ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (got == 0) return true;
        for (ssize_t done = 0; done < got;) {
            ssize_t put =
                fault::Write(to, buffer.data() + done, static_cast<std::size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                return false;
            }
            done += put;
        }
    }
}

// Mode of a newly made program: executable, as far as the umask allows.
mode_t ProgramMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0777 & ~mask;
}

}  // namespace

std::string SfxProgramName(const std::string& ArcName, const std::string& OutDir) {
    std::string name = ReplaceExtension(NameOf(ArcName), ".EXE");
    if (!OutDir.empty()) return JoinPath(OutDir, name);
    std::string folder = FolderOf(ArcName);
    return folder.empty() ? name : JoinFolder(folder, name);
}

void WriteSfxProgram(const std::string& StubPath, const std::string& ArcName,
                     const std::string& ProgramPath) {
    TFd archive(OpenForReading(ArcName));
    TFd stub(OpenForReading(StubPath));

    std::string folder = FolderOf(ProgramPath);
    std::string temp = (folder.empty() ? std::string() : JoinFolder(folder, "")) + "." +
                       NameOf(ProgramPath) + ".XXXXXX";
    TFd out(::mkstemp(temp.data()));
    if (out.Get() < 0)
        throw EFCreateError("Cannot create file \"" + ProgramPath + "\". " + std::strerror(errno));

    std::vector<char> buffer;
    int error = 0;
    if (!CopyAll(stub.Get(), out.Get(), buffer) || !CopyAll(archive.Get(), out.Get(), buffer) ||
        ::fchmod(out.Get(), ProgramMode()) != 0 || fault::Fsync(out.Get()) != 0) {
        error = errno;
    }
    if (error == 0 && ::close(out.Release()) != 0) error = errno;
    if (error == 0 && fault::Rename(temp.c_str(), ProgramPath.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        WriteFailed(ProgramPath, error);
    }
}

}  // namespace kt
