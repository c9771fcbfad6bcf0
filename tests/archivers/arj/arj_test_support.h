// ARJ test helpers: a sample tree (subfolders, an empty file, a file over
// 1 MB) packed by Debian's arj at a chosen method.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

namespace kt::arjtest {

namespace fs = std::filesystem;

inline bool HaveArj() { return std::system("command -v arj >/dev/null 2>&1") == 0; }

inline void WriteFile(const std::string& p, const std::string& data) {
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream(p, std::ios::binary) << data;
}

inline std::string ReadFile(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ScratchDir {
    fs::path path;
    ScratchDir() {
        char tmpl[] = "/tmp/kt_arj_XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~ScratchDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
};

inline std::string Text(std::size_t n, unsigned seed) {
    static const char* kWords[] = {"arj ", "method ", "window ", "the ", "of ", "圧縮 ", "list\n", "file "};
    std::mt19937 rng(seed);
    std::string s;
    while (s.size() < n) s += kWords[rng() % 8];
    s.resize(n);
    return s;
}

inline std::string Binary(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i % 89 < 50 ? rng() : i % 5);
    return s;
}

struct SampleTree {
    ScratchDir dir;
    const int64_t mtime = 1600000000;
    std::map<std::string, std::string> files = {
        {"top.txt", Text(60000, 1)},
        {"sub/big.dat", Binary(1300000, 2)},
        {"sub/empty.txt", ""},
        {"sub/deeper/small.txt", "hi\n"},
        {"sub/deeper/日本語.txt", Text(5000, 3)},
    };
    SampleTree() {
        for (auto& [name, data] : files) {
            std::string p = dir / ("src/" + name);
            WriteFile(p, data);
            struct timespec ts[2] = {{mtime, 0}, {mtime, 0}};
            utimensat(AT_FDCWD, p.c_str(), ts, 0);
        }
    }
    // The tree packed with `arj a -m<method> -r`; the archive's path.
    std::string Pack(int method, const std::string& extra = "") const {
        std::string arc = dir / ("m" + std::to_string(method) + ".arj");
        std::string cmd = "cd '" + dir / "src" + "' && arj a -y -r -m" + std::to_string(method) + " " + extra +
                          " '" + arc + "' '*' >/dev/null 2>&1";
        return std::system(cmd.c_str()) == 0 ? arc : std::string();
    }
};

}  // namespace kt::arjtest
