#include "fault_injection.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <atomic>
#include <ctime>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace kt::fault {
namespace {

// KT_FAULT_LOG: the file each fired fault appends a line to, so a test can
// tell a run that met its fault (and must not report success) from one that
// ended before the fault's call.
void NoteFired(const char* what) {
    const char* log = std::getenv("KT_FAULT_LOG");
    if (!log || !*log) return;
    int fd = ::open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return;
    std::string line = std::string(what) + "\n";
    (void)!::write(fd, line.data(), line.size());
    ::close(fd);
}

struct Trigger {
    const char* name = "";
    long at = 0;        // 0: never
    bool once = false;  // only the at-th call, not every later one
    std::atomic<long> count{0};

    // True when this call is to fail (errno is then set).
    bool Fires(int error) {
        if (at <= 0) return false;
        if (count.fetch_add(1) + 1 < at) return false;
        if (once && count > at) return false;
        NoteFired(name);
        errno = error;
        return true;
    }
};

struct Plan {
    Trigger write, fsync, rename, damage, changeSource;
    int error = ENOSPC;
    long testDelayMs = 0;

    Plan() {
        write.name = "write";
        fsync.name = "fsync";
        rename.name = "rename";
        damage.name = "damage";
        changeSource.name = "change-source";
        damage.once = changeSource.once = true;
        Read();
    }

    void Read() {
        auto number = [](const char* name) {
            const char* v = std::getenv(name);
            return v ? std::strtol(v, nullptr, 10) : 0L;
        };
        write.at = number("KT_FAULT_WRITE");
        fsync.at = number("KT_FAULT_FSYNC");
        rename.at = number("KT_FAULT_RENAME");
        damage.at = number("KT_FAULT_DAMAGE");
        changeSource.at = number("KT_FAULT_CHANGE_SOURCE");
        testDelayMs = number("KT_FAULT_TEST_DELAY_MS");
        const char* e = std::getenv("KT_FAULT_ERRNO");
        error = e && std::strcmp(e, "EIO") == 0 ? EIO : ENOSPC;
        write.count = fsync.count = rename.count = damage.count = changeSource.count = 0;
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

int RenameAtNoReplace(int fromDir, const char* from, int toDir, const char* to) {
    if (Faults().rename.Fires(Faults().error)) return -1;
    return ::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE);
}

int LinkAt(int fromDir, const char* from, int toDir, const char* to, int flags) {
    if (Faults().rename.Fires(Faults().error)) return -1;
    return ::linkat(fromDir, from, toDir, to, flags);
}

void BeforeArchiveTest(const char* archive, const char* source) {
    int saved = errno;
    if (Faults().testDelayMs > 0) {
        // An interrupting signal ends the wait early, as it would end a slow read.
        struct timespec wait = {Faults().testDelayMs / 1000,
                                (Faults().testDelayMs % 1000) * 1000000L};
        nanosleep(&wait, nullptr);
    }
    if (Faults().damage.Fires(0)) {
        int fd = ::open(archive, O_RDWR | O_CLOEXEC);
        off_t size = fd >= 0 ? ::lseek(fd, 0, SEEK_END) : -1;
        unsigned char byte = 0;
        if (size > 0 && ::pread(fd, &byte, 1, size / 2) == 1) {
            byte ^= 0x55;
            (void)!::pwrite(fd, &byte, 1, size / 2);
        }
        if (fd >= 0) ::close(fd);
    }
    if (Faults().changeSource.Fires(0)) {
        int fd = ::open(source, O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0) {
            (void)!::write(fd, "+", 1);
            ::close(fd);
        }
    }
    errno = saved;
}

}  // namespace kt::fault
