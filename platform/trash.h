// The desktop's trash (the freedesktop.org Trash standard, version 1.0), so that a
// file kaltri removes can be restored from any file manager.
#pragma once

#include <ctime>
#include <string>

namespace kt {

// The trash a file goes into: the home trash ($XDG_DATA_HOME/Trash, with
// XDG_DATA_HOME defaulting to ~/.local/share) when it lies on the file's
// file system, else on the file's own file system $topdir/.Trash/$uid when
// $topdir/.Trash is a sticky folder, or $topdir/.Trash-$uid (a rename never
// crosses file systems, so nothing is copied).
struct TrashPlace {
    std::string folder;  // holds files/ and info/
    // Empty for the home trash, whose Path values are absolute; else the
    // file system's top folder, which a volume trash's Path values are
    // relative to.
    std::string topdir;
};

// Where path (absolute) would go; false with `error` set when no trash can
// be made for it.
bool FindTrash(const std::string& path, TrashPlace& place, std::string& error);

// The Path value of a .trashinfo: bytes other than unreserved URI
// characters and "/" as %XX.
std::string TrashPathValue(const std::string& path);

// The DeletionDate value: local time as YYYY-MM-DDThh:mm:ss.
std::string TrashDate(std::time_t when);

// Moves path (absolute; the link itself when it is a symbolic link) into
// its trash, with a .trashinfo written and flushed first so the entry can
// always be restored. False with `error` set when nothing was moved.
bool MoveToTrash(const std::string& path, std::string& error);

}  // namespace kt
