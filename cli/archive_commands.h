// kaltri list, test and extract: any format whose library is present, found
// by extension or, failing that, by content.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "existing_files.h"
#include "messages.h"
#include "options.h"

namespace kaltri {

// json: one object per member, then one for the archive, instead of the table.
// Quiet: the members' rows alone, no header or count; Verbose: with each
// member's CRC and attributes.
int ListArchive(const std::string& archive, Lang lang, bool json = false,
                Verbosity verbosity = Verbosity::Normal);
// The names of the archive's members, made printable; empty when it cannot be read.
std::vector<std::string> MemberNames(const std::string& archive);
// Tests every member of the archive at path (absolute) through driver, with
// password ("" for none) for encrypted ZIP members. 0 when all are sound,
// else the library's code; report receives the library's text.
int TestMembers(kt::TArchiver& driver, const std::string& path, const std::string& password,
                std::string& report);
// Tests every member; password ("" for none) opens encrypted ZIP members.
// json: one object for the archive instead of the report. Quiet: only an
// archive that is not sound is named (on stderr); Verbose: the library's
// line for every member before the verdict.
int TestArchive(const std::string& archive, const std::string& password, Lang lang,
                bool json = false, Verbosity verbosity = Verbosity::Normal);
struct ExtractSettings {
    std::string outDir;                                 // empty: the current folder
    std::string password;                               // empty: none
    OverwritePolicy overwrite = OverwritePolicy::None;  // Ask only on a terminal
    bool noSpaceCheck = false;
    // Each archive into a folder named after it (beside it, or in outDir),
    // unless all its members lie in one top folder already.
    bool each = false;
    Verbosity verbosity = Verbosity::Normal;  // Verbose: a line per member written
};

// The folder --each extracts an archive named name into: the name without
// its extension (".tar.gz" and its kin counting as one); a name with no
// extension gets ".d", so the folder never takes the archive's own name.
std::string EachFolderName(const std::string& name);

// Extracts every member. A file already in the target stays unless the
// policy (or the user, asked) lets it go; kept files are named and make the
// exit status 1.
int ExtractArchive(const std::string& archive, const ExtractSettings& settings, Lang lang,
                   const std::atomic<bool>& interrupted, const QuestionFunction& ask);

}  // namespace kaltri
