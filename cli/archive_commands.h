// kaltri list, test and extract: any format whose library is present, found
// by extension or, failing that, by content.
#pragma once

#include <atomic>
#include <string>

#include "existing_files.h"
#include "messages.h"
#include "options.h"

namespace kaltri {

int ListArchive(const std::string& archive, Lang lang);
// Tests every member; password ("" for none) opens encrypted ZIP members.
int TestArchive(const std::string& archive, const std::string& password, Lang lang);
struct ExtractSettings {
    std::string outDir;    // empty: the current folder
    std::string password;  // empty: none
    OverwritePolicy overwrite = OverwritePolicy::None;  // Ask only on a terminal
    bool noSpaceCheck = false;
};

// Extracts every member. A file already in the target stays unless the
// policy (or the user, asked) lets it go; kept files are named and make the
// exit status 1.
int ExtractArchive(const std::string& archive, const ExtractSettings& settings, Lang lang,
                   const std::atomic<bool>& interrupted, const QuestionFunction& ask);

}  // namespace kaltri
