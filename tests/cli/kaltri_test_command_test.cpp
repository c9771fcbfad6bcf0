// kaltri test: every member tested and named, an encrypted member never
// called sound without its password, and names from the archive never
// acting on the terminal.
#include <gtest/gtest.h>

#include "kaltri_process.h"
#include "tests/archivers/common/crafted_archives.h"

namespace {

using namespace kaltri_test;
using namespace kt::test::craft;

// An encrypted e.zip of 80,000 bytes, made by kaltri with password "secret".
std::string EncryptedZip(Tree& t) {
    t.Random("e.bin", 80000);
    std::string pw = t.Make("pw", "secret\n");
    Result r =
        Sh(kKaltri + " pack --format zip --password-file " + Q(pw) + " " + Q(t.root + "/e.bin"));
    EXPECT_EQ(0, r.code) << r.out;
    return t.root + "/e.zip";
}

TEST(KaltriTest, AnEncryptedMemberIsUntestedWithoutThePasswordAndTestedWithIt) {
    Tree t;
    std::string zip = EncryptedZip(t);
    Result r = Sh(kKaltri + " test " + Q(zip));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("not tested")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find(": OK")) << r.out;

    r = Sh(kKaltri + " test --password-file " + Q(t.root + "/pw") + " " + Q(zip));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("e.bin")) << r.out;

    std::string wrong = t.Make("wrong", "guess\n");
    r = Sh(kKaltri + " test --password-file " + Q(wrong) + " " + Q(zip));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("wrong password")) << r.out;
}

TEST(KaltriTest, ADamagedEncryptedZipIsNeverSound) {
    Tree t;
    std::string zip = EncryptedZip(t);
    std::string bytes = Read(zip);
    bytes[5000] = static_cast<char>(bytes[5000] ^ 16);
    t.Make("e.zip", bytes);
    Result r = Sh(kKaltri + " test " + Q(zip));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find(": OK")) << r.out;
    r = Sh(kKaltri + " test --password-file " + Q(t.root + "/pw") + " " + Q(zip));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find(": OK")) << r.out;
    // Extraction with the password writes nothing damaged.
    r = Sh(kKaltri + " extract --password-file " + Q(t.root + "/pw") + " " + Q(zip) + " -o " +
           Q(t.root + "/x"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/x/e.bin"));
}

TEST(KaltriTest, ADamagedMemberIsNamedWithWhatIsWrong) {
    Tree t;
    std::string good = Lzh2({{0x01, "good.txt"}}, "fine\n");
    std::string bad = Lzh2({{0x01, "bad.txt"}}, "data\n");
    bad[bad.size() - 2] ^= 1;  // the stored data no longer matches its CRC
    t.Make("m.lzh", LzhArchive({good, bad}));
    Result r = Sh(kKaltri + " test " + Q(t.root + "/m.lzh"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("bad.txt")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("CRC")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("(error 0)")) << r.out;
}

// A file named as an archive of a library without a test command of its
// own, which is no archive at all (or too short to be read), is called what
// it is, not a CRC mismatch.
TEST(KaltriTest, AFileThatCannotBeOpenedIsNotCalledACrcMismatch) {
    Tree t;
    for (const char* name : {"x.tgz", "x.cab", "x.rar"}) {
        SCOPED_TRACE(name);
        t.Make(name, "no archive here at all, only text\n");
        Result r = Sh(kKaltri + " test " + Q(t.root + "/" + name));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_EQ(std::string::npos, r.out.find("CRC")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("not an archive")) << r.out;
    }
}

// The last part of a ZIP split with zip -s is not read: test, list and
// extract say so and what to do, instead of calling it damaged or unknown.
TEST(KaltriTest, ASplitZipIsRefusedSayingWhatItIs) {
    Tree t;
    t.Random("big.bin", 200000);
    Result made = Sh("cd " + Q(t.root) + " && zip -q -s 64k split.zip big.bin");
    ASSERT_EQ(0, made.code) << made.out;
    for (const std::string& command :
         {std::string(" test "), std::string(" list "), " extract -o " + Q(t.root + "/o") + " "}) {
        SCOPED_TRACE(command);
        Result r = Sh(kKaltri + command + Q(t.root + "/split.zip"));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("split over several files")) << r.out;
        EXPECT_EQ(std::string::npos, r.out.find("unsupported method")) << r.out;
    }
}

TEST(KaltriTest, ControlCharactersInNamesAreShownEscaped) {
    Tree t;
    const std::string name = "evil\x1b[2J\r\nOK forged.txt";
    t.Make("c.lzh", LzhArchive({Lzh2({{0x01, name}}, "x")}));
    t.Make("c.zip", Zip({{name, "x"}}));
    for (const char* archive : {"c.lzh", "c.zip"}) {
        for (const std::string& cmd : {kKaltri + " list " + Q(t.root + "/" + archive),
                                       kKaltri + " test " + Q(t.root + "/" + archive),
                                       kKaltri + " extract " + Q(t.root + "/" + archive) + " -o " +
                                           Q(t.root + "/out-" + archive)}) {
            Result r = Sh(cmd);
            EXPECT_EQ(std::string::npos, r.out.find('\x1b')) << cmd << "\n" << r.out;
            EXPECT_EQ(std::string::npos, r.out.find('\r')) << cmd << "\n" << r.out;
            EXPECT_EQ(std::string::npos, r.out.find("\nOK forged")) << cmd << "\n" << r.out;
        }
    }
    EXPECT_NE(std::string::npos,
              Sh(kKaltri + " list " + Q(t.root + "/c.zip")).out.find("evil\\x1B[2J\\x0D\\x0AOK"));
}

}  // namespace

namespace {

TEST(KaltriList, SizesPastFourGibibytesAreShownInFull) {
    Tree t;
    std::string sizes;
    Le(sizes, 4, 8);                   // packed
    Le(sizes, uint64_t{10} << 30, 8);  // original: 10 GiB
    t.Make("big.lzh", LzhArchive({Lzh2({{0x01, "ten-gib.bin"}, {0x42, sizes}}, "tiny")}));
    Result r = Sh(kKaltri + " list " + Q(t.root + "/big.lzh"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find(" 10737418240 ")) << r.out;
    EXPECT_EQ(std::string::npos, r.out.find("4294967295")) << r.out;
}

}  // namespace
