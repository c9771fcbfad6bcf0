// Walking the file system the way the program lists sources: regular files
// only (hidden ones included; FIFOs, sockets and devices are passed over, as
// opening a FIFO would block), symbolic links to files followed, links to
// folders never descended into (no cycles), any depth.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kt {

enum class PathType { Missing, File, Folder, Other };

// What a path names, following symbolic links. Other: FIFO, socket, device.
PathType TypeOfPath(const std::string& path);

// Calls onFile(fullPath, size) for every regular file below folder, in the
// order the directory lists them. Returns false when onFile returned false
// (the walk stops there). Unreadable subfolders are passed over.
bool ScanFolder(const std::string& folder,
                const std::function<bool(const std::string& path, std::uint64_t size)>& onFile);

// As ScanFolder without the sizes: files the folder listing already marks
// as regular are not looked up one by one, which makes the walk several
// times faster.
bool ScanFolderPaths(const std::string& folder,
                     const std::function<bool(const std::string& path)>& onFile);

// Number of regular files below folder (counted by ScanFolder's rules).
std::uint64_t CountFolderFiles(const std::string& folder);

}  // namespace kt
