// A source file that changes while a writer reads it gives a member that is
// neither the old file nor the new one. Writers check after reading that
// the file still has the size and modification time it had when opened,
// and fail the member otherwise rather than store a silent mixture.
#pragma once

#include <sys/stat.h>

namespace kt::arc {

// True when the open file fd is not the file of opened (a stat of its path
// taken before it was opened), or no longer has its size or modification
// time (or cannot be examined).
inline bool ChangedSinceOpened(int fd, const struct stat& opened) {
    struct stat now;
    if (fstat(fd, &now) != 0) return true;
    return now.st_dev != opened.st_dev || now.st_ino != opened.st_ino ||
           now.st_size != opened.st_size || now.st_mtim.tv_sec != opened.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != opened.st_mtim.tv_nsec;
}

}  // namespace kt::arc
