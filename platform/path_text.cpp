#include "path_text.h"

#include <unistd.h>

#include <cstdlib>

namespace kt {

std::string FolderOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string_view::npos) return {};
    if (slash == 0) return "/";
    return std::string(path.substr(0, slash));
}

std::string NameOf(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ReplaceExtension(std::string_view name, std::string_view ext) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0) return std::string(name) + std::string(ext);
    return std::string(name.substr(0, dot)) + std::string(ext);
}

std::string JoinFolder(std::string_view folder, std::string_view name) {
    std::string out(folder);
    if (out.empty() || out.back() != '/') out.push_back('/');
    out.append(name);
    return out;
}

std::string AbsolutePath(const std::string& path) {
    std::string full;
    if (!path.empty() && path[0] == '/') {
        full = path;
    } else {
        char* cwd = getcwd(nullptr, 0);
        full = cwd != nullptr ? cwd : "";
        std::free(cwd);
        full += "/" + path;
    }
    std::string out;
    std::size_t i = 0;
    while (i < full.size()) {
        std::size_t j = full.find('/', i);
        if (j == std::string::npos) j = full.size();
        std::string_view part(full.data() + i, j - i);
        if (!part.empty() && part != ".") {
            out += '/';
            out.append(part);
        }
        i = j + 1;
    }
    return out.empty() ? "/" : out;
}

}  // namespace kt
