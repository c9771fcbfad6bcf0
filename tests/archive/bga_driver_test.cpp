// The BGA driver through the fake installed as BGA32.DLL.
#include <gtest/gtest.h>

#include "archive/bga_driver.h"
#include "driver_fixture.h"

namespace kt {
namespace {

using test::MessageOf;

class BgaDriver : public test::DriverTest {
protected:
    BgaDriver() : DriverTest({&TBGA32::ClassInfo}) {}
    void Install() { fakes.Install("BGA32.DLL", "Bga"); }
    std::string Line() const { return LastLine("BGA32.DLL", "Bga"); }
};

TEST_F(BgaDriver, Switches) {
    Install();
    TBGA32 bga;
    TArchiverOptions o;
    bga.Pack(nullptr, "a.gza", o, "/b", {"a"}, false, out);
    EXPECT_EQ(Line(), "a -n -j  \"a.gza\" \"/b/\" \"a\" ");
    o.c = 1, o.x = 1;
    bga.Pack(nullptr, "a.gza", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "a -o  \"a.gza\" \"a\" ");
    o.a = 1, o.n = 1, o.r = 1, o.x = 0, o.jm = 9;
    bga.Unpack(nullptr, "a.gza", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "x -a -o -i -r -j -l9  \"a.gza\" \"a\" ");
}

TEST_F(BgaDriver, ResponseFileRules) {
    Install();
    TBGA32 bga;
    TArchiverOptions o;
    std::string list = fakes.Path() + "/list";
    o.ResFileName = list;
    o.ResFileUsage = {ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate};
    // Pack and Unpack follow the caller's flag.
    bga.Pack(nullptr, "a.gza", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "a -n -j  \"a.gza\" \"a\" ");
    // RemoveItem follows the option set and never names the folder.
    bga.RemoveItem(nullptr, "a.gza", o, "/b", {"a"}, false, out);
    EXPECT_EQ(Line(), "d -n -j  \"a.gza\" \"@" + list + "\" ");
    // MakeSfx never uses the response file.
    bga.MakeSfx(nullptr, "a.gza", o, "/sfx", out);
    EXPECT_EQ(Line(), "s -n -j  \"a.gza\" \"/sfx/\" ");
}

TEST_F(BgaDriver, UnsupportedOperations) {
    Install();
    TBGA32 bga;
    DWORD written = 0;
    EXPECT_EQ(
        MessageOf([&] { bga.Update(nullptr, "a.gza", TArchiverOptions(), "", {}, false, out); }),
        "この形式の書庫では書庫の更新をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] {
                  bga.UnpackToMemory(nullptr, "a.gza", TArchiverOptions(), "x", nullptr, 0,
                                     written);
              }),
              "この形式ではメモリへの展開をサポートしておりません。");
    EXPECT_TRUE(fakes.Calls("BGA32.DLL").empty());
}

TEST_F(BgaDriver, IsArchiveCallsNothingForAMissingFile) {
    Install();
    EXPECT_FALSE(TBGA32::IsArchive(fakes.Path() + "/missing.gza"));
    EXPECT_TRUE(fakes.Calls("BGA32.DLL").empty());
    EXPECT_TRUE(TBGA32::IsArchive(fakes.Folder().Write("a.gza")));
    EXPECT_EQ(fakes.CallsOf("BGA32.DLL", "BgaCloseArchive").size(), 1u);
}

TEST_F(BgaDriver, MissingLibrary) {
    EXPECT_EQ(MessageOf([] { TBGA32 b; }), "Bga 形式書庫を扱うには BGA32.DLL が 必要です。");
    EXPECT_FALSE(TBGA32::IsArchive(fakes.Folder().Write("a.gza")));
}

}  // namespace
}  // namespace kt
