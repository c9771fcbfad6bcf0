// Test support: the library loaded as a host loads it, scratch folders and
// file helpers, and running the other archivers of this machine.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/archiver_api.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace kt::test {

namespace fs = std::filesystem;

struct Unlha32 {
    void* lib = nullptr;
    ARC_COMMAND_PROC command = nullptr;
    ARC_OPEN_ARCHIVE_PROC open = nullptr;
    ARC_CLOSE_ARCHIVE_PROC close = nullptr;
    ARC_FIND_FIRST_PROC findFirst = nullptr;
    ARC_FIND_NEXT_PROC findNext = nullptr;
    ARC_EXTRACT_MEM_PROC extractMem = nullptr;
    ARC_CHECK_ARCHIVE_PROC check = nullptr;
    ARC_SET_OWNER_WINDOW_EX_PROC setOwner = nullptr;
    ARC_KILL_OWNER_WINDOW_EX_PROC killOwner = nullptr;
    ARC_GET_VERSION_PROC version = nullptr;
    ARC_GET_RUNNING_PROC running = nullptr;
    ARC_GET_FILE_COUNT_PROC fileCount = nullptr;

    static Unlha32& Get() {
        static Unlha32 u = [] {
            Unlha32 x;
            x.lib = dlopen(KT_BIN_DIR "/UNLHA32.DLL", RTLD_NOW | RTLD_LOCAL);
            if (!x.lib) return x;
            auto sym = [&](const char* n) { return dlsym(x.lib, n); };
            x.command = reinterpret_cast<ARC_COMMAND_PROC>(sym("Unlha"));
            x.open = reinterpret_cast<ARC_OPEN_ARCHIVE_PROC>(sym("UnlhaOpenArchive"));
            x.close = reinterpret_cast<ARC_CLOSE_ARCHIVE_PROC>(sym("UnlhaCloseArchive"));
            x.findFirst = reinterpret_cast<ARC_FIND_FIRST_PROC>(sym("UnlhaFindFirst"));
            x.findNext = reinterpret_cast<ARC_FIND_NEXT_PROC>(sym("UnlhaFindNext"));
            x.extractMem = reinterpret_cast<ARC_EXTRACT_MEM_PROC>(sym("UnlhaExtractMem"));
            x.check = reinterpret_cast<ARC_CHECK_ARCHIVE_PROC>(sym("UnlhaCheckArchive"));
            x.setOwner =
                reinterpret_cast<ARC_SET_OWNER_WINDOW_EX_PROC>(sym("UnlhaSetOwnerWindowEx"));
            x.killOwner =
                reinterpret_cast<ARC_KILL_OWNER_WINDOW_EX_PROC>(sym("UnlhaKillOwnerWindowEx"));
            x.version = reinterpret_cast<ARC_GET_VERSION_PROC>(sym("UnlhaGetVersion"));
            x.running = reinterpret_cast<ARC_GET_RUNNING_PROC>(sym("UnlhaGetRunning"));
            x.fileCount = reinterpret_cast<ARC_GET_FILE_COUNT_PROC>(sym("UnlhaGetFileCount"));
            return x;
        }();
        return u;
    }

    // Runs a command line; the report text lands in *report.
    int Run(const std::string& line, std::string* report = nullptr, DWORD size = 1 << 16) {
        std::vector<char> out(size + 1, 'X');
        int r = command(nullptr, line.c_str(), size ? out.data() : nullptr, size);
        if (report) *report = size ? std::string(out.data()) : std::string();
        return r;
    }
};

struct ScratchDir {
    kt::test::TempFolder folder;
    fs::path path = folder.Path();
    std::string operator/(const std::string& name) const { return folder / name; }
};

inline void WriteFile(const std::string& p, const std::string& data) {
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& p) { return kt::test::ReadAll(p); }

inline std::string SampleText(std::size_t n, unsigned seed) {
    static const char* kWords[] = {"archive ", "batch ", "window ", "the ",
                                   "of ",      "圧縮 ",  "list\n",  "file "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += kWords[rng() % 8];
    s.resize(n);
    return s;
}

inline std::string SampleBinary(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 97 < 40 ? rng() : i % 7);
    return s;
}

inline bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a shell command in dir; true on exit status 0.
inline bool Shell(const std::string& dir, const std::string& cmd) {
    return std::system(("cd '" + dir + "' && " + cmd + " >/dev/null 2>&1").c_str()) == 0;
}

// A path in double quotes, as the libraries' command lines take it.
inline std::string ArgQuote(const std::string& s) { return "\"" + s + "\""; }

// Sets a file's modification time (seconds since 1970).
inline void SetMtime(const std::string& p, time_t t) {
    struct timespec ts[2] = {{t, 0}, {t, 0}};
    utimensat(AT_FDCWD, p.c_str(), ts, 0);
}

}  // namespace kt::test
