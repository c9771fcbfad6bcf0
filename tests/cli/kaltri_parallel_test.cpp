// The README's recipe for one batch over several machines, run on this one:
// GNU parallel hands NUL-ended names out to several kaltri processes, and
// every file ends with exactly one archive.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

TEST(KaltriParallel, TwoThousandFilesSpreadOverTwoSlotsGetOneArchiveEach) {
    if (Sh("command -v parallel").code != 0)
        GTEST_SKIP() << "GNU parallel is not installed (apt-get install parallel)";
    Tree t;
    // Stems unique over all folders (the archives share one folder), a few
    // of them with names only a NUL-ended list carries.
    std::set<std::string> names;
    for (int i = 0; i < 2000; ++i) {
        std::string stem = "f" + std::to_string(i);
        if (i % 500 == 1) stem += " with blanks";
        if (i % 500 == 2) stem += "\nbroken";
        if (i % 500 == 3) stem += "\xE9";
        names.insert(stem + ".txt");
        t.Make("src/d" + std::to_string(i % 7) + "/" + stem + ".txt", "file " + std::to_string(i));
    }
    // The README's line, with two slots of this machine for the machines.
    const std::string script =
        t.Make("spread.sh", "cd " + Q(t.root) +
                                " && find src -type f -print0 | parallel --will-cite --null -X "
                                "--sshlogin 2/: \"printf '%s\\0' {} | " +
                                kKaltri + " pack --null -T - -q -f zip -o " + Q(t.root + "/arc") +
                                " && echo one kaltri done\"\n");
    const Result r = Sh("sh " + Q(script));
    ASSERT_EQ(0, r.code) << r.out;
    // -q: nothing but the marks of the kaltri runs, and more than one ran.
    std::istringstream lines(r.out);
    int runs = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ("one kaltri done", line);
        ++runs;
    }
    EXPECT_GE(runs, 2) << r.out;

    // 2,000 archives, 2,000 members in them, each file's name once.
    std::size_t archives = 0;
    std::string list;
    for (const auto& e : fs::directory_iterator(t.root + "/arc")) {
        ++archives;
        list += e.path().string() + '\0';
    }
    EXPECT_EQ(2000u, archives);
    t.Make("archives", list);
    const std::string listing = t.root + "/listing";
    ASSERT_EQ(0, Sh("cd " + Q(t.root) + " && (cat archives | " + kKaltri +
                    " list -q --null -T - >" + Q(listing) + ")")
                     .code);
    std::map<std::string, int> seen;
    std::istringstream rows(Read(listing));
    for (std::string row; std::getline(rows, row);) {
        // size, packed, ratio, date, time and method, then the name
        std::istringstream fields(row);
        std::string field;
        for (int i = 0; i < 6; ++i) fields >> field;
        std::string name;
        std::getline(fields >> std::ws, name);
        ++seen[name];
    }
    EXPECT_EQ(2000u, seen.size());  // 2,000 members, no two alike
    for (const auto& [name, count] : seen) EXPECT_EQ(1, count) << name;
    for (const std::string& name : names) {
        // Each file's own archive, found by its exact name.
        EXPECT_TRUE(fs::exists(t.root + "/arc/" + name.substr(0, name.size() - 4) + ".zip"))
            << name;
        if (name.find_first_of("\n\xE9") == std::string::npos) {
            EXPECT_EQ(1, seen[name]) << name;
        }
    }
}

}  // namespace
