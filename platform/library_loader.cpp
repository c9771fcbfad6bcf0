#include "library_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kt {
namespace {

std::string& ProgramFolderOverride() {
    static std::string folder;
    return folder;
}

std::string CurrentFolder() {
    std::string buf(4096, '\0');
    while (getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE) return {};
        buf.resize(buf.size() * 2);
    }
    return std::string(buf.c_str());
}

std::string ProgramPath() {
    std::string buf(4096, '\0');
    for (;;) {
        ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) return {};
        if (static_cast<std::size_t>(n) < buf.size()) return buf.substr(0, n);
        buf.resize(buf.size() * 2);
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// A PATH entry made absolute against the current folder, so the opened
// path is a full one; empty entries are passed over.
std::string Absolute(const std::string& folder) {
    if (folder.empty() || folder.front() == '/') return folder;
    return Join(CurrentFolder(), folder);
}

std::string FindInPath(const std::string& name) {
    for (const std::string& folder : kt::PathFolders()) {
        std::string candidate = Join(Absolute(folder), name);
        if (IsRegularFile(candidate)) return candidate;
    }
    return {};
}

}  // namespace

std::string GetProgramFolder() {
    if (!ProgramFolderOverride().empty()) return ProgramFolderOverride();
    std::string exe = ProgramPath();
    std::size_t slash = exe.rfind('/');
    if (slash == std::string::npos) return CurrentFolder();
    return slash == 0 ? std::string("/") : exe.substr(0, slash);
}

void SetProgramFolderForTesting(const std::string& folder) { ProgramFolderOverride() = folder; }

std::string FindLibraryFile(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsRegularFile(name) ? name : std::string();
    std::string own = Join(GetProgramFolder(), name);
    if (IsRegularFile(own)) return own;
    return FindInPath(name);
}

std::string SearchFile(const std::string& name) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) {
        std::string path = name.front() == '/' ? name : Join(CurrentFolder(), name);
        return IsRegularFile(path) ? path : std::string();
    }
    std::string own = Join(GetProgramFolder(), name);
    if (IsRegularFile(own)) return own;
    std::string here = Join(CurrentFolder(), name);
    if (IsRegularFile(here)) return here;
    return FindInPath(name);
}

std::string OwnProgramPath() { return ProgramPath(); }

std::vector<std::string> PathFolders() {
    std::vector<std::string> folders;
    const char* path = std::getenv("PATH");
    if (path == nullptr) return folders;
    const std::string_view all(path);
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t colon = all.find(':', start);
        if (colon == std::string_view::npos) colon = all.size();
        if (colon > start) folders.emplace_back(all.substr(start, colon - start));
        start = colon + 1;
    }
    return folders;
}

}  // namespace kt

HMODULE LoadLibrary(const std::string& name) {
    std::string path = kt::FindLibraryFile(name);
    if (path.empty()) return nullptr;
    return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* GetProcAddress(HMODULE module, const char* name) {
    // A null handle never means "search everything": a lookup in a library
    // that is not loaded must fail.
    if (module == nullptr || name == nullptr) return nullptr;
    return dlsym(module, name);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr) return FALSE;
    return dlclose(module) == 0 ? TRUE : FALSE;
}

std::string GetModuleFileName(HMODULE module) {
    if (module == nullptr) return kt::OwnProgramPath();
    link_map* map = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr || map->l_name == nullptr)
        return {};
    return map->l_name;
}

std::string SearchPath(const std::string& name) { return kt::SearchFile(name); }
