#include "app/infile_entry.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "platform/path_text.h"

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
    TSplitPath result{FolderOf(path), NameOf(path)};
    if (result.Dir.empty()) {
        // A bare name lies in the current folder.
        char* cwd = ::getcwd(nullptr, 0);
        if (cwd) result.Dir = cwd;
        std::free(cwd);
    }
    return result;
}

}  // namespace kt
