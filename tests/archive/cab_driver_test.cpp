// The CAB driver through the fake installed as CAB32.DLL.
#include <gtest/gtest.h>

#include "archive/cab_driver.h"
#include "driver_fixture.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

using test::MessageOf;

class CabDriver : public test::DriverTest {
protected:
    CabDriver() : DriverTest({&TCab32::ClassInfo}) {}
    void Install() { fakes.Install("CAB32.DLL", "Cab"); }
    std::string Line() const { return LastLine("CAB32.DLL", "Cab"); }
};

TEST_F(CabDriver, UnpackMakesTheArchiveAbsolutePackDoesNot) {
    Install();
    TCab32 cab;
    TArchiverOptions o;
    cab.Unpack(nullptr, "rel/a.cab", o, "/dest", {"a"}, false, out);
    std::string abs = std::filesystem::current_path().string() + "/rel/a.cab";
    EXPECT_EQ(Line(), "-x  \"" + abs + "\" \"/dest/\" \"a\" ");
    cab.Pack(nullptr, "rel/a.cab", o, "/base", {"a"}, false, out);
    EXPECT_EQ(Line(), "-a  \"rel/a.cab\" \"/base/\" \"a\" ");
    cab.MakeSfx(nullptr, "a.cab", o, "/sfx", out);
    EXPECT_EQ(Line(), "-f  \"a.cab\" \"/sfx/\" ");
}

TEST_F(CabDriver, Switches) {
    Install();
    TCab32 cab;
    TArchiverOptions o;
    o.c = 1, o.n = 1, o.r = 1, o.x = 0, o.ji = 1;
    cab.Pack(nullptr, "a.cab", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "-a -o -i -r -j -q  \"a.cab\" \"a\" ");
    o.c = 2, o.n = -1, o.x = 1;
    ASSERT_TRUE(cab.SetOwnerWindow(NumberToHandle(2), nullptr));
    cab.Pack(nullptr, "a.cab", o, "", {"a"}, false, out);
    EXPECT_EQ(Line(), "-a -i -r -q  \"a.cab\" \"a\" ");
}

TEST_F(CabDriver, MemoryUnsupportedOperationsAndMissingLibrary) {
    Install();
    TCab32 cab;
    char buffer[4];
    DWORD written = 0;
    cab.UnpackToMemory(nullptr, "a.cab", TArchiverOptions(), "x", buffer, 4, written);
    EXPECT_EQ(LastLine("CAB32.DLL", "CabExtractMem"), "  \"a.cab\" \"x\" ");
    EXPECT_EQ(
        MessageOf([&] { cab.Update(nullptr, "a.cab", TArchiverOptions(), "", {}, false, out); }),
        "この形式の書庫では書庫の更新をサポートしておりません。");
    TCab32::ClassInfo.FreeDLL();
    std::filesystem::remove(fakes.Path() + "/CAB32.DLL");
    EXPECT_EQ(MessageOf([] { TCab32 c; }), "CAB 形式書庫を扱うには CAB32.DLL が 必要です。");
    EXPECT_FALSE(TCab32::IsArchive(fakes.Folder().Write("a.cab")));
}

}  // namespace
}  // namespace kt
