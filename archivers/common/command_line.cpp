#include "command_line.h"

#include <fstream>

#include "platform/archiver_api.h"

namespace kt::arc {

std::vector<std::string> TokenizeCommandLine(std::string_view line) {
    std::vector<std::string> items;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= line.size()) break;
        std::string item;
        bool quoted = false;
        bool sawQuote = false;
        for (; i < line.size(); ++i) {
            char c = line[i];
            if (c == '"') {
                quoted = !quoted;
                sawQuote = true;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                item += c;
            }
        }
        if (!item.empty() || sawQuote) items.push_back(std::move(item));
    }
    return items;
}

namespace {

// The NUL-ended items of a file, appended to *items; a last item without
// its NUL still counts.
bool ReadNulItems(const std::string& path, std::vector<std::string>* items) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string item;
    while (std::getline(in, item, '\0')) items->push_back(std::move(item));
    return !in.bad();
}

}  // namespace

int SplitCommandLine(std::string_view line, std::vector<std::string>* items, std::string* error) {
    items->clear();
    for (std::string& item : TokenizeCommandLine(line)) {
        if (item.compare(0, kNulItemsSwitch.size(), kNulItemsSwitch) != 0) {
            items->push_back(std::move(item));
            continue;
        }
        const std::string path = item.substr(kNulItemsSwitch.size());
        if (path.empty() || !ReadNulItems(path, items)) {
            *error = "cannot read the list file " + path;
            return ERROR_RESPONSE_READ;
        }
    }
    return 0;
}

bool ReadResponseFile(const std::string& path, std::vector<std::string>* names) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t b = line.find_first_not_of(" \t");
        if (b == std::string::npos) continue;
        std::size_t e = line.find_last_not_of(" \t");
        std::string_view name(line.data() + b, e - b + 1);
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
            name = name.substr(1, name.size() - 2);
        }
        if (!name.empty()) names->emplace_back(name);
    }
    return !in.bad();
}

std::string UnescapeZipName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (name.compare(i, 3, "[[]") == 0) {
            out.push_back('[');
            i += 2;
        } else {
            out.push_back(name[i]);
        }
    }
    return out;
}

bool AppendZipNames(const std::vector<std::string>& items, std::size_t from,
                    std::vector<std::string>* names, std::string* unreadable) {
    for (std::size_t k = from; k < items.size(); ++k) {
        const std::string& item = items[k];
        if (item.size() > 1 && item[0] == '@') {
            std::vector<std::string> listed;
            if (!ReadResponseFile(item.substr(1), &listed)) {
                *unreadable = item.substr(1);
                return false;
            }
            for (const std::string& n : listed) names->push_back(UnescapeZipName(n));
        } else if (!item.empty()) {
            names->push_back(UnescapeZipName(item));
        }
    }
    return true;
}

bool TakeZipItems(const std::vector<std::string>& plain, bool takesFolder, std::string* archive,
                  std::string* baseFolder, std::vector<std::string>* names, std::string& error,
                  int& code) {
    if (plain.empty() || plain[0].empty()) {
        error = "no archive name";
        code = ERROR_NOT_FIND_ARC_FILE;
        return false;
    }
    *archive = plain[0];
    std::size_t k = 1;
    if (takesFolder && k < plain.size() && plain[k].size() > 1 && plain[k].back() == '/')
        *baseFolder = plain[k++];
    std::string unreadable;
    if (!AppendZipNames(plain, k, names, &unreadable)) {
        error = "cannot read the response file " + unreadable;
        code = ERROR_RESPONSE_READ;
        return false;
    }
    return true;
}

int ArchiveItems::TakeOther(const std::string& item, std::string* error) {
    if (item.size() > 1 && item[0] == '-') {
        *error = "unknown switch: " + item;
        return ERROR_COMMAND_NAME;
    }
    std::string unreadable;
    if (Take(item, &unreadable)) return 0;
    *error = "cannot read the list file " + unreadable;
    return ERROR_RESPONSE_READ;
}

int ArchiveItems::RequireArchive(std::string* error) const {
    if (!archive.empty()) return 0;
    *error = "no archive named";
    return ERROR_NOT_FIND_ARC_FILE;
}

bool ArchiveItems::Take(const std::string& item, std::string* unreadable) {
    if (item.size() > 1 && item[0] == '@') {
        if (ReadResponseFile(item.substr(1), &names)) return true;
        *unreadable = item.substr(1);
        return false;
    }
    if (item.empty()) return true;
    if (archive.empty()) {
        archive = item;
    } else if (names.empty() && folder.empty() && item.back() == '/') {
        folder = item;
    } else {
        names.push_back(item);
    }
    return true;
}

}  // namespace kt::arc
