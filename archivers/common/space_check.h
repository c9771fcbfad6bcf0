// The limit on what an extraction may write: the sizes the archive
// declares for the members to extract must fit the free space of the
// target's file system, checked before the first byte is written. A small
// archive that declares terabytes (a zip bomb) is refused at once instead
// of filling the disk; the decoders already stop any member whose output
// would exceed its declared size, so the declared total bounds the real one.
#pragma once

#include <sys/statvfs.h>

#include <cstdint>
#include <string>

namespace kt::arc {

// Adds a member's declared size, saturating instead of wrapping round.
inline uint64_t AddDeclared(uint64_t total, uint64_t size) {
    return total + size < total ? UINT64_MAX : total + size;
}

// Empty when declared bytes fit the free space of the file system holding
// the open folder folderFd (or when it cannot be asked); otherwise the
// reason, naming both sizes and the switch that lifts the check.
inline std::string SpaceShortfall(int folderFd, uint64_t declared, const std::string& target,
                                  const std::string& liftSwitch) {
    struct statvfs fs;
    if (fstatvfs(folderFd, &fs) != 0) return {};
    uint64_t free = static_cast<uint64_t>(fs.f_bavail) * static_cast<uint64_t>(fs.f_frsize);
    if (declared <= free) return {};
    return "not enough free space in " + target + ": the members declare " +
           std::to_string(declared) + " bytes, " + std::to_string(free) + " are free (" +
           liftSwitch + " extracts anyway)";
}

}  // namespace kt::arc
