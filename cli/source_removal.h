// --move-to-trash and --delete-source: a source goes only once its archive
// is in place, tested clean and on the disk, and only when it is still the
// file that was packed.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "options.h"

namespace kaltri {

// What became of a source the user asked to remove; travels from the
// worker process to the parent as a number.
enum class SourceFate {
    NotAsked,
    Trashed,
    Deleted,
    KeptInterrupted,  // the run was interrupted before the archive's test finished
    KeptChanged,      // size or modification time differ from when it was packed
    KeptNotFlushed,   // the archive or its folder could not be flushed (detail)
    KeptNotRemoved,   // trash or unlink failed (detail)
};

// Whether the user asked for the source to go and it stayed.
bool SourceKept(SourceFate fate);
// One word for the fate, for --json: "trash", "deleted", "interrupted",
// "changed", "not-flushed", "not-removed".
const char* FateWord(SourceFate fate);

// The source as it was before packing began; for a folder packed whole,
// also a digest of every entry below it (path, type, size, time, inode), so
// a file added, removed or changed inside it is seen.
struct SourceStamp {
    bool valid = false;
    struct stat st {};
    std::uint64_t tree = 0;
};
SourceStamp StampOf(const std::string& source);

// Called once the source's archive exists and tested clean. `interrupted`
// is whether the run was interrupted before that test finished. Flushes
// the archive and its folder, compares the source with `before` and then
// removes it as `how` says (a folder with everything in it). `detail` receives the reason a source is kept.
SourceFate RemoveSource(const std::string& source, const SourceStamp& before,
                        const std::string& archive, SourceRemoval how, bool interrupted,
                        std::string& detail);

}  // namespace kaltri
