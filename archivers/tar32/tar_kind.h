// The kinds of file tar32.dll reads: tar under any compression libarchive
// knows, and single compressed files (file.gz, file.bz2, file.Z).
#pragma once

#include <string>

#include "archivers/unpack/archive_reader.h"

struct archive;

namespace kt::tar32 {

// The formats of the reader: tar (all its dialects) and the single
// compressed file.
void EnableTarFormats(struct archive* a);

// TarGetArchiveType's number for a file of this compression and
// container: 1 tar (also under xz, zstd and the like, which need no switch
// of the driver), 2 tar.gz, 3 tar.Z, 4 .gz, 5 .Z, 6 tar.bz2, 7 .bz2; 0 for
// anything else.
int ArchiveTypeNumber(int filter, int format);

// What a listing shows as a member's method: "tar", "tgz", "tbz", ...
std::string MethodText(int filter, int format);

// What tar32.dll reads, as its reading parts (and its fuzz target) use it.
extern const kt::unpack::ReadingFormats kTarFormats;

}  // namespace kt::tar32
