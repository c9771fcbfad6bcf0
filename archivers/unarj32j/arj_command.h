// The command language of UNARJ32J.DLL, which the ARJ driver feeds with the
// LHA driver's command lines:
//   command [-switch...] archive [basedir/] [@list | name | pattern]...
// Commands: x (extract with folders), e (into one folder), t (test), l and
// v (list). Of the switches -c (replace newer files too), -m2 (answer "no"
// to every overwrite question: every existing file is kept and reported)
// and -jyk (no free-space check) have a meaning here; the others the
// driver may emit are accepted and ignored.
#pragma once

#include <string>
#include <vector>

namespace kt::unarj {

struct ArjCommand {
    char command = 0;
    bool replaceNewer = false;  // -c / -c1
    bool keepExisting = false;  // -m2 (or higher)
    bool spaceCheck = true;     // off with -jyk / -jyk1
    std::string archive;
    std::string baseDir;  // empty when none was given
    std::vector<std::string> names;
};

// 0, or ERROR_COMMAND_NAME / ERROR_NOT_FIND_ARC_FILE / ERROR_RESPONSE_READ
// with *message saying what was wrong.
int ParseArjCommand(const std::string& line, ArjCommand* cmd, std::string* message);

// Whether a member is selected by the names (all when none): a name with a
// "/" matches the whole stored path, one without matches its last part too.
bool Selected(const ArjCommand& cmd, const std::string& member);

}  // namespace kt::unarj
