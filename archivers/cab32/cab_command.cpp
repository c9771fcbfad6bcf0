#include "cab_command.h"

#include "archivers/common/command_line.h"
#include "platform/archiver_api.h"

namespace kt::cab32 {

int ParseCabCommand(const std::string& line, CabCommand* cmd, std::string* error) {
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, error)) return rc;
    std::size_t i = 0;
    if (i < items.size() && (items[i] == "-x" || items[i] == "-a" || items[i] == "-f"))
        cmd->command = items[i++][1];
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item == "-o") {
            cmd->overwrite = true;
        } else if (item == "--no-space-check") {
            cmd->spaceCheck = false;
        } else if (item == "-r") {
            cmd->recurse = true;
        } else if (item == "-j") {
            cmd->junkPaths = true;
        } else if (item != "-i" && item != "-q") {
            if (int rc = cmd->items.TakeOther(item, error)) return rc;
        }
    }
    return cmd->items.RequireArchive(error);
}

}  // namespace kt::cab32
