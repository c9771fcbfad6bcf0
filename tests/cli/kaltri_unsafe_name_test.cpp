// kaltri's list, test and extract over archives whose names try to leave the
// target folder through a NUL hidden after "..".
#include <gtest/gtest.h>

#include "kaltri_process.h"
#include "tests/archivers/common/crafted_archives.h"

namespace {

using namespace kaltri_test;
using namespace kt::test::craft;

const std::string kUp = std::string("..\0", 3);

// The layout: the archive beside a/, extracted from a/b/out.
// `listed` is the name as cut at its NUL, which list shows.
void ExpectNothingEscapes(Tree& t, const std::string& archive, const std::string& listed) {
    fs::create_directories(t.root + "/a/b/out");
    Result r = Sh("cd " + Q(t.root + "/a/b/out") + " && " + kKaltri + " extract ../../../" +
                  archive + " -o .");
    EXPECT_EQ(1, r.code) << archive << "\n" << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/a/pwned.txt")) << archive;
    EXPECT_FALSE(fs::exists(t.root + "/pwned.txt")) << archive;
    EXPECT_FALSE(fs::exists(t.root + "/a/b/pwned.txt")) << archive;
    EXPECT_TRUE(fs::is_empty(t.root + "/a/b/out")) << archive;
    r = Sh(kKaltri + " test " + Q(t.root + "/" + archive));
    EXPECT_EQ(1, r.code) << archive << "\n" << r.out;
    r = Sh(kKaltri + " list " + Q(t.root + "/" + archive));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(" " + listed + "\n")) << r.out;
}

TEST(KaltriUnsafeNames, NulAfterDotDotInAnLzhFolderHeaderStaysInside) {
    Tree t;
    t.Make(
        "evil.lzh",
        LzhArchive({Lzh2({{0x01, "pwned.txt"}, {0x02, LzhDir({kUp, kUp})}}, "written outside\n")}));
    ExpectNothingEscapes(t, "evil.lzh", "../pwned.txt");
}

TEST(KaltriUnsafeNames, NulAfterDotDotInALevel0NameStaysInside) {
    Tree t;
    t.Make("evil.lzh", LzhArchive({Lzh0(kUp + "\\pwned.txt", "written outside\n")}));
    ExpectNothingEscapes(t, "evil.lzh", "..");
}

TEST(KaltriUnsafeNames, NulAfterDotDotInAZipNameStaysInside) {
    Tree t;
    t.Make("evil.zip", Zip({{kUp + "/pwned.txt", "written outside\n"}}));
    ExpectNothingEscapes(t, "evil.zip", "..");
}

}  // namespace
