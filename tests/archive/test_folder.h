// A temporary folder for one test, removed with everything in it afterwards,
// and small helpers to fill it.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <memory>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kt::test {

class TestFolder {
public:
    TestFolder() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kt-archive-XXXXXX").string();
        if (mkdtemp(tmpl.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path_ = tmpl;
    }
    ~TestFolder() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

    // Writes a file (folders on the way are made) and returns its full path.
    std::string Write(const std::string& name, const std::string& content = "x") const {
        std::filesystem::path p = std::filesystem::path(path_) / name;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
        return p.string();
    }
    std::string MakeFolder(const std::string& name) const {
        std::filesystem::create_directories(std::filesystem::path(path_) / name);
        return path_ + "/" + name;
    }

private:
    std::string path_;
};

inline std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The standard output of a shell command line.
inline std::string Shell(const std::string& command) {
    std::string text;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(command.c_str(), "r"), ::pclose);
    if (!pipe) return text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get())) text.append(buffer, n);
    return text;
}

// A text quoted for the shell.
inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

}  // namespace kt::test
