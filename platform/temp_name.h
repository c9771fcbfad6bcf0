// The names of the temporary files the program and its libraries write
// beside a target before renaming them over it: ".<target>.kt<pid>-<tag>.tmp".
// Hidden, so they do not show up mid-run; named after their target and the
// writing process, so a later run can tell one left behind by a killed
// process (kill -9 allows no clean-up) from one being written right now.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace kt {

// The temporary name for target (a name, no folder); tag is a few random
// characters that keep concurrent writers apart. The target part is cut so
// the whole stays within a file name's length limit.
std::string TempNameBeside(std::string_view target, std::string_view tag);

// This process's id, asked of the system once per process (and again in a
// forked child): every temporary name carries it.
pid_t CurrentProcessId();

// The process that wrote a temporary file of that form, nullopt for any
// other name.
std::optional<pid_t> TempNameWriter(std::string_view name);

// A temporary file of that form whose writer is running: another run (or
// this one) is writing it right now, so it is no source to pack or copy.
bool IsTempOfRunningWriter(std::string_view name);

// Removes from folder the temporary files of that form whose writer is no
// longer running (a writer killed with -9 leaves its file): those of target
// only, or all of them when target is empty. Returns how many went.
int RemoveStaleTempFiles(const std::string& folder, std::string_view target = {});

}  // namespace kt
