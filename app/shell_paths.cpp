#include "app/shell_paths.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "app/desktop_entry_text.h"
#include "platform/atomic_file.h"
#include "platform/file_scan.h"
#include "platform/library_loader.h"
#include "platform/path_text.h"

namespace kt {

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
    entry += std::string("Icon=") + kProgramIconName + "\n";
    // A menu whose program was removed hides the entry instead of offering
    // a start that cannot work.
    entry += "TryExec=" + EntryValue(target) + "\n";
    entry += "Exec=" + EntryValue(exec) + "\n";
    if (!dir.empty()) entry += "Path=" + EntryValue(dir) + "\n";
    entry += "Terminal=false\n";
    return WriteFileAtomically(linkPath, entry, 0644);
}

std::string GetAppPath() { return OwnProgramPath(); }

std::string GetAppDir() { return FolderOf(GetAppPath()); }

std::string ToLongPath(const std::string& path) {
    if (path.empty()) return std::string();
    return AbsolutePath(path);
}

std::string GetEnvString(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    return value ? std::string(value) : std::string();
}

long long CountFiles(const std::string& path) {
    switch (TypeOfPath(path)) {
        case PathType::Folder:
            return static_cast<long long>(CountFolderFiles(path));
        case PathType::File:
            return 1;
        default:
            return 0;  // missing, or a FIFO, socket or device
    }
}

long long CountListFiles(const std::vector<std::string>& paths) {
    long long count = 0;
    for (const std::string& p : paths) count += CountFiles(p);
    return count;
}

int PathKind(const std::string& path) {
    switch (TypeOfPath(path)) {
        case PathType::Missing:
            return 1;
        case PathType::Folder:
            return 0;
        default:
            return 2;
    }
}

}  // namespace kt
