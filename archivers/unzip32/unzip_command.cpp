#include "unzip_command.h"

#include "archivers/common/command_line.h"
#include "platform/archiver_api.h"

namespace kt::unzip32 {
bool ParseUnzipCommand(std::string_view line, UnzipCommand& out, std::string& error, int& code) {
    out = UnzipCommand{};
    std::vector<std::string> items;
    if ((code = kt::arc::SplitCommandLine(line, &items, &error)) != 0) return false;
    size_t i = 0;
    if (!items.empty()) {
        const std::string& first = items[0];
        if (first == "-x")
            ++i;
        else if (first == "-e")
            out.junkPaths = true, ++i;
        else if (first == "-t")
            out.action = UnzipAction::Test, ++i;
        else if (first == "-l")
            out.action = UnzipAction::List, ++i;
        else if (first == "-v")
            out.action = UnzipAction::List, out.verbose = true, ++i;
    }
    std::vector<std::string> plain;
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item.size() < 2 || item[0] != '-') {
            plain.push_back(item);
            continue;
        }
        if (item == "--i") continue;
        if (item == "--no-space-check") {
            out.noSpaceCheck = true;
            continue;
        }
        if (item[1] == 'P' || item[1] == 'd') {
            std::string value;
            if (item.size() > 2) {
                value = item.substr(2);
            } else if (i + 1 < items.size()) {
                value = items[++i];
            } else {
                error = item + " needs a value";
                code = ERROR_COMMAND_NAME;
                return false;
            }
            if (item[1] == 'P') {
                out.password = value;
                out.hasPassword = !value.empty();
            } else {
                out.baseFolder = value;
            }
            continue;
        }
        for (size_t k = 1; k < item.size(); ++k) {
            switch (item[k]) {
                case 'o':
                    out.overwrite = true;
                    break;
                case 'n':
                    out.neverOverwrite = true;
                    break;
                case 'j':
                    out.junkPaths = true;
                    break;
                case 'q':
                    out.quiet = true;
                    break;
                case 'C':
                    break;  // names are always matched without regard to case
                default:
                    error = "unknown switch " + item;
                    code = ERROR_COMMAND_NAME;
                    return false;
            }
        }
    }
    return kt::arc::TakeZipItems(plain, true, &out.archive, &out.baseFolder, &out.names, error,
                                 code);
}

}  // namespace kt::unzip32
