#include "read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kt::arc {

bool ReadOnlyFile::Open(const std::string& path) {
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd_.get() < 0) return false;
    struct stat st;
    if (fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        fd_.reset(-1);
        errno = EISDIR;
        return false;
    }
    size_ = static_cast<uint64_t>(st.st_size);
    return true;
}

long long ReadOnlyFile::ReadAt(uint64_t offset, void* buf, std::size_t n) const {
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_.get(), static_cast<char*>(buf) + done, n - done,
                            static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (r == 0) break;
        done += static_cast<std::size_t>(r);
    }
    return static_cast<long long>(done);
}

}  // namespace kt::arc
