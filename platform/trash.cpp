#include "platform/trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/fault_injection.h"
#include "platform/path_text.h"

namespace kt {
namespace {

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

// The device of path, or of its nearest existing folder above it (the home
// trash may not exist yet).
bool DeviceOf(std::string path, dev_t& dev) {
    struct stat st {};
    while (!path.empty()) {
        if (stat(path.c_str(), &st) == 0) {
            dev = st.st_dev;
            return true;
        }
        if (path == "/") break;
        path = FolderOf(path);
    }
    return false;
}

std::string HomeTrash() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/') return JoinFolder(data, "Trash");
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') return {};
    return JoinFolder(home, ".local/share/Trash");
}

// A folder of ours: made when missing (mode 0700), refused when it is a
// link or someone else's, since the trash would then hand files to them.
bool OwnFolder(const std::string& path, std::string& error) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        error = Reason("cannot make " + path);
        return false;
    }
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        error = path + " is not a folder of this user";
        return false;
    }
    return true;
}

// Every folder from the top down to path; the home trash may need
// ~/.local/share made first.
bool OwnFolders(const std::string& path, std::string& error) {
    struct stat st {};
    std::string parent = FolderOf(path);
    if (!parent.empty() && parent != "/" && stat(parent.c_str(), &st) != 0 &&
        !OwnFolders(parent, error))
        return false;
    return OwnFolder(path, error);
}

void SyncFolder(const std::string& folder) {
    int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fault::Fsync(fd);
    close(fd);
}

// Writes the .trashinfo for `original` under a free name in info/ and
// returns that name (without ".trashinfo"); the name is also free in files/.
bool ReserveEntry(const TrashPlace& place, const std::string& original, std::string& name,
                  std::string& error) {
    std::string value = original;
    if (!place.topdir.empty())
        value = original.substr(place.topdir == "/" ? 1 : place.topdir.size() + 1);
    const std::string info = "[Trash Info]\nPath=" + TrashPathValue(value) +
                             "\nDeletionDate=" + TrashDate(std::time(nullptr)) + "\n";
    const std::string base = NameOf(original);
    for (int n = 1; n < 10000; ++n) {
        name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoPath = place.folder + "/info/" + name + ".trashinfo";
        int fd = open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            error = Reason("cannot write " + infoPath);
            return false;
        }
        struct stat st {};
        bool taken = lstat((place.folder + "/files/" + name).c_str(), &st) == 0;
        bool ok = !taken &&
                  fault::Write(fd, info.data(), info.size()) == static_cast<ssize_t>(info.size()) &&
                  fault::Fsync(fd) == 0;
        if (!ok && !taken) error = Reason("cannot write " + infoPath);
        close(fd);
        if (ok) return true;
        unlink(infoPath.c_str());
        if (!taken) return false;
    }
    error = "no free name in the trash for " + base;
    return false;
}

}  // namespace

std::string TrashPathValue(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            std::strchr("-._~/", c) != nullptr) {
            out.push_back(static_cast<char>(c));
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string TrashDate(std::time_t when) {
    struct tm local {};
    localtime_r(&when, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &local);
    return buf;
}

bool FindTrash(const std::string& path, TrashPlace& place, std::string& error) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
        error = Reason(path);
        return false;
    }
    const std::string home = HomeTrash();
    dev_t homeDev = 0;
    if (!home.empty() && DeviceOf(home, homeDev) && homeDev == st.st_dev) {
        place = {home, ""};
        return true;
    }
    // The top folder of the file's own file system: climb while the device stays.
    std::string top = FolderOf(path);
    while (top != "/") {
        struct stat up {};
        std::string parent = FolderOf(top);
        if (stat(parent.c_str(), &up) != 0 || up.st_dev != st.st_dev) break;
        top = parent;
    }
    // An administrator's shared $topdir/.Trash (a real folder with the
    // sticky bit) holds one folder per user; otherwise the user's own
    // $topdir/.Trash-$uid.
    const std::string uid = std::to_string(getuid());
    struct stat shared {};
    const std::string sharedTrash = JoinFolder(top, ".Trash");
    if (lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX))
        place = {JoinFolder(sharedTrash, uid), top};
    else
        place = {JoinFolder(top, ".Trash-" + uid), top};
    return true;
}

bool MoveToTrash(const std::string& path, std::string& error) {
    TrashPlace place;
    if (!FindTrash(path, place, error)) return false;
    bool made =
        place.topdir.empty() ? OwnFolders(place.folder, error) : OwnFolder(place.folder, error);
    if (!made && !place.topdir.empty() && FolderOf(place.folder) != place.topdir) {
        // The shared .Trash would not take our folder: the user's own one.
        place.folder = JoinFolder(place.topdir, ".Trash-" + std::to_string(getuid()));
        made = OwnFolder(place.folder, error);
    }
    if (!made || !OwnFolder(place.folder + "/files", error) ||
        !OwnFolder(place.folder + "/info", error))
        return false;
    std::string name;
    if (!ReserveEntry(place, path, name, error)) return false;
    const std::string target = place.folder + "/files/" + name;
    if (fault::Rename(path.c_str(), target.c_str()) != 0) {
        error = Reason("cannot move " + path + " to the trash");
        unlink((place.folder + "/info/" + name + ".trashinfo").c_str());
        return false;
    }
    SyncFolder(place.folder + "/files");
    SyncFolder(FolderOf(path));
    return true;
}

}  // namespace kt
