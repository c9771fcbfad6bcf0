// kaltri list / test / extract on the formats served by the libraries
// beyond LHA and ZIP, run as a process over the real libraries of
// build/bin; the archives are made by independent tools.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "../archivers/rar/rar_writer.h"
#include "kaltri_process.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using kaltri_test::kKaltri;
using kaltri_test::Q;
using kaltri_test::Result;
using kaltri_test::Sh;

class KaltriOtherFormats : public ::testing::Test {
protected:
    KaltriOtherFormats() {
        root = scratch.Path();
        fs::create_directories(root + "/src/docs");
        std::ofstream(root + "/src/docs/readme.txt") << "read me\n";
        std::string big;
        for (int i = 0; i < 20000; ++i) big += "entry " + std::to_string(i) + "\n";
        std::ofstream(root + "/src/big.txt") << big;
        bigText = big;
    }

    // list, test and extract of one archive, as a user runs them.
    void ListTestExtract(const std::string& arc, const std::string& lang = "") {
        Result list = Sh(kKaltri + lang + " list " + Q(arc));
        EXPECT_EQ(list.code, 0) << list.out;
        EXPECT_NE(list.out.find("docs/readme.txt"), std::string::npos) << list.out;
        EXPECT_NE(list.out.find("big.txt"), std::string::npos) << list.out;
        Result test = Sh(kKaltri + lang + " test " + Q(arc));
        EXPECT_EQ(test.code, 0) << test.out;
        std::string out = root + "/out-" + fs::path(arc).filename().string();
        Result extract = Sh(kKaltri + lang + " extract " + Q(arc) + " -o " + Q(out));
        EXPECT_EQ(extract.code, 0) << extract.out;
        std::ifstream in(out + "/big.txt", std::ios::binary);
        std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(got, bigText);
    }

    kt::test::TempFolder scratch;
    std::string root;
    std::string bigText;
};

TEST_F(KaltriOtherFormats, TarGzFromGnuTar) {
    std::string arc = root + "/a.tar.gz";
    ASSERT_EQ(system(("tar -C " + Q(root + "/src") + " -czf " + Q(arc) + " docs big.txt").c_str()),
              0);
    ListTestExtract(arc);
    // A damaged copy fails the test and says so.
    std::string bad = root + "/bad.tgz";
    fs::copy_file(arc, bad);
    {
        std::fstream f(bad, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(static_cast<std::streamoff>(fs::file_size(bad) / 2));
        f.put('\x55').put('\xAA').put('\x55');
    }
    Result test = Sh(kKaltri + " test " + Q(bad));
    EXPECT_NE(test.code, 0) << test.out;
}

TEST_F(KaltriOtherFormats, CabinetFromGcab) {
    std::string arc = root + "/a.cab";
    ASSERT_EQ(system(("cd " + Q(root + "/src") + " && gcab -c -z " + Q(arc) +
                      " docs/readme.txt big.txt >/dev/null")
                         .c_str()),
              0);
    ListTestExtract(arc);
}

TEST_F(KaltriOtherFormats, RarArchives) {
    for (int version : {4, 5}) {
        std::vector<kt::test::RarMember> members = {
            {"docs", "", true}, {"docs/readme.txt", "read me\n"}, {"big.txt", bigText}};
        std::string arc = root + "/a" + std::to_string(version) + ".rar";
        std::ofstream(arc, std::ios::binary)
            << (version == 5 ? kt::test::MakeRar5(members) : kt::test::MakeRar4(members));
        ListTestExtract(arc);
    }
    // An encrypted member: test and extract fail and say so.
    std::string enc = root + "/enc.rar";
    std::ofstream(enc, std::ios::binary) << kt::test::MakeRar5({{"big.txt", bigText, false, true}});
    EXPECT_NE(Sh(kKaltri + " test " + Q(enc)).code, 0);
    Result extract = Sh(kKaltri + " extract " + Q(enc) + " -o " + Q(root + "/enc-out"));
    EXPECT_NE(extract.code, 0);
    EXPECT_NE(extract.out.find("encrypted"), std::string::npos) << extract.out;
    EXPECT_FALSE(fs::exists(root + "/enc-out/big.txt"));
}

}  // namespace

namespace {

// gzip inside gzip whose inner header has a name field hundreds of MB
// long, never ended: unwrapped once, the inner stream is data, read in
// bounded memory, not a header to be held whole.
TEST(KaltriNestedGzip, AGzipInsideGzipIsReadInBoundedMemory) {
    kt::test::TempFolder scratch;
    const std::string gz = scratch.Path() + "/nest.gz";
    std::ofstream(scratch.Path() + "/make.sh")
        << "{ printf '\\037\\213\\010\\010\\0\\0\\0\\0\\0\\003'; head -c 600000000 /dev/zero | tr "
           "'\\0' a; } | gzip -1 > "
        << Q(gz) << "\n";
    ASSERT_EQ(0, Sh("sh " + Q(scratch.Path() + "/make.sh")).code);
    Result r = Sh("ulimit -v 300000; " + kKaltri + " test " + Q(gz));
    EXPECT_EQ(0, r.code) << r.out;
}

}  // namespace
