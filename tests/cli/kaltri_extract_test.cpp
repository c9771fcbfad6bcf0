// kaltri extract and files already in the target folder: one rule for LZH
// and ZIP. Nothing is replaced unless --overwrite all; without a terminal
// the default is none, as for pack.
#include <gtest/gtest.h>

#include <functional>

#include "kaltri_process.h"
#include "tests/archivers/bga/bga_writer.h"
#include "tests/archivers/common/crafted_archives.h"
#include "tests/archivers/rar/rar_writer.h"

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

namespace {

using namespace kaltri_test;

// Every reading library under the same rule: an archive of f.txt and
// b.txt, newer than the user's own f.txt. --overwrite none keeps the
// user's file and says so, and still extracts b.txt; --overwrite all
// replaces it.
struct Maker {
    const char* format;
    const char* ext;
    std::function<void(Tree&, const std::string& archive)> make;
};

void Tool(Tree& t, const std::string& cmd) {
    ASSERT_EQ(0, Sh("cd " + Q(t.root + "/s") + " && " + cmd).code) << cmd;
}

kt::test::RarMember RarFile(const std::string& name, const std::string& data) {
    kt::test::RarMember m;
    m.name = name;
    m.data = data;
    return m;
}

const Maker kMakers[] = {
    {"tar", ".tar",
     [](Tree& t, const std::string& a) { Tool(t, "tar -cf " + Q(a) + " f.txt b.txt"); }},
    {"tgz", ".tar.gz",
     [](Tree& t, const std::string& a) { Tool(t, "tar -czf " + Q(a) + " f.txt b.txt"); }},
    {"rar4", ".rar",
     [](Tree& t, const std::string& a) {
         t.Make("x.rar",
                kt::test::MakeRar4({RarFile("f.txt", "NEW\n"), RarFile("b.txt", "B member\n")}));
         fs::rename(t.root + "/x.rar", a);
     }},
    {"rar5", ".rar",
     [](Tree& t, const std::string& a) {
         t.Make("x.rar",
                kt::test::MakeRar5({RarFile("f.txt", "NEW\n"), RarFile("b.txt", "B member\n")}));
         fs::rename(t.root + "/x.rar", a);
     }},
    {"arj", ".arj",
     [](Tree& t, const std::string& a) {
         Tool(t, "arj a -i -y " + Q(a) + " f.txt b.txt >/dev/null");
     }},
    {"cab", ".cab",
     [](Tree& t, const std::string& a) { Tool(t, "gcab -c " + Q(a) + " f.txt b.txt"); }},
    {"bga", ".gza",
     [](Tree& t, const std::string& a) {
         using kt::test::Framing;
         t.Make("x.gza", kt::test::MakeBga(false, {{"", "f.txt", "NEW\n", Framing::Stored},
                                                   {"", "b.txt", "B member\n", Framing::Stored}}));
         fs::rename(t.root + "/x.gza", a);
     }},
};

TEST(KaltriExtractEveryReader, AnExistingFileIsKeptAndSaidToBeKeptUnlessOverwriteAll) {
    for (const Maker& m : kMakers) {
        SCOPED_TRACE(m.format);
        Tree t;
        t.Make("s/f.txt", "NEW\n");
        t.Make("s/b.txt", "B member\n");
        const std::string archive = t.root + "/x" + m.ext;
        m.make(t, archive);
        t.Make("d/f.txt", "MINE\n");
        ASSERT_EQ(0, Sh("touch -d 2020-01-01 " + Q(t.root + "/d/f.txt")).code);
        Result r =
            Sh(kKaltri + " extract --overwrite none " + Q(archive) + " -o " + Q(t.root + "/d"));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_EQ("MINE\n", Read(t.root + "/d/f.txt")) << r.out;
        EXPECT_EQ("B member\n", Read(t.root + "/d/b.txt")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("Kept the existing file f.txt")) << r.out;

        r = Sh(kKaltri + " extract --overwrite all " + Q(archive) + " -o " + Q(t.root + "/d"));
        EXPECT_EQ(0, r.code) << r.out;
        EXPECT_EQ("NEW\n", Read(t.root + "/d/f.txt")) << r.out;
    }
}

}  // namespace
