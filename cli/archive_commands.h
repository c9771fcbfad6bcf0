// kaltri list, test and extract: any format whose library is present, found
// by extension or, failing that, by content.
#pragma once

#include <atomic>
#include <string>

#include "archive/archiver.h"
#include "existing_files.h"
#include "messages.h"
#include "options.h"

namespace kaltri {

// json: one object per member, then one for the archive, instead of the table.
int ListArchive(const std::string& archive, Lang lang, bool json = false);
// Tests every member of the archive at path (absolute) through driver, with
// password ("" for none) for encrypted ZIP members. 0 when all are sound,
// else the library's code; report receives the library's text.
int TestMembers(kt::TArchiver& driver, const std::string& path, const std::string& password,
                std::string& report);
// Tests every member; password ("" for none) opens encrypted ZIP members.
// json: one object for the archive instead of the report.
int TestArchive(const std::string& archive, const std::string& password, Lang lang,
                bool json = false);
struct ExtractSettings {
    std::string outDir;                                 // empty: the current folder
    std::string password;                               // empty: none
    OverwritePolicy overwrite = OverwritePolicy::None;  // Ask only on a terminal
    bool noSpaceCheck = false;
};

// Extracts every member. A file already in the target stays unless the
// policy (or the user, asked) lets it go; kept files are named and make the
// exit status 1.
int ExtractArchive(const std::string& archive, const ExtractSettings& settings, Lang lang,
                   const std::atomic<bool>& interrupted, const QuestionFunction& ask);

}  // namespace kaltri
