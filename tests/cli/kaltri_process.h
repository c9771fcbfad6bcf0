// Running the built kaltri as a process from the tests, with the real
// libraries of build/bin, and small scratch trees to run it on.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace kaltri_test {

namespace fs = std::filesystem;

inline const std::string kKaltri = std::string(KT_BIN_DIR) + "/kaltri";

struct Result {
    int code;
    std::string out;
};

// Runs a shell command line; stdout and stderr together.
inline Result Sh(const std::string& cmd) {
    std::string full = "LC_ALL=C.UTF-8 LANG=C.UTF-8 " + cmd + " 2>&1 </dev/null";
    FILE* p = popen(full.c_str(), "r");
    std::string out;
    char buf[4096];
    while (std::size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
    int status = pclose(p);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

inline std::string Q(const std::string& s) { return "'" + s + "'"; }

struct Tree {
    kt::test::TempFolder folder;
    std::string root = folder.Path();
    std::string Make(const std::string& rel, const std::string& body) {
        return folder.Write(rel, body);
    }
    std::string Random(const std::string& rel, std::size_t size) {
        std::mt19937 gen(7);
        std::string body(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            body[i] = static_cast<char>(i % 97 < 60 ? 'a' + i % 13 : gen());
        return Make(rel, body);
    }
};

inline std::string Read(const std::string& p) { return kt::test::ReadAll(p); }

}  // namespace kaltri_test
