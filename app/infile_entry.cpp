#include "app/infile_entry.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace kt {

const char* StateText(std::uint8_t state) {
    switch (state) {
        case esWaiting: return "未処理";
        case esFailed: return "失敗";
        case esPacking: return "圧縮中";
        case esDone: return "完了";
        case esAborted: return "中断";
        default: return "";
    }
}

std::string UpperKey(std::string_view text) {
    std::string key(text);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return key;
}

int CompareKeys(std::string_view a, std::string_view b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    const int c = n ? std::memcmp(a.data(), b.data(), n) : 0;  // memcmp compares unsigned bytes
    if (c != 0) return c > 0 ? 1 : -1;
    if (a.size() == b.size()) return 0;
    return a.size() > b.size() ? 1 : -1;
}

TSplitPath SplitPath(std::string_view path) {
    TSplitPath result;
    const size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) {
        char* cwd = ::getcwd(nullptr, 0);
        result.Dir = cwd ? cwd : "";
        std::free(cwd);
        result.Name = std::string(path);
        return result;
    }
    result.Name = std::string(path.substr(slash + 1));
    // The folder part without its separating "/"; doubled separators before
    // the name are one separator.
    size_t end = slash;
    while (end > 0 && path[end - 1] == '/') --end;
    result.Dir = end == 0 ? std::string("/") : std::string(path.substr(0, end));
    return result;
}

}  // namespace kt
