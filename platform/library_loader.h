// Loading archiver libraries by file name, the way the program has always
// found them: the program's own folder first, then each PATH folder, the
// first file of exactly that name wins. The availability check and the
// loader use the same search, so they always agree.
#pragma once

#include <string>
#include <vector>

#include "windows_types.h"

// Opens the library (dlopen, RTLD_NOW | RTLD_LOCAL). A name holding "/" is
// opened as given. Returns null when no such file exists or it cannot be
// loaded. Loading the same file again returns the same handle.
HMODULE LoadLibrary(const std::string& name);

// The address of an exported entry, null when the library has none (or the
// handle is null).
void* GetProcAddress(HMODULE module, const char* name);

// Drops one reference; the library is unloaded with its last one.
BOOL FreeLibrary(HMODULE module);

// The full path that was opened for the handle; the program's own path for
// a null handle; empty when the handle is unknown.
std::string GetModuleFileName(HMODULE module);

// Full path of the first regular file of that name in the program's folder,
// the current folder, then each PATH folder; empty when there is none.
std::string SearchPath(const std::string& name);

namespace kt {

// The folder the program runs from (absolute, no trailing "/").
std::string GetProgramFolder();

// Full path of the library file LoadLibrary would open (program folder,
// then PATH); empty when there is none.
std::string FindLibraryFile(const std::string& name);

// SearchPath's search (program folder, current folder, PATH).
std::string SearchFile(const std::string& name);

// The program's own full path.
std::string OwnProgramPath();

// The non-empty pieces of PATH, in order and as written (relative ones
// stay relative; quotation marks stay part of a piece).
std::vector<std::string> PathFolders();

// Tests only: makes `folder` the program folder for every search above, so
// a test can put libraries of its choice into a temporary folder. An empty
// text restores the real folder.
void SetProgramFolderForTesting(const std::string& folder);

}  // namespace kt
