#include "bga_command.h"

#include "platform/archiver_api.h"

namespace kt::bga32 {

int ParseBgaCommand(const std::string& line, BgaCommand* cmd, std::string* error) {
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, error)) return rc;
    std::size_t i = 0;
    if (i < items.size() && items[i].size() == 1 &&
        std::string("xads").find(items[i][0]) != std::string::npos)
        cmd->command = items[i++][0];
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        if (item == "-o" || item == "-n") {
            cmd->overwrite = item == "-o";
        } else if (item == "--no-space-check") {
            cmd->spaceCheck = false;
        } else if (item == "-j") {
            cmd->junkPaths = true;
        } else if (item == "-a" || item == "-i" || item == "-r" ||
                   (item.size() > 2 && item.compare(0, 2, "-l") == 0 &&
                    item.find_first_not_of("0123456789", 2) == std::string::npos)) {
        } else if (int rc = cmd->items.TakeOther(item, error)) {
            return rc;
        }
    }
    return cmd->items.RequireArchive(error);
}

}  // namespace kt::bga32
