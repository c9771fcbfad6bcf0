// Extraction paths that cannot leave the target folder: stored names are
// cleaned of roots, "." and empty parts, names holding ".." are refused, and
// folders are walked one by one without following symbolic links, so a link
// planted in the target (or made by an earlier member) cannot redirect a
// write elsewhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kt::arc {

// The parts of a path split at any of `separators`, empty and "." parts
// left out ("/a//./b" gives "a", "b"); ".." parts are kept for the caller
// to judge.
std::vector<std::string_view> PathParts(std::string_view path, std::string_view separators);

// The stored path as a relative "a/b/c" path; a leading root or drive
// ("/", "C:") is dropped. Only "/" splits: the readers turn the "\" of DOS
// and Windows producers into "/", and any other producer's "\" is a
// character of the name (on Linux it opens no folder). nullopt when a part is
// "..", the name holds a NUL, or nothing is left.
std::optional<std::string> SafeRelativePath(std::string_view stored);

// Opens the folder rel ("" for root itself) below the open folder rootFd,
// creating missing folders when create is set. Never follows a symbolic
// link: -1 with errno ELOOP or ENOTDIR when one is in the way, or the errno
// of the failing call.
int OpenFolderBelow(int rootFd, std::string_view rel, bool create);

// The folder part and the last part of a relative path ("a/b/c" -> "a/b", "c").
std::pair<std::string, std::string> SplitLast(std::string_view rel);

}  // namespace kt::arc
