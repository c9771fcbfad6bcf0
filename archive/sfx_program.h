// Self-extracting programs made by stub copy: the stub file followed by the
// whole archive, written atomically (a temporary file beside the program,
// renamed over it only when complete), so a failed copy never leaves a
// half-written program and never touches an existing one.
#pragma once

#include <string>

namespace kt {

// ArcName with its extension replaced by ".EXE"; when OutDir is not empty,
// OutDir joined with the file-name part of that name.
std::string SfxProgramName(const std::string& ArcName, const std::string& OutDir);

// Writes StubPath's bytes, then ArcName's, into ProgramPath. Raises
// EFOpenError when the archive or the stub cannot be read, EFCreateError
// when the program cannot be written; the temporary file is removed then.
void WriteSfxProgram(const std::string& StubPath, const std::string& ArcName,
                     const std::string& ProgramPath);

}  // namespace kt
