#include "arj_command.h"

#include <cctype>
#include <cstdlib>

#include "archivers/common/command_line.h"
#include "platform/archiver_api.h"
#include "platform/wildcard.h"

namespace kt::unarj {
namespace {

// Only "-" starts a switch: "/" starts every absolute path here.
bool IsSwitch(const std::string& item) { return item.size() > 1 && item[0] == '-'; }

}  // namespace

int ParseArjCommand(const std::string& line, ArjCommand* cmd, std::string* message) {
    *cmd = ArjCommand();
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, message)) return rc;
    std::size_t i = 0;
    if (i < items.size() && !IsSwitch(items[i])) {
        const std::string& word = items[i++];
        char c = word.size() == 1
                     ? static_cast<char>(std::tolower(static_cast<unsigned char>(word[0])))
                     : 0;
        if (c != 'x' && c != 'e' && c != 't' && c != 'l' && c != 'v') {
            *message = "unknown command: " + word;
            return ERROR_COMMAND_NAME;
        }
        cmd->command = c;
    } else {
        cmd->command = 'l';  // no command: list, as the LHA family does
    }
    std::vector<std::string> rest;
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (!IsSwitch(item)) {
            rest.push_back(item);
            continue;
        }
        if (item == "-c" || item == "-c1" || item == "-c+") cmd->replaceNewer = true;
        if (item == "-c0" || item == "-c-") cmd->replaceNewer = false;
        if (item.size() > 2 && item[1] == 'm' && std::isdigit(static_cast<unsigned char>(item[2])))
            cmd->keepExisting = std::atoi(item.c_str() + 2) >= 2;
        if (item == "-jyk" || item == "-jyk1" || item == "-jyk+") cmd->spaceCheck = false;
    }
    if (rest.empty()) {
        *message = "no archive given";
        return ERROR_NOT_FIND_ARC_FILE;
    }
    cmd->archive = rest[0];
    std::size_t next = 1;
    if (next < rest.size() && !rest[next].empty() && rest[next].back() == '/')
        cmd->baseDir = rest[next++];
    for (; next < rest.size(); ++next) {
        const std::string& name = rest[next];
        if (name.size() > 1 && name[0] == '@') {
            if (!kt::arc::ReadResponseFile(name.substr(1), &cmd->names)) {
                *message = "cannot read the list " + name.substr(1);
                return ERROR_RESPONSE_READ;
            }
        } else {
            cmd->names.push_back(name);
        }
    }
    return 0;
}

bool Selected(const ArjCommand& cmd, const std::string& member) {
    if (cmd.names.empty()) return true;
    std::size_t slash = member.rfind('/');
    for (const std::string& n : cmd.names) {
        if (n == "*" || n == "*.*" || kt::WildcardMatch(n, member)) return true;
        if (n.find('/') == std::string::npos && slash != std::string::npos &&
            kt::WildcardMatch(n, member.substr(slash + 1)))
            return true;
    }
    return false;
}

}  // namespace kt::unarj
