#include "lha_command.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "archivers/common/command_line.h"
#include "platform/archiver_api.h"

namespace kt::unlha {
namespace {

// Every switch a host may send. Integer switches first, then string ones;
// longer names are tried before their prefixes.
const char* const kIntSwitches[] = {
    "jss", "jyc", "jyd", "jyk", "jyn", "jyo",                                           //
    "jc",  "jd",  "je",  "jf",  "jh",  "ji",  "jm", "jn", "jp", "jr", "jw",             //
    "ga",  "gd",  "ge",  "gf",  "gj",  "gm",  "gn", "go", "gp", "gs", "gu", "gw",       //
    "a",   "c",   "e",   "f",   "h",   "i",   "l",  "m",  "n",  "o",  "p",  "r",  "s",  //
    "t",   "u",   "x",   "y",   "z",   "d",   "+",  "!"};
const char* const kStrSwitches[] = {"job", "jo", "jx", "jz", "gr", "w"};

bool StartsWithNoCase(const std::string& s, std::size_t at, const char* name) {
    std::size_t n = std::strlen(name);
    if (at + n > s.size()) return false;
    for (std::size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(s[at + i])) != name[i]) return false;
    }
    return true;
}

// Parses the switches of one item (without its leading "-").
bool ParseSwitches(const std::string& item, LhaCommand* cmd, std::string* message) {
    std::size_t i = 0;
    while (i < item.size()) {
        const char* match = nullptr;
        bool isStr = false;
        for (const char* s : kStrSwitches) {
            if (StartsWithNoCase(item, i, s)) {
                match = s;
                isStr = true;
                break;
            }
        }
        if (!match) {
            for (const char* s : kIntSwitches) {
                if (StartsWithNoCase(item, i, s)) {
                    match = s;
                    break;
                }
            }
        }
        if (!match) {
            *message = "unknown switch -" + item.substr(i);
            return false;
        }
        i += std::strlen(match);
        if (isStr) {
            std::string value = item.substr(i);
            if (std::strcmp(match, "jx") == 0) {
                cmd->excludes.push_back(value);
            } else {
                cmd->strs[match] = value;
            }
            return true;
        }
        int value = 1;
        if (i < item.size() && (item[i] == '+' || item[i] == '-') && std::strcmp(match, "+") != 0) {
            value = item[i] == '+' ? 1 : 0;
            ++i;
        } else if (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i]))) {
            value = 0;
            while (i < item.size() && std::isdigit(static_cast<unsigned char>(item[i]))) {
                value = value * 10 + (item[i] - '0');
                if (value > 1000000) {
                    *message = "the value of switch -" + std::string(match) + " is too large";
                    return false;
                }
                ++i;
            }
        }
        cmd->ints[match] = value;
    }
    return true;
}

}  // namespace

int ParseLhaCommand(const std::string& line, bool commandless, LhaCommand* cmd,
                    std::string* message) {
    *cmd = LhaCommand();
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, message)) return rc;
    std::size_t first = 0;
    if (!commandless) {
        if (!items.empty() && !kt::arc::IsSwitch(items[0]) && items[0].size() == 1) {
            char c = static_cast<char>(std::tolower(static_cast<unsigned char>(items[0][0])));
            if (!std::strchr("aufdxelvts", c)) {
                *message = "unknown command " + items[0];
                return ERROR_COMMAND_NAME;
            }
            cmd->command = c;
            first = 1;
        } else {
            cmd->command = 'l';  // the traditional default
        }
    }
    std::vector<std::string> plain;
    for (std::size_t i = first; i < items.size(); ++i) {
        const std::string& it = items[i];
        if (it.size() > 1 && it[0] == '-') {
            if (!ParseSwitches(it.substr(1), cmd, message)) return ERROR_COMMAND_NAME;
        } else if (!it.empty()) {
            plain.push_back(it);
        }
    }
    if (plain.empty()) {
        *message = "no archive name";
        return ERROR_NOT_FIND_ARC_FILE;
    }
    cmd->archive = plain[0];
    std::size_t k = 1;
    // A base folder ends with "/" and directly follows the archive.
    if (plain.size() > 1 && plain[1].back() == '/' && plain[1][0] != '@') {
        cmd->baseDir = plain[1];
        k = 2;
    }
    for (; k < plain.size(); ++k) {
        if (plain[k][0] == '@' && plain[k].size() > 1) {
            if (!kt::arc::ReadResponseFile(plain[k].substr(1), &cmd->names)) {
                *message = "cannot read response file " + plain[k].substr(1);
                return ERROR_RESPONSE_READ;
            }
        } else {
            cmd->names.push_back(plain[k]);
        }
    }
    return 0;
}

}  // namespace kt::unlha
