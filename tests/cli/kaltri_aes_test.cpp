// kaltri pack --encrypt: WinZip AES archives that 7-Zip opens with the
// password and refuses cleanly without it, and 7-Zip's AES archives read by
// our own UNZIP32.DLL.
#include <gtest/gtest.h>

#include "kaltri_process.h"

namespace {

using namespace kaltri_test;

const char kPassword[] = "s3cret pass";

TEST(KaltriAes, EachStrengthOpensIn7zWithThePasswordAndFailsCleanlyWithAWrongOne) {
    Tree t;
    std::string pw = t.Make("pw.txt", std::string(kPassword) + "\n");
    std::string small = t.Random("src/small.txt", 50000);
    std::string tiny = t.Make("src/tiny.txt", "tiny");
    for (const char* bits : {"128", "192", "256"}) {
        std::string out = t.root + "/aes" + bits;
        Result r = Sh(kKaltri + " pack -f zip --test --encrypt aes" + bits + " --password-file " +
                      Q(pw) + " -o " + Q(out) + " -y -j1 " + Q(small) + " " + Q(tiny));
        ASSERT_EQ(0, r.code) << bits << r.out;
        for (const char* name : {"small", "tiny"}) {
            std::string zip = out + "/" + name + ".zip";
            Result l = Sh("7z l -slt -p" + Q(kPassword) + " " + Q(zip));
            EXPECT_NE(std::string::npos, l.out.find(std::string("AES-") + bits)) << l.out;
            Result x = Sh("7z x -y -p" + Q(kPassword) + " -o" + Q(out + "/x") + " " + Q(zip));
            ASSERT_EQ(0, x.code) << x.out;
            EXPECT_EQ(Read(t.root + "/src/" + name + ".txt"), Read(out + "/x/" + name + ".txt"))
                << bits << name;
            Result wrong = Sh("7z x -y -pwrong -o" + Q(out + "/w") + " " + Q(zip));
            EXPECT_NE(0, wrong.code) << wrong.out;
            EXPECT_NE(std::string::npos, wrong.out.find("Wrong password")) << wrong.out;
            EXPECT_FALSE(fs::exists(out + "/w/" + name + ".txt") &&
                         Read(out + "/w/" + name + ".txt") ==
                             Read(t.root + "/src/" + name + ".txt"));
            // Our own reader: sound with the password, never with another.
            EXPECT_EQ(0, Sh(kKaltri + " test --password-file " + Q(pw) + " " + Q(zip)).code);
            std::string bad = t.Make("bad.txt", "wrong\n");
            EXPECT_EQ(1, Sh(kKaltri + " test --password-file " + Q(bad) + " " + Q(zip)).code);
        }
    }
}

TEST(KaltriAes, ALargeFileTakesTheStreamedPathAndStillOpensIn7z) {
    Tree t;
    std::string pw = t.Make("pw.txt", std::string(kPassword) + "\n");
    std::string big = t.Random("big.bin", (17u << 20) + 12345);
    Result r = Sh(kKaltri + " pack -f zip --test --encrypt aes256 --password-file " + Q(pw) + " " +
                  Q(big));
    ASSERT_EQ(0, r.code) << r.out;
    Result x = Sh("7z t -p" + Q(kPassword) + " " + Q(t.root + "/big.zip"));
    EXPECT_EQ(0, x.code) << x.out;
    Result e = Sh("7z x -so -p" + Q(kPassword) + " " + Q(t.root + "/big.zip") + " > " +
                  Q(t.root + "/out.bin"));
    ASSERT_EQ(0, e.code) << e.out;
    EXPECT_TRUE(Read(big) == Read(t.root + "/out.bin"));
}

TEST(KaltriAes, SevenZipAesArchivesOpenInOurReader) {
    Tree t;
    std::string pw = t.Make("pw.txt", std::string(kPassword) + "\n");
    std::string a = t.Random("src/a.txt", 80000);
    std::string b = t.Make("src/b.txt", "short");
    for (const char* mem : {"AES128", "AES256"}) {
        std::string zip = t.root + "/" + mem + ".zip";
        Result made = Sh("cd " + Q(t.root + "/src") + " && 7z a -tzip -mem=" + mem + " -p" +
                         Q(kPassword) + " " + Q(zip) + " a.txt b.txt");
        ASSERT_EQ(0, made.code) << made.out;
        EXPECT_EQ(0, Sh(kKaltri + " test --password-file " + Q(pw) + " " + Q(zip)).code) << mem;
        std::string x = t.root + "/x" + mem;
        Result r = Sh(kKaltri + " extract --password-file " + Q(pw) + " -o " + Q(x) + " " + Q(zip));
        ASSERT_EQ(0, r.code) << r.out;
        EXPECT_EQ(Read(a), Read(x + "/a.txt")) << mem;
        EXPECT_EQ(Read(b), Read(x + "/b.txt")) << mem;
        std::string bad = t.Make("bad.txt", "nope\n");
        // Nothing extracted: the target folders the run made go with it.
        std::string y = t.root + "/y" + mem;
        r = Sh(kKaltri + " extract --password-file " + Q(bad) + " -o " + Q(y + "/deeper") + " " +
               Q(zip));
        EXPECT_EQ(1, r.code) << r.out;
        EXPECT_FALSE(fs::exists(y)) << mem;
    }
}

TEST(KaltriAes, TheMacCatchesADamagedArchiveAndQuotesAndMissingPasswordsAreRefused) {
    Tree t;
    std::string pw = t.Make("pw.txt", std::string(kPassword) + "\n");
    std::string a = t.Random("a.txt", 100000);
    Result r = Sh("KT_FAULT_DAMAGE=1 " + kKaltri +
                  " pack -f zip --test --encrypt aes256 --password-file " + Q(pw) + " " + Q(a));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/a.zip"));

    std::string quoted = t.Make("quoted.txt", "say \"hi\"\n");
    r = Sh(kKaltri + " pack -f zip --encrypt aes256 --password-file " + Q(quoted) + " " + Q(a));
    EXPECT_NE(0, r.code) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/a.zip"));
    EXPECT_EQ(2, Sh(kKaltri + " pack -f zip --encrypt aes256 " + Q(a)).code);
    EXPECT_EQ(2, Sh(kKaltri + " pack --encrypt aes256 --password-file " + Q(pw) + " " + Q(a)).code);
    EXPECT_EQ(
        2,
        Sh(kKaltri + " pack -f zip --encrypt aes512 --password-file " + Q(pw) + " " + Q(a)).code);
}

}  // namespace
