// Extracting, testing and extracting to memory the members a MemberSource
// hands out. Nothing is written outside the target folder:
// names climbing out ("..") are refused, roots are dropped, folders are
// walked without following links, a symbolic link is made only when its
// target stays inside the folder, and every file appears under its name
// only when complete. The rules themselves are those of
// archivers/common/extract_policy.h.
#pragma once

#include <ctime>
#include <functional>
#include <string>

#include "archive_reader.h"
#include "archivers/common/progress.h"
#include "archivers/common/report.h"
#include "platform/windows_types.h"

namespace kt::unpack {

// What happens to a file of the member's name already in the folder.
enum class Overwrite { Always, Never, IfNewer };

struct ExtractJob {
    std::string folder;       // target folder; "" is the current one
    bool keepFolders = true;  // false: every file straight into the folder
    bool test = false;        // read and check every selected member, write nothing
    // A file kept is reported: Never keeps it quietly (the caller chose),
    // IfNewer fails the member with ERROR_MORE_FRESH.
    Overwrite overwrite = Overwrite::Always;
    // The run's bytes stay within the free space the target had at the
    // start; liftSpaceSwitch is the library's switch that turns it off.
    bool spaceCheck = true;
    std::string liftSpaceSwitch = "--no-space-check";
    std::function<bool(const Member&)> selected;  // null selects all
    // Data damage takes away the files this run wrote before it: their
    // bytes may have come from the damaged block (ReadingFormats::sharedBlocks).
    bool sharedBlocks = false;
};

// 0, or the first error (a later error replaces a warning); each failed
// member has a report line. ERROR_USER_CANCEL when the owner asked to stop.
int ExtractMembers(MemberSource& reader, const ExtractJob& job, kt::arc::Report& report,
                   kt::arc::ProgressSender& progress);

// The first selected file into buffer. ERROR_NOT_FIND_FILE when none is
// selected, ERROR_ENOUGH_MEMORY when it does not fit.
int ExtractToMemory(MemberSource& reader, const std::function<bool(const Member&)>& selected,
                    BYTE* buffer, DWORD size, DWORD* written, time_t* time, WORD* attr);

}  // namespace kt::unpack
