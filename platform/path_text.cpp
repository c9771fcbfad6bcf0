#include "path_text.h"

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

}  // namespace kt
