#include "tar_command.h"

#include <cctype>

#include "archivers/common/command_line.h"
#include "platform/archiver_api.h"

namespace kt::tar32 {
namespace {

bool IsDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// "-z", "-z9": the compression and its level (digits only, within range).
bool CompressionSwitch(const std::string& item, char letter, int low, TarCommand* cmd,
                       Compression kind) {
    if (item.size() < 2 || item[1] != letter) return false;
    std::string digits = item.substr(2);
    if (!digits.empty() && !(digits.size() == 1 && IsDigits(digits) && digits[0] - '0' >= low))
        return false;
    cmd->compression = kind;
    cmd->level = digits.empty() ? -1 : digits[0] - '0';
    return true;
}

// "--name=0" / "--name=1": true when item is that switch with a valid value.
bool FlagSwitch(const std::string& item, const std::string& name, bool* value) {
    std::string prefix = "--" + name + "=";
    if (item.compare(0, prefix.size(), prefix) != 0) return false;
    std::string v = item.substr(prefix.size());
    if (!IsDigits(v)) return false;
    *value = v != "0";
    return true;
}

}  // namespace

int ParseTarCommand(const std::string& line, TarCommand* cmd, std::string* error) {
    std::vector<std::string> items;
    if (int rc = kt::arc::SplitCommandLine(line, &items, error)) return rc;
    std::size_t i = 0;
    if (i < items.size() && !items[i].empty() && items[i][0] != '-' && items[i][0] != '@') {
        const std::string& word = items[i++];
        if (word.size() != 1 || std::string("cxetlv").find(word[0]) == std::string::npos) {
            *error = "unknown command: " + word;
            return ERROR_COMMAND_NAME;
        }
        cmd->command = word[0] == 'v' ? 'l' : word[0];
    }
    for (; i < items.size(); ++i) {
        const std::string& item = items[i];
        bool flag = false;
        if (item == "-f" || item == "-o") {
            if (i + 1 >= items.size()) {
                *error = "switch " + item + " needs a value";
                return item == "-f" ? ERROR_NOT_FIND_ARC_FILE : ERROR_COMMAND_NAME;
            }
            (item == "-f" ? cmd->items.archive : cmd->items.folder) = items[++i];
        } else if (item == "-AH") {
            cmd->hidden = true;
        } else if (item == "-I") {
            cmd->hidden = false;
        } else if (item == "-g") {
            cmd->gnuFormat = true;
        } else if (CompressionSwitch(item, 'z', 0, cmd, Compression::Gzip) ||
                   CompressionSwitch(item, 'B', 1, cmd, Compression::Bzip2)) {
        } else if (FlagSwitch(item, "check-all-path", &cmd->wholePathOnly) ||
                   FlagSwitch(item, "use-directory", &cmd->keepFolders) ||
                   FlagSwitch(item, "overwrite", &cmd->overwrite) ||
                   FlagSwitch(item, "display-dialog", &flag)) {
        } else if (item == "--no-space-check") {
            cmd->spaceCheck = false;
        } else if (item.size() > 1 && item[0] == '@') {
            if (int rc = cmd->items.TakeOther(item, error)) return rc;
        } else if (item.size() > 1 && item[0] == '-') {
            *error = "unknown switch: " + item;
            return ERROR_COMMAND_NAME;
        } else if (!item.empty()) {
            // The archive is named by -f, so every other item is a name.
            cmd->items.names.push_back(item);
        }
    }
    return cmd->items.RequireArchive(error);
}

}  // namespace kt::tar32
