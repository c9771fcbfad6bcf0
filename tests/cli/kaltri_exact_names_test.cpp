// Names come back exactly: bytes that are not UTF-8 (a file named in
// another locale) survive kaltri's pack and extract in both formats, and a
// "\" is a folder separator only in archives made on DOS or Windows.
#include <gtest/gtest.h>

#include "kaltri_process.h"
#include "tests/archivers/common/crafted_archives.h"

namespace {

using namespace kaltri_test;
using namespace kt::test::craft;

TEST(KaltriExactNames, NonUtf8AndBackslashNamesSurvivePackAndExtract) {
    for (const char* format : {"lzh", "zip"}) {
        for (const std::string& name :
             {std::string("caf\xE9 latin-1.txt"), std::string("back\\slash.txt"),
              std::string("sjis-\x83\x65\x83\x58\x83\x67.txt")}) {
            Tree t;
            t.Make("src/" + name, "the body of " + name);
            Result r = Sh(kKaltri + " pack -j1 --format " + format + " --out " +
                          Q(t.root + "/arc") + " " + Q(t.root + "/src"));
            ASSERT_EQ(0, r.code) << format << " " << r.out;
            ASSERT_EQ(1, std::distance(fs::directory_iterator(t.root + "/arc"),
                                       fs::directory_iterator{}));
            std::string archive = fs::directory_iterator(t.root + "/arc")->path().string();
            r = Sh(kKaltri + " extract " + Q(archive) + " -o " + Q(t.root + "/out"));
            ASSERT_EQ(0, r.code) << format << " " << r.out;
            EXPECT_EQ("the body of " + name, Read(t.root + "/out/" + name))
                << format << " " << name << "\n"
                << r.out;
            EXPECT_EQ(1, std::distance(fs::recursive_directory_iterator(t.root + "/out"),
                                       fs::recursive_directory_iterator{}))
                << format << " " << name << ": extracted under another name";
        }
    }
}

TEST(KaltriExactNames, ABackslashSeparatesFoldersOnlyInDosMadeArchives) {
    Tree t;
    ZipMember dosZip{"dir\\a.txt", "dos"};
    dosZip.hostOs = 0;
    t.Make("dos.zip", Zip({dosZip}));
    t.Make("unix.zip", Zip({{"dir\\a.txt", "unix"}}));
    t.Make("dos.lzh", LzhArchive({Lzh2({{0x01, "dir\\a.txt"}}, "dos", 'M')}));
    t.Make("unix.lzh", LzhArchive({Lzh2({{0x01, "dir\\a.txt"}}, "unix", 'U')}));
    for (const char* archive : {"dos.zip", "dos.lzh"}) {
        Result r = Sh(kKaltri + " extract " + Q(t.root + "/" + archive) + " -o " +
                      Q(t.root + "/out-" + archive));
        ASSERT_EQ(0, r.code) << r.out;
        EXPECT_EQ("dos", Read(t.root + "/out-" + archive + "/dir/a.txt")) << archive;
    }
    for (const char* archive : {"unix.zip", "unix.lzh"}) {
        Result r = Sh(kKaltri + " extract " + Q(t.root + "/" + archive) + " -o " +
                      Q(t.root + "/out-" + archive));
        ASSERT_EQ(0, r.code) << r.out;
        EXPECT_EQ("unix", Read(t.root + "/out-" + archive + "/dir\\a.txt")) << archive;
    }
}

}  // namespace
