#include "unrar_command.h"

#include "platform/archiver_api.h"

namespace kt::unrar32 {

int ParseUnrarCommand(const std::string& line, UnrarCommand* cmd, std::string* error) {
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, error)) return rc;
    std::size_t i = 0;
    if (i < items.size() && (items[i] == "-x" || items[i] == "-e")) cmd->command = items[i++][1];
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item == "-u") {
            cmd->onlyNewer = true;
        } else if (item == "-s") {
            cmd->wholePathOnly = true;
        } else if (item == "-y") {
            cmd->keepExisting = true;
        } else if (item == "--no-space-check") {
            cmd->spaceCheck = false;
        } else {
            if (int rc = cmd->items.TakeOther(item, error)) return rc;
        }
    }
    return cmd->items.RequireArchive(error);
}

}  // namespace kt::unrar32
