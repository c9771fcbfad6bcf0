// The rules every reading library keeps when it writes members to disk,
// in one place so that no library keeps only a subset of them:
//
// - an existing file is replaced only when the command says so, and a kept
//   file is reported as kept;
// - a member's file appears only when its bytes are exactly the bytes its
//   header declares and every write reached the disk (no write failure is
//   dropped, nothing cut short is left);
// - stored modes are permission bits only, applied through the umask;
// - what cannot be made as what it is (a device, a pipe, an unknown kind)
//   is reported and counts as not extracted;
// - a symbolic link is made only when its target, resolved against what is
//   on disk at that moment (links followed, chains included), stays inside
//   the target folder;
// - the bytes a run writes stay within the free space the target had when
//   it started (the declared sizes before the first byte where a library
//   knows them all, a running cap where it learns them one by one).
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/atomic_file.h"

namespace kt::arc {

// What happens to a file of the member's name already in the target.
enum class Replace { Always, Never, IfNewer };

// What is at a member's name before it is written.
enum class InTheWay {
    Nothing,    // the name is free
    Replace,    // a file (or link) the rule lets go
    Keep,       // a file the rule keeps: the member is not written
    KeepNewer,  // IfNewer: the file on disk is as new or newer
    Folder,     // a folder: never replaced by a file
};

// Looks at the entry leaf of the open folder dirFd without following a link.
InTheWay LookBeforeWriting(int dirFd, const std::string& leaf, Replace rule, int64_t memberTime);

// The mode a file gets from a stored mode: its permission bits (no set-id
// or sticky bits) less the umask of the process, as any new file.
mode_t ModeThroughUmask(uint32_t stored);

// "" when a member produced the bytes its header declared, else the reason.
std::string SizeMismatch(uint64_t produced, uint64_t declared);

// The last steps of a member's file: flush (a failed write fails here even
// when an earlier call dropped it), size against the declared size when
// known, mode through the umask, time, atomic rename. "" on success, else
// the reason; the temporary file is gone then and any old file untouched.
struct FileFinish {
    std::optional<uint64_t> declared;  // none for formats that do not say
    std::optional<uint32_t> mode;      // stored mode; none keeps the default
    int64_t mtime = 0;                 // 0 leaves the time of writing
    long mtimeNs = 0;
};
std::string FinishMemberFile(kt::AtomicFile& out, const FileFinish& finish);

// The report text for a member of a kind not made on disk ("a device").
std::string NotMadeText(std::string_view kind);

// Why a symbolic link with text target, made in the folder linkDir (a
// relative path below the open target folder rootFd), would lead outside
// the target folder: resolved part by part against what is on disk now,
// following every link it meets (chains included). "" when it stays inside.
std::string LinkLeavesTarget(int rootFd, std::string_view linkDir, std::string_view target);

// Whether a link with text target in the folder linkDir stays inside as
// text alone (a test, with nothing on disk to resolve against, checks this).
bool LinkTextStaysInside(std::string_view linkDir, std::string_view target);

// The symbolic links one run makes. Each is checked against the disk when
// it is made; a later member can still change what an earlier link's path
// runs through (a link made where it expected a folder), so Recheck looks
// at all of them again once the run is over and removes any that now leads
// out.
class LinkMaker {
public:
    explicit LinkMaker(int rootFd) : root_(rootFd) {}
    // Makes the link leaf -> target in the folder relDir (open as dirFd),
    // replacing a file or link of that name. "" on success, else the reason
    // (nothing made).
    std::string Make(int dirFd, const std::string& relDir, const std::string& leaf,
                     const std::string& target);
    // One line per link removed because it now leads outside.
    std::vector<std::string> Recheck();

private:
    struct Made {
        std::string dir, leaf, target;
    };
    int root_;
    std::vector<Made> made_;
};

// The running cap on what one run writes: the free space of the target
// when the run started. Take is asked before a member with its declared
// size and while writing with the bytes written; false (and Text tells
// why) once the run's total would exceed it.
class SpaceCap {
public:
    // folderFd: the open target folder; a disabled cap always answers true.
    SpaceCap(int folderFd, bool enabled, std::string target, std::string liftSwitch);
    // Whether `more` bytes may still be written in this run.
    bool Fits(uint64_t more) const;
    // Counts bytes written; false when the total now exceeds the cap.
    bool Take(uint64_t written);
    std::string Text(uint64_t more) const;

private:
    bool enabled_;
    uint64_t free_ = UINT64_MAX;
    uint64_t used_ = 0;
    std::string target_, lift_;
};

}  // namespace kt::arc
