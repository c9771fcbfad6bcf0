// The ARJ driver with fakes installed as UNARJ32J.DLL and UNLHA32.DLL: its
// own slots run through UNARJ32J.DLL, the inherited ones through
// UNLHA32.DLL (loaded on demand), and the owner window is registered with
// both in the fixed order.
#include <gtest/gtest.h>

#include "archive/arj_driver.h"
#include "driver_fixture.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

using test::MessageOf;
using test::StoredOptions;

const char* const LhaMissing = "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。";

class ArjDriver : public test::DriverTest {
protected:
    ArjDriver() : DriverTest({&TArj32::ClassInfo, &TLha32::ClassInfo}) {}
    void InstallArj() { fakes.Install("UNARJ32J.DLL", "Unarj"); }
    void InstallLha() { fakes.Install("UNLHA32.DLL", "Unlha"); }
};

TEST_F(ArjDriver, UnpackUsesTheLhaBuilderAndTheCallersFlag) {
    InstallArj();
    TArj32 arj;
    TArchiverOptions o = StoredOptions();
    std::string list = fakes.Path() + "/list";
    o.ResFileName = list;
    o.ResFileUsage = {};  // not consulted by ARJ extraction
    arj.Unpack(nullptr, "a.arj", o, "/dest", {"a.txt"}, true, out);
    EXPECT_EQ(LastLine("UNARJ32J.DLL", "Unarj"),
              "x -+ -n1 -x0  \"a.arj\" \"/dest/\" \"@" + list + "\" ");
    arj.Unpack(nullptr, "a.arj", o, "", {"a.txt"}, false, out);
    EXPECT_EQ(LastLine("UNARJ32J.DLL", "Unarj"), "x -+ -n1 -x0  \"a.arj\" \"a.txt\" ");
}

TEST_F(ArjDriver, InheritedOperationsNeedUnlha32) {
    InstallArj();
    TArj32 arj;  // constructs without UNLHA32.DLL
    EXPECT_EQ(
        MessageOf([&] { arj.Pack(nullptr, "a.arj", TArchiverOptions(), "", {"a"}, false, out); }),
        LhaMissing);
    InstallLha();
    arj.Pack(nullptr, "a.arj", TArchiverOptions(), "", {"a"}, false, out);
    EXPECT_EQ(LastLine("UNLHA32.DLL", "Unlha"), "u -+  \"a.arj\" \"a\" ");
    arj.RemoveItem(nullptr, "a.arj", TArchiverOptions(), "/b", {"a"}, false, out);
    EXPECT_EQ(LastLine("UNLHA32.DLL", "Unlha"), "d -+  \"a.arj\" \"a\" ");
    EXPECT_TRUE(fakes.CallsOf("UNARJ32J.DLL", "Unarj").empty());
}

TEST_F(ArjDriver, OwnSlotsRunThroughUnarj) {
    InstallArj();
    TArj32 arj;
    arj.CheckArchive("a.arj", 1, 64);
    EXPECT_EQ(fakes.CallsOf("UNARJ32J.DLL", "UnarjCheckArchive").at(0).arg(1), "65");
    HARC arc = arj.OpenArchive(nullptr, "/a.arj", 0);
    arj.FindFirst(arc, nullptr, "*");
    arj.FindNext(arc, nullptr);
    arj.CloseArchive(arc);
    for (const char* entry :
         {"UnarjOpenArchive", "UnarjFindFirst", "UnarjFindNext", "UnarjCloseArchive"})
        EXPECT_EQ(fakes.CallsOf("UNARJ32J.DLL", entry).size(), 1u) << entry;
}

TEST_F(ArjDriver, OwnerWindowLhaFirstThenArj) {
    InstallArj();
    TArj32 arj;
    HWND wnd = NumberToHandle(4);
    // UNLHA32.DLL not loaded: the LHA registration fails, the ARJ one is
    // not attempted.
    EXPECT_NE(MessageOf([&] {
                  arj.SetOwnerWindow(wnd, nullptr);
              }).find(" に UnlhaSetOwnerWindowEx のエントリが見つかりません。"),
              std::string::npos);
    EXPECT_TRUE(fakes.CallsOf("UNARJ32J.DLL", "UnarjSetOwnerWindowEx").empty());

    InstallLha();
    TLha32::ClassInfo.LoadDLL();
    fakes.Configure("UNLHA32.DLL", "owner", "0");
    EXPECT_TRUE(arj.SetOwnerWindow(wnd, nullptr));  // the ARJ answer counts
    EXPECT_EQ(arj.OwnerWindow, wnd);
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaSetOwnerWindowEx").size(), 1u);
    EXPECT_EQ(fakes.CallsOf("UNARJ32J.DLL", "UnarjSetOwnerWindowEx").size(), 1u);
    fakes.Configure("UNARJ32J.DLL", "kill", "0");
    EXPECT_FALSE(arj.KillOwnerWindow(wnd));
    EXPECT_EQ(arj.OwnerWindow, nullptr);
    EXPECT_EQ(fakes.CallsOf("UNLHA32.DLL", "UnlhaKillOwnerWindowEx").size(), 1u);
}

TEST_F(ArjDriver, ProbeAndMissingLibrary) {
    std::string file = fakes.Folder().Write("a.arj");
    EXPECT_FALSE(TArj32::IsArchive(file));
    EXPECT_EQ(MessageOf([] { TArj32 arj; }), "ARJ 形式書庫を扱うには UNARJ32J.DLL が 必要です。");
    InstallArj();
    EXPECT_TRUE(TArj32::IsArchive(file));
    EXPECT_EQ(fakes.CallsOf("UNARJ32J.DLL", "UnarjOpenArchive").at(0).arg(1),
              std::to_string(0x800002));
    fakes.Configure("UNARJ32J.DLL", "open", "0");
    EXPECT_FALSE(TArj32::IsArchive(file));
    EXPECT_EQ(fakes.CallsOf("UNARJ32J.DLL", "UnarjCloseArchive").size(), 1u);
}

}  // namespace
}  // namespace kt
