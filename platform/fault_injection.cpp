#include "fault_injection.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kt::fault {
namespace {

struct Trigger {
    long at = 0;  // 0: never
    std::atomic<long> count{0};

    // True when this call is to fail (errno is then set).
    bool Fires(int error) {
        if (at <= 0) return false;
        if (count.fetch_add(1) + 1 < at) return false;
        errno = error;
        return true;
    }
};

struct Plan {
    Trigger write, fsync, rename;
    int error = ENOSPC;

    Plan() { Read(); }

    void Read() {
        auto number = [](const char* name) {
            const char* v = std::getenv(name);
            return v ? std::strtol(v, nullptr, 10) : 0L;
        };
        write.at = number("KT_FAULT_WRITE");
        fsync.at = number("KT_FAULT_FSYNC");
        rename.at = number("KT_FAULT_RENAME");
        const char* e = std::getenv("KT_FAULT_ERRNO");
        error = e && std::strcmp(e, "EIO") == 0 ? EIO : ENOSPC;
        write.count = fsync.count = rename.count = 0;
    }
};

Plan& Faults() {
    static Plan plan;
    return plan;
}

}  // namespace

void Reload() { Faults().Read(); }

ssize_t Write(int fd, const void* data, std::size_t size) {
    if (Faults().write.Fires(Faults().error)) return -1;
    return ::write(fd, data, size);
}

ssize_t PWrite(int fd, const void* data, std::size_t size, off_t offset) {
    if (Faults().write.Fires(Faults().error)) return -1;
    return ::pwrite(fd, data, size, offset);
}

int Fsync(int fd) {
    if (Faults().fsync.Fires(Faults().error)) return -1;
    return ::fsync(fd);
}

int Rename(const char* from, const char* to) {
    if (Faults().rename.Fires(Faults().error)) return -1;
    return ::rename(from, to);
}

int RenameAt(int fromDir, const char* from, int toDir, const char* to) {
    if (Faults().rename.Fires(Faults().error)) return -1;
    return ::renameat(fromDir, from, toDir, to);
}

int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (Faults().rename.Fires(Faults().error)) return -1;
    return ::linkat(fromDir, from, toDir, to, flags);
}

}  // namespace kt::fault
