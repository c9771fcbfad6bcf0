// The RAR driver through the fake installed as UNRAR32.DLL.
#include <gtest/gtest.h>

#include "archive/rar_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::MessageOf;

class RarDriver : public test::DriverTest {
protected:
    RarDriver() : DriverTest({&TRar32::ClassInfo}) {}
    void Install() { fakes.Install("UNRAR32.DLL", "Unrar"); }
    std::string Line() const { return LastLine("UNRAR32.DLL", "Unrar"); }
};

TEST_F(RarDriver, ExtractCommandFollowsX) {
    Install();
    TRar32 rar;
    TArchiverOptions o;
    o.x = 0;
    rar.Unpack(nullptr, "a.rar", o, "/d", {"a"}, false, out);
    EXPECT_EQ(Line(), "-e -u  \"a.rar\" \"/d/\" \"a\" ");
    o.x = 1;
    rar.Unpack(nullptr, "a.rar", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "-x -u  \"a.rar\" \"a\" ");
    o.x = -1;
    o.c = 1, o.m = 1, o.p = 1;
    rar.Unpack(nullptr, "a.rar", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "-x -y -s  \"a.rar\" \"a\" ");
}

TEST_F(RarDriver, NoPackingAndMissingLibrary) {
    Install();
    TRar32 rar;
    rar.CommandLine = "before";
    EXPECT_EQ(
        MessageOf([&] { rar.Pack(nullptr, "a.rar", TArchiverOptions(), "", {"a"}, false, out); }),
        "この形式では書庫ファイルの作成をサポートしておりません。");
    EXPECT_EQ(rar.CommandLine, "before");
    EXPECT_TRUE(fakes.CallsOf("UNRAR32.DLL", "Unrar").empty());
    char buffer[4];
    DWORD written = 0;
    rar.UnpackToMemory(nullptr, "a.rar", TArchiverOptions(), "x", buffer, 4, written);
    EXPECT_EQ(LastLine("UNRAR32.DLL", "UnrarExtractMem"), " -u  \"a.rar\" \"x\" ");

    TRar32::ClassInfo.FreeDLL();
    std::filesystem::remove(fakes.Path() + "/UNRAR32.DLL");
    EXPECT_EQ(MessageOf([] { TRar32 r; }), "この機能の使用には UNRAR32.DLL が 必要です。");
    EXPECT_FALSE(TRar32::IsArchive(fakes.Folder().Write("a.rar")));
}

}  // namespace
}  // namespace kt
