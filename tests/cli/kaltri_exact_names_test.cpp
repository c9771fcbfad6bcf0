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

TEST(KaltriExactNames, QuotesAndLineBreaksPackAndPeersGiveThemBackUnderTheSameName) {
    // Such names travel to the libraries as NUL items, not quoted text; one
    // worker and two take the same way.
    const std::vector<std::string> names = {"a\"b.txt", "line\nbreak.txt", "\"quoted\".txt"};
    struct Row {
        const char* format;
        std::vector<std::string> readers;  // each extracts ARCHIVE into the current folder
    };
    for (const Row& row : {Row{"lzh", {"lhasa -xq ARCHIVE", "7z x -y ARCHIVE"}},
                           Row{"zip", {"unzip -^ -qq ARCHIVE", "7z x -y ARCHIVE"}}}) {
        for (const char* jobs : {"1", "2"}) {
            SCOPED_TRACE(std::string(row.format) + " -j" + jobs);
            Tree t;
            for (const std::string& name : names) t.Make("src/" + name, "the body of " + name);
            Result r = Sh(kKaltri + " pack -j" + jobs + " --format " + row.format + " --out " +
                          Q(t.root + "/arc") + " " + Q(t.root + "/src"));
            ASSERT_EQ(0, r.code) << r.out;
            for (const std::string& name : names) {
                const std::string archive =
                    t.root + "/arc/" + name.substr(0, name.size() - 4) + "." + row.format;
                std::vector<std::string> readers = row.readers;
                readers.push_back(kKaltri + " extract ARCHIVE -o .");
                for (std::string reader : readers) {
                    const std::string out = t.root + "/out";
                    fs::remove_all(out);
                    fs::create_directories(out);
                    reader.replace(reader.find("ARCHIVE"), 7, Q(archive));
                    Result x = Sh("cd " + Q(out) + " && " + reader);
                    EXPECT_EQ(0, x.code) << reader << "\n" << x.out;
                    EXPECT_EQ("the body of " + name, Read(out + "/" + name)) << reader;
                }
            }
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
