#include "file_scan.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "temp_name.h"

namespace kt {
namespace {

// Walks with openat/fdopendir so that long paths never hit PATH_MAX and each
// entry is looked at with one fstatat.
bool Walk(int dirFd, std::string& path, bool wantSize,
          const std::function<bool(const std::string&, std::uint64_t)>& onFile) {
    DIR* dir = fdopendir(dirFd);
    if (dir == nullptr) {
        close(dirFd);
        return true;
    }
    std::vector<std::string> folders;
    bool keepGoing = true;
    const std::size_t base = path.size();
    while (keepGoing) {
        dirent* e = readdir(dir);
        if (e == nullptr) break;
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        // Another run's file being written is not a file of the folder yet.
        if (name[0] == '.' && IsTempOfRunningWriter(name)) continue;
        struct stat st {};
        unsigned char type = e->d_type;
        bool isLink = type == DT_LNK;
        if (type == DT_REG && !wantSize) {
            // The listing already says it is a regular file.
            path.resize(base);
            path.append(name);
            keepGoing = onFile(path, 0);
        } else if (type == DT_UNKNOWN || isLink || type == DT_REG) {
            // Follow links to learn what they name; a link to a folder is a
            // leaf (not descended), a link to a file is a file.
            if (fstatat(dirfd(dir), name, &st, 0) != 0) continue;
            if (type == DT_UNKNOWN) {
                struct stat lst {};
                if (fstatat(dirfd(dir), name, &lst, AT_SYMLINK_NOFOLLOW) == 0)
                    isLink = S_ISLNK(lst.st_mode);
            }
            path.resize(base);
            path.append(name);
            if (S_ISREG(st.st_mode)) {
                keepGoing = onFile(path, static_cast<std::uint64_t>(st.st_size));
            } else if (S_ISDIR(st.st_mode) && !isLink) {
                folders.emplace_back(name);
            }
        } else if (type == DT_DIR) {
            folders.emplace_back(name);
        }
    }
    // Subfolders after the files of this folder: keeps one folder's files
    // together and holds only one directory stream open per level.
    for (std::size_t i = 0; keepGoing && i < folders.size(); ++i) {
        int fd =
            openat(dirfd(dir), folders[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        path.resize(base);
        path.append(folders[i]);
        path.push_back('/');
        keepGoing = Walk(fd, path, wantSize, onFile);
    }
    path.resize(base);
    closedir(dir);
    return keepGoing;
}

}  // namespace

PathType TypeOfPath(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return PathType::Missing;
    if (S_ISREG(st.st_mode)) return PathType::File;
    if (S_ISDIR(st.st_mode)) return PathType::Folder;
    return PathType::Other;
}

bool ScanFolder(const std::string& folder,
                const std::function<bool(const std::string& path, std::uint64_t size)>& onFile) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path.push_back('/');
    return Walk(fd, path, true, onFile);
}

bool ScanFolderPaths(const std::string& folder,
                     const std::function<bool(const std::string& path)>& onFile) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return true;
    std::string path = folder;
    if (path.empty() || path.back() != '/') path.push_back('/');
    return Walk(fd, path, false, [&](const std::string& p, std::uint64_t) { return onFile(p); });
}

std::uint64_t CountFolderFiles(const std::string& folder) {
    std::uint64_t n = 0;
    ScanFolderPaths(folder, [&](const std::string&) {
        ++n;
        return true;
    });
    return n;
}

}  // namespace kt
