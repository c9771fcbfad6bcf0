// Shell and path helpers shared by the window's parts. Free functions over
// UTF-8 path texts (the file system's bytes); no state of their own.
#pragma once

#include "app/program_names.h"

#include <string>
#include <vector>

namespace kt {

// Writes a freedesktop Desktop Entry at `linkPath` that starts `target` with
// `arguments` in `workDir` (the target's folder when empty), described by
// `description`, with the program's icon, hidden by menus once `target` is
// gone (TryExec). The file is written atomically; true when it was saved.
bool CreateShortcut(const std::string& linkPath, const std::string& target,
                    const std::string& arguments, const std::string& workDir,
                    const std::string& description);

// The user's desktop folder (XDG), absolute, without trailing "/"; empty
// when it cannot be told.
std::string GetDesktopDir();

// The folder of the program's own file, without trailing "/".
std::string GetAppDir();
// The program's own file, full path.
std::string GetAppPath();

// The path made absolute against the current folder, with "." parts and
// doubled "/" removed and a trailing "/" dropped; ".." and everything else
// are kept as they are (there are no short names to expand).
std::string ToLongPath(const std::string& path);

// The whole value of an environment variable; empty when it is not set.
std::string GetEnvString(const std::string& name);

// Number of regular files under `path` (1 for a regular file, also through
// a link; 0 for a missing path, a FIFO, a socket or a device). Folders met
// inside are descended into, links to folders are not.
long long CountFiles(const std::string& path);
long long CountListFiles(const std::vector<std::string>& paths);

// 0 an existing folder, 1 nothing readable there, 2 a file.
int PathKind(const std::string& path);

}  // namespace kt
