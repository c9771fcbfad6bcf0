// Turning the names of a command into the files to add: patterns expanded
// in their folder, folders walked with -r, and the name each file gets in
// the archive (no path with -j, relative to the base folder when one is
// given, otherwise the path without its root, "." and ".." parts).
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "zip_command.h"

namespace kt::zip32j {

struct Member {
    std::string path;
    std::string name;
    struct stat found;  // as collected, links followed
};

// Fills `members`; names that match nothing go to `missing`.
void CollectMembers(const ZipCommand& cmd, std::vector<Member>& members,
                    std::vector<std::string>& missing);

// The stored name of a path: its parts without root, "." and "..".
std::string StoredName(const std::string& path);

}  // namespace kt::zip32j
