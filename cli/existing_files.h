// kaltri extract and the files already in the target folder: which members
// would meet one, and the user's policy (or answers) about each.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "archive/archiver.h"
#include "messages.h"
#include "options.h"

namespace kaltri {

using QuestionFunction =
    std::function<std::optional<char>(const std::string& question, const std::string& hint)>;

struct MemberPlan {
    bool listed = false;                // the library could read the member list
    std::vector<std::string> existing;  // members whose file is already in the target
    std::vector<std::string> files;     // every member that is a file, as stored
    // The one folder that every member lies in (or is), when the archive
    // has such a single top folder; else empty.
    std::string topFolder;
};

// Lists the archive's members and finds those whose file exists below dir
// (which ends in "/").
MemberPlan PlanMembers(kt::TArchiver& driver, const std::string& archive, const std::string& dir);

// Splits existing into files to replace and files to keep, by the policy or
// by asking (the five answers of pack's question). A name that, as the
// library's pattern, would also select a file being kept is kept too: a
// "yes" must never cost a file the user said "no" to. false when the user
// aborted.
bool DecideExisting(const std::vector<std::string>& existing, OverwritePolicy policy,
                    const std::string& dir, Lang lang, const QuestionFunction& ask,
                    std::vector<std::string>* replace, std::vector<std::string>* kept);

}  // namespace kaltri
