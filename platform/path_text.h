// Pure text work on paths ("/" separated UTF-8 byte strings); nothing here
// touches the file system.
#pragma once

#include <string>
#include <string_view>

namespace kt {

// Folder part of a path: everything before the last "/", or "/" for a name
// directly in the root; empty when the path holds no "/".
std::string FolderOf(std::string_view path);

// Name part: everything after the last "/".
std::string NameOf(std::string_view path);

// The name with its extension (from the last "." on) replaced by ext, which
// includes its dot; a name without an extension gets ext appended. A leading
// "." does not start an extension: ".bashrc" becomes ".bashrc.zip".
std::string ReplaceExtension(std::string_view name, std::string_view ext);

// Absolute form of a path against the current folder, with "." parts and
// doubled "/" removed; ".." (which may cross a link) is kept. This one
// reads the current folder.
std::string AbsolutePath(const std::string& path);

// folder + "/" + name (no doubled "/" added when folder ends in one).
std::string JoinFolder(std::string_view folder, std::string_view name);

}  // namespace kt
