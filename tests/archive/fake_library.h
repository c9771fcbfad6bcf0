// A temporary program folder holding recording fake archiver libraries
// under real library names (see fake/fake_archiver.cpp), with access to
// what each fake recorded. While it exists, LoadLibrary finds libraries only
// there: the program folder points at it and PATH at an empty folder.
#pragma once

#include <stdlib.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/library_loader.h"
#include "test_folder.h"

namespace kt::test {

// One recorded call: the entry name (or "response"/"progress") and its
// arguments.
struct FakeCall {
    std::string entry;
    std::vector<std::string> args;
    std::string arg(std::size_t i) const { return i < args.size() ? args[i] : std::string(); }
};

class FakeProgramFolder {
public:
    FakeProgramFolder() {
        const char* path = getenv("PATH");
        hadPath_ = path != nullptr;
        if (hadPath_) oldPath_ = path;
        setenv("PATH", folder_.MakeFolder("empty-path").c_str(), 1);
        SetProgramFolderForTesting(folder_.Path());
    }
    ~FakeProgramFolder() {
        SetProgramFolderForTesting("");
        if (hadPath_)
            setenv("PATH", oldPath_.c_str(), 1);
        else
            unsetenv("PATH");
    }

    const TempFolder& Folder() const { return folder_; }
    std::string Path() const { return folder_.Path(); }

    // Copies the fake built for `variant` (an entry prefix such as "Unlha",
    // or "Unlha_nofind") into the folder as `libraryName`; returns its path.
    std::string Install(const std::string& libraryName, const std::string& variant) {
        std::string target = folder_ / libraryName;
        std::filesystem::copy_file(std::string(KT_BIN_DIR) + "/ktfake_" + variant + ".so", target,
                                   std::filesystem::copy_options::overwrite_existing);
        return target;
    }

    // Sets one answer of the fake installed as libraryName (see the keys in
    // fake/fake_archiver.cpp).
    void Configure(const std::string& libraryName, const std::string& key,
                   const std::string& value) {
        config_[libraryName][key] = value;
        std::ofstream out(folder_ / (libraryName + ".cfg"), std::ios::trunc);
        for (const auto& [k, v] : config_[libraryName]) out << k << '=' << v << '\n';
    }

    // Everything the fake installed as libraryName recorded, in order.
    std::vector<FakeCall> Calls(const std::string& libraryName) const {
        std::vector<FakeCall> calls;
        std::ifstream in(folder_ / (libraryName + ".log"));
        std::string line;
        while (std::getline(in, line)) {
            std::vector<std::string> fields(1);
            for (std::size_t i = 0; i < line.size(); ++i) {
                char c = line[i];
                if (c == '\t') {
                    fields.emplace_back();
                } else if (c == '\\' && i + 1 < line.size()) {
                    char e = line[++i];
                    fields.back() += e == 't' ? '\t' : e == 'r' ? '\r' : e == 'n' ? '\n' : e;
                } else {
                    fields.back() += c;
                }
            }
            FakeCall call;
            call.entry = fields[0];
            call.args.assign(fields.begin() + 1, fields.end());
            calls.push_back(std::move(call));
        }
        return calls;
    }

    // The calls of one entry only.
    std::vector<FakeCall> CallsOf(const std::string& libraryName, const std::string& entry) const {
        std::vector<FakeCall> out;
        for (FakeCall& c : Calls(libraryName))
            if (c.entry == entry) out.push_back(std::move(c));
        return out;
    }

    void ClearLog(const std::string& libraryName) const {
        std::filesystem::remove(folder_ / (libraryName + ".log"));
    }

private:
    TempFolder folder_;
    std::map<std::string, std::map<std::string, std::string>> config_;
    std::string oldPath_;
    bool hadPath_ = false;
};

}  // namespace kt::test
