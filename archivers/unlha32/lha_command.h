// The command language of the library:
//   [command] [-switch...] archive [basedir/] [@list | name | pattern]...
// Switches may stand anywhere after the command and several may share one
// item ("-x1r2"). Integer switches take a number, "+" (1) or "-" (0), or
// nothing (1); string switches (w, jo, job, jx, jz, gr) take the rest of
// their item.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace kt::unlha {

struct LhaCommand {
    char command = 0;                         // a u f d x e l v t s, or 0 for the command-less form
    std::map<std::string, int> ints;          // switch name -> value
    std::map<std::string, std::string> strs;  // w, jo, job, jz, gr
    std::vector<std::string> excludes;        // every -jx pattern
    std::string archive;
    std::string baseDir;             // empty when none was given
    std::vector<std::string> names;  // files or patterns, response files expanded

    int Int(const std::string& name, int unset) const {
        auto it = ints.find(name);
        return it == ints.end() ? unset : it->second;
    }
    bool Has(const std::string& name) const { return ints.count(name) || strs.count(name); }
};

// Parses a command line. 0, or ERROR_COMMAND_NAME (unknown command or
// switch), ERROR_RESPONSE_READ (unreadable @list), ERROR_NOT_FIND_ARC_FILE
// (no archive name); *message says what was wrong.
int ParseLhaCommand(const std::string& line, bool commandless, LhaCommand* cmd,
                    std::string* message);

}  // namespace kt::unlha
