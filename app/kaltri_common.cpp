#include "app/kaltri_common.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kt {

namespace {

// Writes `content` to a temporary file beside `path`, then renames it over
// `path`; on any failure the old file is untouched and the temporary gone.
bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    std::string tmpl = path + ".XXXXXX";
    int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return false;
    bool ok = ::fchmod(fd, mode) == 0;
    size_t done = 0;
    while (ok && done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmpl.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(tmpl.c_str());
    return ok;
}

// Quotes an argument of an Exec line as the Desktop Entry specification
// asks: inside double quotes, with ", `, $ and \ escaped.
std::string QuoteExecArgument(const std::string& arg) {
    std::string out = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
        out += c;
    }
    out += '"';
    // A literal percent sign is written %% in an Exec line.
    std::string escaped;
    for (char c : out) {
        escaped += c;
        if (c == '%') escaped += '%';
    }
    return escaped;
}

// Escapes a string value of a Desktop Entry (no line breaks inside).
std::string EntryValue(const std::string& value) {
    std::string out;
    for (char c : value) {
        switch (c) {
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

long long CountFolder(const std::string& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return 0;
    long long count = 0;
    const int dirFd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        std::string_view name(e->d_name);
        if (name == "." || name == "..") continue;
        // The entry's type from the folder listing saves a stat per file;
        // only unknown types and links are looked up.
        unsigned char type = e->d_type;
        if (type == DT_UNKNOWN || type == DT_LNK) {
            struct stat st;
            if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISLNK(st.st_mode)) {
                // A link counts when it leads to a regular file; a link to a
                // folder is never followed (no cycles).
                if (::fstatat(dirFd, e->d_name, &st, 0) == 0 && S_ISREG(st.st_mode)) ++count;
                continue;
            }
            type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        }
        if (type == DT_REG) {
            ++count;
        } else if (type == DT_DIR) {
            count += CountFolder(folder == "/" ? folder + e->d_name : folder + "/" + e->d_name);
        }
    }
    ::closedir(dir);
    return count;
}

}  // namespace

bool CreateShortcut(const std::string& linkPath, const std::string& target,
                    const std::string& arguments, const std::string& workDir,
                    const std::string& description) {
    const std::string dir = workDir.empty() ? FolderOf(target) : workDir;
    std::string exec = QuoteExecArgument(target);
    if (!arguments.empty()) exec += " " + arguments;
    std::string entry;
    entry += "[Desktop Entry]\n";
    entry += "Type=Application\n";
    entry += "Name=KalvoraTrindle\n";
    entry += "Comment=" + EntryValue(description) + "\n";
    entry += "Exec=" + EntryValue(exec) + "\n";
    if (!dir.empty()) entry += "Path=" + EntryValue(dir) + "\n";
    entry += "Terminal=false\n";
    return WriteFileAtomically(linkPath, entry, 0644);
}

std::string GetAppPath() {
    std::string buf(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::string GetAppDir() { return FolderOf(GetAppPath()); }

std::string ToLongPath(const std::string& path) {
    if (path.empty()) return std::string();
    std::string full;
    if (path[0] == '/') {
        full = path;
    } else {
        char* cwd = ::getcwd(nullptr, 0);
        full = cwd ? std::string(cwd) + "/" + path : path;
        std::free(cwd);
    }
    std::string out;
    size_t i = 0;
    while (i < full.size()) {
        while (i < full.size() && full[i] == '/') ++i;
        size_t j = full.find('/', i);
        if (j == std::string::npos) j = full.size();
        std::string_view part(full.data() + i, j - i);
        if (!part.empty() && part != ".") {
            out += '/';
            out.append(part);
        }
        i = j;
    }
    return out.empty() ? std::string("/") : out;
}

std::string GetEnvString(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

long long CountFiles(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 0;
    if (S_ISDIR(st.st_mode)) return CountFolder(path);
    return S_ISREG(st.st_mode) ? 1 : 0;
}

long long CountListFiles(const std::vector<std::string>& paths) {
    long long count = 0;
    for (const std::string& p : paths) count += CountFiles(p);
    return count;
}

int PathKind(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return 1;
    return S_ISDIR(st.st_mode) ? 0 : 2;
}

}  // namespace kt
