// The driver base: unsupported operations, the class-level library state
// (loaded once per class, never unloaded by the layer), the missing-entry
// message, and the shared command-line pieces.
#include "archive/archiver.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include "driver_fixture.h"
#include "fake_library.h"
#include "platform/message_hub.h"
#include "test_driver.h"

namespace kt {
namespace {

using test::MessageOf;
using test::TTestDriver;

class ArchiverBase : public ::testing::Test {
protected:
    void SetUp() override { TTestDriver::ClassInfo.FreeDLL(); }
    void TearDown() override { TTestDriver::ClassInfo.FreeDLL(); }
    test::FakeProgramFolder fakes;
};

// A driver that supplies nothing but Unpack: every other operation is the
// base one.
class TBareDriver : public TArchiver {
public:
    static const TArchiverClass ClassInfo;
    TBareDriver() : TArchiver(ClassInfo) {}
    int Unpack(HWND, const std::string&, const TArchiverOptions&, const std::string&,
               const TFileList&, bool, std::string&) override {
        return 0;
    }
};
const TArchiverClass TBareDriver::ClassInfo = {"TBareDriver", [] {}, [] {}};

// A class that does not supply its class-level operations.
class TNoClassDriver : public TArchiver {
public:
    TNoClassDriver() : TArchiver(TArchiver::ClassInfo) {}
    int Unpack(HWND, const std::string&, const TArchiverOptions&, const std::string&,
               const TFileList&, bool, std::string&) override {
        return 0;
    }
};

TEST(ArchiverUnsupported, EachOperationRaisesItsMessageBeforeAnythingChanges) {
    TBareDriver d;
    d.CommandLine = "before";
    TArchiverOptions o;
    std::string out(16, 'z');
    DWORD written = 77;
    EXPECT_EQ(MessageOf([&] { d.Pack(nullptr, "/a", o, "", {}, false, out); }),
              "この形式では書庫ファイルの作成をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { d.RemoveItem(nullptr, "/a", o, "", {}, false, out); }),
              "この形式の書庫ではファイルの削除をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { d.Update(nullptr, "/a", o, "", {}, false, out); }),
              "この形式の書庫では書庫の更新をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { d.MakeSfx(nullptr, "/a", o, "/o", out); }),
              "この形式では自己解凍書庫の作成をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { d.UnpackToMemory(nullptr, "/a", o, "f", nullptr, 0, written); }),
              "この形式ではメモリへの展開をサポートしておりません。");
    EXPECT_EQ(MessageOf([&] { d.CheckArchive("/a", 1, 0); }),
              "この形式では書庫チェック機能をサポートしておりません。");
    EXPECT_EQ(d.CommandLine, "before");
    EXPECT_EQ(out, std::string(16, 'z'));
    EXPECT_EQ(written, 77u);
}

TEST(ArchiverUnsupported, BaseDefaultsOfTheListingSlotsAndOwnerWindow) {
    TBareDriver d;
    EXPECT_EQ(d.OwnerWindow, nullptr);
    EXPECT_EQ(d.CommandLine, "");
    EXPECT_EQ(d.OpenArchive(nullptr, "/a", 0), nullptr);
    EXPECT_EQ(d.FindFirst(nullptr, nullptr, "*"), -1);
    EXPECT_EQ(d.FindNext(nullptr, nullptr), -1);
    EXPECT_EQ(d.CloseArchive(nullptr), 0);
    HWND w = NumberToHandle(42);
    EXPECT_FALSE(d.SetOwnerWindow(w, nullptr));
    EXPECT_EQ(d.OwnerWindow, w);
    EXPECT_TRUE(d.HasOwnerWindow());
    EXPECT_FALSE(d.KillOwnerWindow(w));
    EXPECT_FALSE(d.HasOwnerWindow());
}

TEST(ArchiverUnsupported, AbstractClassLevelOperationsRaise) {
    EXPECT_EQ(MessageOf([] { TArchiver::ClassInfo.LoadDLL(); }),
              "Abstract method 'TArchiver.LoadDLL' was called");
    EXPECT_EQ(MessageOf([] { TArchiver::ClassInfo.FreeDLL(); }),
              "Abstract method 'TArchiver.FreeDLL' was called");
    EXPECT_EQ(MessageOf([] { TNoClassDriver d; }),
              "Abstract method 'TArchiver.LoadDLL' was called");
}

TEST_F(ArchiverBase, MissingLibraryFailsTheConstructionWithTheDriversMessage) {
    EXPECT_EQ(MessageOf([] { TTestDriver d; }), TTestDriver::Message);
    EXPECT_EQ(TTestDriver::State().Module, nullptr);
}

TEST_F(ArchiverBase, SecondDriverDoesNotLoadAgainAndNothingUnloads) {
    std::string path = fakes.Install("UNLHA32.DLL", "Unlha");
    HMODULE first;
    {
        TTestDriver a;
        first = TTestDriver::State().Module;
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(GetModuleFileName(first), path);
        // With the file gone, a second driver can only be made from the
        // state its class already holds.
        std::filesystem::remove(path);
        TTestDriver b;
        EXPECT_EQ(TTestDriver::State().Module, first);
        b.CheckPackDLL();  // loading twice is a no-op
        EXPECT_EQ(TTestDriver::State().Module, first);
    }
    EXPECT_EQ(TTestDriver::State().Module, first);  // all drivers gone, library kept
    void* again = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(again, nullptr);
    if (again) dlclose(again);
    TTestDriver::ClassInfo.FreeDLL();
    EXPECT_EQ(TTestDriver::State().Module, nullptr);
    EXPECT_TRUE(TTestDriver::State().Procs.empty());
}

TEST_F(ArchiverBase, MissingEntryNamesTheLibrarysFullPathAtFirstUse) {
    std::string path = fakes.Install("UNLHA32.DLL", "Unlha_nofind");
    TTestDriver d;  // loading succeeds: entries are looked up on first use
    std::string msg = MessageOf([&] { d.FindFirst(nullptr, nullptr, "*"); });
    EXPECT_EQ(msg, path + " に UnlhaFindFirst のエントリが見つかりません。");
    EXPECT_TRUE(fakes.Calls("UNLHA32.DLL").empty());
}

TEST_F(ArchiverBase, EntryLookupWithoutALoadedLibraryFails) {
    EXPECT_THROW(TArchiver::GetDLLProc(nullptr, "Unlha"), EArchiver);
    EXPECT_THROW(TTestDriver::State().Proc("Unlha"), EArchiver);
}

TEST_F(ArchiverBase, EntriesAreLookedUpOnceAndCached) {
    fakes.Install("UNLHA32.DLL", "Unlha");
    TTestDriver d;
    void* a = TTestDriver::State().Proc("Unlha");
    EXPECT_EQ(TTestDriver::State().Procs.count("Unlha"), 1u);
    EXPECT_EQ(TTestDriver::State().Proc("Unlha"), a);
    EXPECT_EQ(a, GetProcAddress(TTestDriver::State().Module, "Unlha"));
}

TEST_F(ArchiverBase, CommandReachesTheLibraryAsRecordedInCommandLine) {
    fakes.Install("UNLHA32.DLL", "Unlha");
    fakes.Configure("UNLHA32.DLL", "result", "32793");
    fakes.Configure("UNLHA32.DLL", "output", "report");
    TTestDriver d;
    TArchiverOptions o;
    o.n = 1;
    std::string out(64, 'z');
    int rc = d.Pack(nullptr, "/out/a.lzh", o, "/base", {std::string("/in/a.txt")}, false, out);
    EXPECT_EQ(rc, 32793);
    EXPECT_EQ(d.CommandLine, "u -n1  \"/out/a.lzh\" \"/base/\" \"/in/a.txt\" ");
    auto calls = fakes.CallsOf("UNLHA32.DLL", "Unlha");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arg(0), d.CommandLine);
    EXPECT_EQ(calls[0].arg(1), "64");
    EXPECT_EQ(std::string(out.c_str()), "report");
}

TEST(ArchiverShared, AddArcAndDirQuotesBothAndLeavesOutAnEmptyFolder) {
    TCmdOpt c;
    TArchiver::AddArcAndDir(c, "/o/a b.lzh", "/base");
    EXPECT_EQ(c.CmdLine, " \"/o/a b.lzh\" \"/base/\"");
    c.CmdLine.clear();
    TArchiver::AddArcAndDir(c, "/o/a.lzh", "");
    TArchiver::AddArcAndDir(c, "/o/b.lzh", UnsetString);
    EXPECT_EQ(c.CmdLine, " \"/o/a.lzh\" \"/o/b.lzh\"");
}

TEST(ArchiverShared, AddFileListUsesTheResponseFileOnlyWithANameAndTheFlag) {
    test::TempFolder dir;
    TArchiverOptions o;
    TFileList files = {TStringList{"/a", "/b"}};
    for (const std::string& name : {std::string(), UnsetString}) {
        o.ResFileName = name;
        TCmdOpt c;
        TArchiver::AddFileList(c, o, true, files);  // no usable name: falls back to names
        EXPECT_EQ(c.CmdLine, " \"/a\" \"/b\" ");
    }
    o.ResFileName = dir / "resp";
    o.UserFileList = "-x extra";
    TCmdOpt names;
    TArchiver::AddFileList(names, o, false, files);
    EXPECT_EQ(names.CmdLine, " \"/a\" \"/b\" -x extra");
    EXPECT_FALSE(std::filesystem::exists(dir / "resp"));
    TCmdOpt viaFile;
    TArchiver::AddFileList(viaFile, o, true, files);
    EXPECT_EQ(viaFile.CmdLine, " \"@" + (dir / "resp") + "\" -x extra");
    EXPECT_EQ(test::ReadAll(dir / "resp"), "\"/a\"\r\n\"/b\"\r\n");
}

}  // namespace
}  // namespace kt
