// Packing one source file (or one folder, whole, under its own name) into
// one archive of its own through the archive
// component, as the batch run (window and kaltri alike) does it, with two
// guarantees the bare component does not give:
//  - the archive appears only once it is complete: it is made under a
//    temporary name beside its place and renamed there, so a failed or
//    cancelled pack leaves no new archive and the old archive as it was.
//    A new archive whose library already works that way (see
//    TArchiver::PacksWholeArchives) is made under its own name instead:
//    one rename less per archive, which counts over many small files;
//  - success means the archive exists: a hidden source (which file
//    collection passes over while option a is unset) is packed with a = 1
//    for that one call, and a pack that reports 0 without making the archive
//    is reported as ERROR_NOT_FIND_FILE.
#pragma once

#include <functional>
#include <string>

#include "archive/archive_file.h"

namespace kt {

// A check of the finished temporary archive before it takes its place (a
// test of every member): Run gives 0 when the archive may go in, else the
// error code the pack fails with, and may leave its report in Report;
// Failed then tells the caller that the library made the archive and the
// check refused it.
struct TPackCheck {
    std::function<int(const std::string& Temporary)> Run;
    std::string Report;
    bool Failed = false;
};

// The batch run's component settings: OutputSize 8192, options n = 1 and
// x = 0, response files for pack, unpack and remove, all else unset.
void ConfigureForBatchRun(TArchiveFile& Archive);

// Archive's FileName, Options (UserOptions included) and OnProgress are the
// caller's; FileName ends as ArchivePath. Type is the archive's format
// (decided once by the caller, not read again from the names): the
// component keeps its driver while the type stays the same. Returns 0 when the archive was
// made, else the library's error code. The layer's failures are raised, after
// any temporary archive has been removed. Temporary (may be null) receives
// the temporary name the library was given (empty when it was given
// ArchivePath). With Check, the temporary archive is checked first and an
// archive it would replace stays when the check fails. NewArchive: the
// caller has just found no archive at ArchivePath. Place false: a made
// archive stays under its temporary name (in *Temporary) for the caller to
// put in place with PlacePacked, or to remove.
int PackOneFile(TArchiveFile& Archive, TArchiverType Type, HWND Wnd, const std::string& ArchivePath,
                const std::string& Source, std::string* Temporary = nullptr,
                TPackCheck* Check = nullptr, bool NewArchive = false, bool Place = true);

// Puts an archive made under Temporary in its place, replacing what is
// there: 0, or the error code of a failed rename (Temporary is then gone).
int PlacePacked(const std::string& Temporary, const std::string& ArchivePath);

// Removes, in folder, the temporary archives that an earlier run left when
// it was killed: names of PackOneFile's form whose process is gone and which
// are older than this process, and the libraries' own temporary files whose
// writer is gone. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& folder);

}  // namespace kt
