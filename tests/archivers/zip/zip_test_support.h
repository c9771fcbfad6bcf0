// Shared helpers of the ZIP tests: temporary folders, file contents, running
// the peer tools without a shell, and the libraries loaded as a host loads them.
#pragma once

#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/archiver_api.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace kt::ziptest {

class TempDir : public kt::test::TempFolder {
public:
    const std::string& path() const { return Path(); }
};

inline void WriteFile(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& path) { return kt::test::ReadAll(path); }

inline bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

// Text that compresses like source code, and bytes that do not compress.
inline std::string SampleText(size_t size, unsigned seed = 1) {
    std::mt19937 rng(seed);
    static const char* words[] = {"archive ", "header ",   "int ",     "return ", "{\n",
                                  "}\n",      "// note\n", "value = ", "0x1F; ",  "static "};
    std::string s;
    while (s.size() < size) s += words[rng() % 10];
    s.resize(size);
    return s;
}
inline std::string RandomBytes(size_t size, unsigned seed = 2) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}
// Lower-case letters at random: they pack to about 60 %, so a few megabytes
// make a bzip2 stream of many blocks starting at every bit offset.
inline std::string Letters(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>('a' + rng() % 26);
    return s;
}

// Runs a program (searched on PATH) with exactly these arguments in folder
// cwd, output discarded; returns its exit status, or -1 when it did not run.
inline int RunTool(const std::vector<std::string>& args, const std::string& cwd = ".") {
    pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(127);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) < 0) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The three libraries, loaded from the build's bin folder by file name.
struct ZipLibraries {
    ZipLibraries() {
        zip32j = dlopen(KT_BIN_DIR "/ZIP32J.DLL", RTLD_NOW | RTLD_LOCAL);
        unzip32 = dlopen(KT_BIN_DIR "/UNZIP32.DLL", RTLD_NOW | RTLD_LOCAL);
        if (zip32j) {
            Zip = reinterpret_cast<ARC_COMMAND_PROC>(dlsym(zip32j, "Zip"));
            ZipSetOwnerWindowEx = reinterpret_cast<ARC_SET_OWNER_WINDOW_EX_PROC>(
                dlsym(zip32j, "ZipSetOwnerWindowEx"));
            ZipKillOwnerWindowEx = reinterpret_cast<ARC_KILL_OWNER_WINDOW_EX_PROC>(
                dlsym(zip32j, "ZipKillOwnerWindowEx"));
        }
        if (unzip32) {
            UnZip = reinterpret_cast<ARC_COMMAND_PROC>(dlsym(unzip32, "UnZip"));
            OpenArchive =
                reinterpret_cast<ARC_OPEN_ARCHIVE_PROC>(dlsym(unzip32, "UnZipOpenArchive"));
            CloseArchive =
                reinterpret_cast<ARC_CLOSE_ARCHIVE_PROC>(dlsym(unzip32, "UnZipCloseArchive"));
            FindFirst = reinterpret_cast<ARC_FIND_FIRST_PROC>(dlsym(unzip32, "UnZipFindFirst"));
            FindNext = reinterpret_cast<ARC_FIND_NEXT_PROC>(dlsym(unzip32, "UnZipFindNext"));
            ExtractMem = reinterpret_cast<ARC_EXTRACT_MEM_PROC>(dlsym(unzip32, "UnZipExtractMem"));
            CheckArchive =
                reinterpret_cast<ARC_CHECK_ARCHIVE_PROC>(dlsym(unzip32, "UnZipCheckArchive"));
            SetOwnerWindowEx = reinterpret_cast<ARC_SET_OWNER_WINDOW_EX_PROC>(
                dlsym(unzip32, "UnZipSetOwnerWindowEx"));
            KillOwnerWindowEx = reinterpret_cast<ARC_KILL_OWNER_WINDOW_EX_PROC>(
                dlsym(unzip32, "UnZipKillOwnerWindowEx"));
            GetVersion = reinterpret_cast<ARC_GET_VERSION_PROC>(dlsym(unzip32, "UnZipGetVersion"));
        }
    }
    void* zip32j = nullptr;
    void* unzip32 = nullptr;
    ARC_COMMAND_PROC Zip = nullptr, UnZip = nullptr;
    ARC_SET_OWNER_WINDOW_EX_PROC ZipSetOwnerWindowEx = nullptr, SetOwnerWindowEx = nullptr;
    ARC_KILL_OWNER_WINDOW_EX_PROC ZipKillOwnerWindowEx = nullptr, KillOwnerWindowEx = nullptr;
    ARC_OPEN_ARCHIVE_PROC OpenArchive = nullptr;
    ARC_CLOSE_ARCHIVE_PROC CloseArchive = nullptr;
    ARC_FIND_FIRST_PROC FindFirst = nullptr;
    ARC_FIND_NEXT_PROC FindNext = nullptr;
    ARC_EXTRACT_MEM_PROC ExtractMem = nullptr;
    ARC_CHECK_ARCHIVE_PROC CheckArchive = nullptr;
    ARC_GET_VERSION_PROC GetVersion = nullptr;

    // Runs a command; the report lands in `report`.
    int RunZip(const std::string& line, std::string* report = nullptr) const {
        char out[8192] = {};
        int rc = Zip(nullptr, line.c_str(), out, sizeof out);
        if (report) *report = out;
        return rc;
    }
    int RunUnZip(const std::string& line, std::string* report = nullptr) const {
        char out[8192] = {};
        int rc = UnZip(nullptr, line.c_str(), out, sizeof out);
        if (report) *report = out;
        return rc;
    }
};

inline const ZipLibraries& Libs() {
    static ZipLibraries libs;
    return libs;
}

inline std::string Q(const std::string& s) { return "\"" + s + "\""; }

}  // namespace kt::ziptest
