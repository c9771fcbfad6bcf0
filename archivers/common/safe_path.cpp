#include "safe_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kt::arc {

std::optional<std::string> SafeRelativePath(std::string_view stored) {
    // Readers cut names at NUL; one still holding a NUL reached here by a
    // path that forgot to, and would be opened as a different name.
    if (stored.find('\0') != std::string_view::npos) return std::nullopt;
    // A drive prefix of a Windows-made name.
    if (stored.size() >= 2 && stored[1] == ':' &&
        ((stored[0] >= 'A' && stored[0] <= 'Z') || (stored[0] >= 'a' && stored[0] <= 'z'))) {
        stored.remove_prefix(2);
    }
    std::string out;
    for (std::string_view part : PathParts(stored, "/")) {
        if (part == "..") return std::nullopt;
        if (!out.empty()) out += '/';
        out.append(part);
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::vector<std::string_view> PathParts(std::string_view path, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        std::size_t j = path.find_first_of(separators, i);
        if (j == std::string_view::npos) j = path.size();
        std::string_view part = path.substr(i, j - i);
        if (!part.empty() && part != ".") parts.push_back(part);
        i = j + 1;
    }
    return parts;
}

int OpenFolderBelow(int rootFd, std::string_view rel, bool create) {
    int fd = ::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return -1;
    std::size_t i = 0;
    while (i < rel.size()) {
        std::size_t j = rel.find('/', i);
        if (j == std::string_view::npos) j = rel.size();
        std::string part(rel.substr(i, j - i));
        i = j + 1;
        if (part.empty() || part == ".") continue;
        if (part == ".." || part.find('\0') != std::string::npos) {
            ::close(fd);
            errno = EACCES;
            return -1;
        }
        if (create && mkdirat(fd, part.c_str(), 0777) != 0 && errno != EEXIST) {
            int e = errno;
            ::close(fd);
            errno = e;
            return -1;
        }
        int next = ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int e = errno;
        ::close(fd);
        if (next < 0) {
            errno = e;
            return -1;
        }
        fd = next;
    }
    return fd;
}

std::pair<std::string, std::string> SplitLast(std::string_view rel) {
    std::size_t slash = rel.rfind('/');
    if (slash == std::string_view::npos) return {std::string(), std::string(rel)};
    return {std::string(rel.substr(0, slash)), std::string(rel.substr(slash + 1))};
}

}  // namespace kt::arc
