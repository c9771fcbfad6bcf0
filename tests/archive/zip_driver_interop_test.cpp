// The ZIP driver over the real ZIP32J.DLL and UNZIP32.DLL of this build:
// the names it escapes and the switches it sends must mean to the engine
// what the driver intends, so that unzip reads the result byte for byte.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "archive/zip_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::Quote;
using test::ReadAll;
using test::Shell;

class ZipDriverOverRealLibraries : public test::RealLibraryTest {
protected:
    ZipDriverOverRealLibraries() : RealLibraryTest({&TZip32::ClassInfo}, 1024) {}
};

TEST_F(ZipDriverOverRealLibraries, BracketsAndBackslashesReachTheEngineLiterally) {
    // "\\" is an ordinary name character here and "[" opens no character
    // class: the engine must find both files under their exact names.
    std::string slash = dir.Write("d[1]/a\\b.txt", "backslash");
    std::string bracket = dir.Write("d[1]/c[x].txt", "odd name [1]");
    std::string plain = dir.Write("in/plain.txt", std::string(100000, 'p'));
    std::string arc = dir / "out.zip";
    TZip32 zip;
    TArchiverOptions o = test::StoredOptions();
    o.p = 1;
    ASSERT_EQ(zip.Pack(nullptr, arc, o, "", {slash, bracket, plain}, true, out), 0) << out.c_str();
    EXPECT_EQ(Shell("unzip -Z1 " + Quote(arc)), "a\\b.txt\nc[x].txt\nplain.txt\n");
    EXPECT_EQ(Shell("unzip -p " + Quote(arc) + " plain.txt"), std::string(100000, 'p'));

    std::string dest = dir.MakeFolder("dest");
    ASSERT_EQ(zip.Unpack(nullptr, arc, o, dest, {"c[x].txt", "plain.txt"}, true, out), 0)
        << out.c_str();
    EXPECT_EQ(ReadAll(dest + "/c[x].txt"), "odd name [1]");
    EXPECT_EQ(ReadAll(dest + "/plain.txt"), std::string(100000, 'p'));
}

TEST_F(ZipDriverOverRealLibraries, PasswordInUserOptionsEncrypts) {
    std::string src = dir.Write("s.txt", "secret text");
    std::string arc = dir / "p.zip";
    TZip32 zip;
    TArchiverOptions o = test::StoredOptions();
    o.UserOptions = "-P \"pa ss\"";
    ASSERT_EQ(zip.Pack(nullptr, arc, o, "", {src}, true, out), 0) << out.c_str();
    EXPECT_EQ(Shell("unzip -P 'pa ss' -p " + Quote(arc) + " s.txt"), "secret text");
    // A wrong password passes ZipCrypto's one check byte once in 256 tries;
    // unzip then prints what it decrypted and fails on the CRC. Either way
    // it must fail, and never give the text.
    const test::TToolRun wrong =
        test::RunTool("unzip -P wrong -p " + Quote(arc) + " s.txt 2>/dev/null");
    EXPECT_NE(wrong.Code, 0);
    EXPECT_NE(wrong.Out, "secret text");
}

}  // namespace
}  // namespace kt
