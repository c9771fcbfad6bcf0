// ARJ test helpers: a sample tree (subfolders, an empty file, a file over
// 1 MB) packed by Debian's arj at a chosen method. Files, folders and
// sample bytes come from the LZH tests' support.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>

#include <map>

#include "tests/archivers/lzh/unlha32_support.h"

namespace kt::arjtest {

using namespace kt::test;

inline bool HaveArj() { return HaveTool("arj"); }

struct SampleTree {
    ScratchDir dir;
    const int64_t mtime = 1600000000;
    std::map<std::string, std::string> files = {
        {"top.txt", SampleText(60000, 1)},
        {"sub/big.dat", SampleBinary(1300000, 2)},
        {"sub/empty.txt", ""},
        {"sub/deeper/small.txt", "hi\n"},
        {"sub/deeper/日本語.txt", SampleText(5000, 3)},
    };
    SampleTree() {
        for (auto& [name, data] : files) {
            std::string p = dir / ("src/" + name);
            WriteFile(p, data);
            SetMtime(p, mtime);
        }
    }
    // The tree packed with `arj a -m<method> -r`; the archive's path.
    std::string Pack(int method, const std::string& extra = "") const {
        std::string arc = dir / ("m" + std::to_string(method) + ".arj");
        return Shell(dir / "src", "arj a -y -r -m" + std::to_string(method) + " " + extra + " " +
                                      ArgQuote(arc) + " '*'")
                   ? arc
                   : std::string();
    }
};

}  // namespace kt::arjtest
