// The table of hostile member names: every way a stored name has been
// seen to climb out of the folder it is extracted into. "@ROOT@" stands
// for the absolute path of the scratch folder, so a rooted name points at
// a real place the test watches.
#pragma once

#include <string>
#include <vector>

namespace kt::test {

inline std::vector<std::string> HostileNames() {
    const std::string nul(1, '\0');
    return {
        "../evil.txt",
        "../../evil.txt",
        "../../../evil.txt",
        "a/../../evil.txt",
        "a/b/../../../evil.txt",
        "./../evil.txt",
        "a/./../../evil.txt",
        "..//evil.txt",
        "a//..//..//evil.txt",
        "../sibling/evil.txt",
        "../../sibling/keep.txt",
        "..",
        "../",
        "a/..",
        "a/../..",
        "..\\evil.txt",
        "..\\..\\evil.txt",
        "a\\..\\..\\evil.txt",
        "..\\/evil.txt",
        "C:\\..\\evil.txt",
        "C:..\\..\\evil.txt",
        "C:/../evil.txt",
        "\\\\server\\share\\..\\..\\evil.txt",
        "/@ROOT@/sibling/evil.txt",
        "@ROOT@/sibling/rooted.txt",
        "//@ROOT@/sibling/evil.txt",
        ".." + nul + "/evil.txt",
        ".." + nul + "x/../evil.txt",
        "a/.." + nul + "/../evil.txt",
        "ok.txt" + nul + "/../../evil.txt",
        std::string(60, '.') + "/evil.txt",
        "../" + std::string(200, 'x') + "/../evil.txt",
        [] {
            std::string s;
            for (int i = 0; i < 40; ++i) s += "../";
            return s + "evil.txt";
        }(),
    };
}

}  // namespace kt::test
