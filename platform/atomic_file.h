// Whole-file reads and crash-safe whole-file replacement, for the small files
// the program keeps (settings, the per-user registry, shortcuts).
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace kt {

// Reads the whole file into `data`. False with errno set (ENOENT for a missing
// file); `data` is then empty.
bool ReadWholeFile(const std::string& path, std::string& data);

// Replaces the file at `path` by `data` so that a reader, a killed writer or a
// power cut sees either the old or the new contents, never a mix: the bytes go
// to a hidden temporary file in the same folder, are flushed to disk and then
// renamed over the target. A new file gets exactly `newFileMode`; an existing
// file keeps its mode. A symbolic link is followed, so the file it names is
// replaced and the link stays. False with errno set on failure; the target is
// then untouched and the temporary file removed.
bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode);

// Creates `path` and any missing parent folders with `mode` (like mkdir -p).
// True when the folder exists afterwards.
bool MakeFolders(const std::string& path, mode_t mode);

}  // namespace kt
