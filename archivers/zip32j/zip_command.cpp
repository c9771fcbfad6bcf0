#include "zip_command.h"

#include "archivers/common/command_line.h"
#include "archivers/zip32/zip32_engine.h"

namespace kt::zip32j {

namespace {

// Applies one switch item ("-r", "-rq", "-9", "-FF"); false for an unknown one.
bool ApplySwitch(std::string_view s, ZipCommand& c) {
    std::string_view body = s.substr(1);
    if (body == "FF" || body == "F") return c.recover = true;
    // Info-ZIP has no AES switch; Y is free in its switch set.
    if (body == "Y128" || body == "Y192" || body == "Y256") {
        c.aesStrength = body == "Y128" ? 1 : body == "Y192" ? 2 : 3;
        return true;
    }
    if (body.size() == 1 && body[0] >= '0' && body[0] <= '9') {
        c.level = body[0] - '0';
        return true;
    }
    for (char ch : body) {
        switch (ch) {
            case 'S':
                c.includeHidden = true;
                break;
            case 'D':
                c.noDirEntries = true;
                break;
            case 'v':
                c.verbose = true;
                break;
            case 'q':
                c.quiet = true;
                break;
            case 'r':
                c.recurse = true;
                break;
            case 'o':
                c.archiveTime = true;
                break;
            case 'u':
                if (c.command == ZIP32_ADD) c.command = ZIP32_UPDATE;
                break;
            case 'f':
                if (c.command == ZIP32_ADD) c.command = ZIP32_FRESHEN;
                break;
            case 'j':
                c.junkPaths = true;
                break;
            case 'k':
                c.dosOnly = true;
                break;
            case 'J':
                c.stripPrefix = true;
                break;
            default:
                if (ch >= '0' && ch <= '9') {
                    c.level = ch - '0';
                    break;
                }
                return false;
        }
    }
    return true;
}

}  // namespace

bool ParseZipCommand(std::string_view line, ZipCommand& out, std::string& error, int& code) {
    out = ZipCommand{};
    // -A takes the rest of the line as one path: the driver writes it
    // unquoted, so a folder with blanks must not split it.
    size_t lead = line.find_first_not_of(' ');
    if (lead != std::string_view::npos && line.compare(lead, 3, "-A ") == 0) {
        std::string_view rest = line.substr(lead + 3);
        while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
        while (!rest.empty() && rest.back() == ' ') rest.remove_suffix(1);
        if (rest.size() >= 2 && rest.front() == '"' && rest.back() == '"')
            rest = rest.substr(1, rest.size() - 2);
        out.command = ZIP32_ADJUST;
        out.archive = std::string(rest);
        if (out.archive.empty()) {
            error = "no archive name";
            code = ERROR_NOT_FIND_ARC_FILE;
            return false;
        }
        return true;
    }
    std::vector<std::string> items;
    if ((code = kt::arc::SplitCommandLine(line, &items, &error)) != 0) return false;
    size_t i = 0;
    if (!items.empty()) {
        const std::string& first = items[0];
        if (first == "-d")
            out.command = ZIP32_DELETE, ++i;
        else if (first == "-f")
            out.command = ZIP32_FRESHEN, ++i;
        else if (first == "-u")
            out.command = ZIP32_UPDATE, ++i;
        else if (first == "-A")
            out.command = ZIP32_ADJUST, ++i;
    }
    std::vector<std::string> plain;
    bool switchesDone = false;
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (!switchesDone && item == "--") {
            switchesDone = true;
            continue;
        }
        if (!switchesDone && item.size() > 1 && item[0] == '-') {
            if (item[1] == 'P') {
                // "-P pw" or "-Ppw"; the password may be empty when quoted.
                if (item.size() > 2) {
                    out.password = item.substr(2);
                } else if (i + 1 < items.size()) {
                    out.password = items[++i];
                } else {
                    error = "-P needs a password";
                    code = ERROR_COMMAND_NAME;
                    return false;
                }
                out.hasPassword = !out.password.empty();
                continue;
            }
            if (!ApplySwitch(item, out)) {
                error = "unknown switch " + item;
                code = ERROR_COMMAND_NAME;
                return false;
            }
            continue;
        }
        plain.push_back(item);
    }
    // Deletion names no folder: an item ending in "/" is a name there.
    return kt::arc::TakeZipItems(plain, out.command != ZIP32_DELETE, &out.archive, &out.baseFolder,
                                 &out.names, error, code);
}

}  // namespace kt::zip32j
