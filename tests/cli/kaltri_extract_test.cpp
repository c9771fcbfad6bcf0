// kaltri extract and files already in the target folder: one rule for LZH
// and ZIP. Nothing is replaced unless --overwrite all; without a terminal
// the default is none, as for pack.
#include <gtest/gtest.h>

#include "kaltri_process.h"
#include "tests/archivers/common/crafted_archives.h"

namespace {

using namespace kaltri_test;
using namespace kt::test::craft;

struct Case {
    const char* format;
    const char* ext;
};

class KaltriExtractExisting : public ::testing::TestWithParam<Case> {
protected:
    // An archive of f.txt ("NEW") and sub/g.txt ("NEW G"), and a target
    // holding an older f.txt of the user's own.
    std::string Prepare(Tree& t) {
        t.Make("s/f.txt", "NEW\n");
        t.Make("s/sub/g.txt", "NEW G\n");
        Result r =
            Sh(kKaltri + " pack --format " + GetParam().format + " " + Q(t.root + "/s/f.txt"));
        EXPECT_EQ(0, r.code) << r.out;
        t.Make("d/f.txt", "MINE\n");
        EXPECT_EQ(0, Sh("touch -d 2020-01-01 " + Q(t.root + "/d/f.txt")).code);
        return t.root + "/s/f" + GetParam().ext;
    }
};

TEST_P(KaltriExtractExisting, AnExistingFileIsKeptAndNamedUnlessOverwriteAll) {
    Tree t;
    std::string archive = Prepare(t);
    Result r = Sh(kKaltri + " extract " + Q(archive) + " -o " + Q(t.root + "/d"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_EQ("MINE\n", Read(t.root + "/d/f.txt"));
    EXPECT_NE(std::string::npos, r.out.find("Kept the existing file f.txt")) << r.out;

    r = Sh(kKaltri + " extract --overwrite none " + Q(archive) + " -o " + Q(t.root + "/d"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_EQ("MINE\n", Read(t.root + "/d/f.txt"));

    r = Sh(kKaltri + " extract --overwrite all " + Q(archive) + " -o " + Q(t.root + "/d"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("NEW\n", Read(t.root + "/d/f.txt"));
}

TEST_P(KaltriExtractExisting, NewFilesBesideAKeptOneAreStillExtracted) {
    Tree t;
    std::string archive = t.root + "/two" + GetParam().ext;
    if (std::string(GetParam().format) == "zip") {
        t.Make("two.zip", Zip({{"a.txt", "A\n"}, {"b.txt", "B\n"}}));
    } else {
        t.Make("two.lzh",
               LzhArchive({Lzh2({{0x01, "a.txt"}}, "A\n"), Lzh2({{0x01, "b.txt"}}, "B\n")}));
    }
    t.Make("d/a.txt", "MINE\n");
    Result r = Sh(kKaltri + " extract " + Q(archive) + " -o " + Q(t.root + "/d"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_EQ("MINE\n", Read(t.root + "/d/a.txt"));
    EXPECT_EQ("B\n", Read(t.root + "/d/b.txt"));
    r = Sh(kKaltri + " extract --overwrite all " + Q(archive) + " -o " + Q(t.root + "/d"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("A\n", Read(t.root + "/d/a.txt"));
}

INSTANTIATE_TEST_SUITE_P(Formats, KaltriExtractExisting,
                         ::testing::Values(Case{"lzh", ".lzh"}, Case{"zip", ".zip"}),
                         [](const auto& info) { return std::string(info.param.format); });

}  // namespace
