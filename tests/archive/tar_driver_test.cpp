// The TAR family through the recording fake installed as tar32.dll: the
// separate-value form of archive and folder, the switches by option and by
// class (-z/-B), the dialog switch only without an owner window, the
// window brought forward after the command, ArchiveTypeOf's mapping and
// MakeSfx by stub copy without any library call.
#include <gtest/gtest.h>

#include "archive/tar_driver.h"
#include "driver_fixture.h"
#include "platform/foreground_window.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

using test::MessageOf;
using test::ReadAll;

class TarDriver : public test::DriverTest {
protected:
    TarDriver() : DriverTest({&TTar32::ClassInfo}) {}
    void Install() { fakes.Install("tar32.dll", "Tar"); }
    std::string Line() const { return LastLine("tar32.dll", "Tar"); }
};

TEST_F(TarDriver, PackLineNamesArchiveAndFolderBySwitch) {
    Install();
    TTar32 tar;
    TArchiverOptions o;
    o.n = 1;
    o.x = 0;
    o.p = 1;
    ASSERT_EQ(tar.Pack(nullptr, "/out/a.tar", o, "/base", {"/in/a.txt"}, false, out), 0);
    EXPECT_EQ(Line(),
              "c --display-dialog=0 --check-all-path=1 --use-directory=0  -f \"/out/a.tar\" "
              "-o \"/base/\" \"/in/a.txt\" ");
    EXPECT_EQ(tar.CommandLine, Line());
    tar.Unpack(nullptr, "/out/a.tar", TArchiverOptions(), "", {"a.txt"}, false, out);
    EXPECT_EQ(Line(), "x  -f \"/out/a.tar\" \"a.txt\" ");
}

TEST_F(TarDriver, AttributeAndOtherSwitches) {
    Install();
    TTar32 tar;
    TArchiverOptions o;
    auto line = [&] {
        tar.Pack(nullptr, "a.tar", o, "", {"f"}, false, out);
        return Line();
    };
    o.a = 0;
    EXPECT_EQ(line(), "c -I  -f \"a.tar\" \"f\" ");
    o.a = 1;
    EXPECT_EQ(line(), "c -AH  -f \"a.tar\" \"f\" ");
    o.a = -1;
    o.o = 1;
    o.jm = 9;  // no compression switch for plain tar
    EXPECT_EQ(line(), "c -g  -f \"a.tar\" \"f\" ");
}

TEST_F(TarDriver, CompressionSwitchByClass) {
    Install();
    TTgz32 tgz;
    TBZ232 bz2;
    TArchiverOptions o;
    tgz.Pack(nullptr, "a.tgz", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -z  -f \"a.tgz\" \"f\" ");
    bz2.Pack(nullptr, "a.bz2", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -B  -f \"a.bz2\" \"f\" ");
    o.jm = 9;
    tgz.Pack(nullptr, "a.tgz", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -z9  -f \"a.tgz\" \"f\" ");
    bz2.Pack(nullptr, "a.bz2", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -B9  -f \"a.bz2\" \"f\" ");
    o.jm = 0;
    tgz.Pack(nullptr, "a.tgz", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -z  -f \"a.tgz\" \"f\" ");
}

TEST_F(TarDriver, DialogSwitchOnlyWithoutOwnerWindow) {
    Install();
    TTgz32 tgz;
    TArchiverOptions o;
    o.n = 1;
    tgz.Pack(nullptr, "a.tgz", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c --display-dialog=0 -z  -f \"a.tgz\" \"f\" ");
    ASSERT_TRUE(tgz.SetOwnerWindow(NumberToHandle(9), nullptr));
    tgz.Pack(nullptr, "a.tgz", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c -z  -f \"a.tgz\" \"f\" ");
}

TEST_F(TarDriver, EmptyArchiveNameAndResponseFileFromOptions) {
    Install();
    TTar32 tar;
    TArchiverOptions o;
    o.ResFileName = fakes.Path() + "/list";
    o.ResFileUsage = {ruOnPack};
    tar.Pack(nullptr, "", o, "", {"f"}, false, out);
    EXPECT_EQ(Line(), "c  \"@" + o.ResFileName + "\" ");
    tar.Unpack(nullptr, "a.tar", o, "", {"f"}, true, out);
    EXPECT_EQ(Line(), "x  -f \"a.tar\" \"f\" ");
}

struct Raised {
    std::vector<std::string> logAtRaise;
    int count = 0;
};

TEST_F(TarDriver, WindowComesForwardAfterTheCommand) {
    Install();
    Raised raised;
    struct Ctx {
        Raised* raised;
        test::FakeProgramFolder* fakes;
    } ctx{&raised, &fakes};
    HWND wnd = CreateMessageWindow(
        [](HWND, UINT msg, WPARAM, LPARAM, void* user) -> LRESULT {
            auto* c = static_cast<Ctx*>(user);
            if (msg == RegisterWindowMessage(KT_SET_FOREGROUND_MESSAGE_NAME)) {
                ++c->raised->count;
                for (const auto& call : c->fakes->Calls("tar32.dll"))
                    c->raised->logAtRaise.push_back(call.entry);
            }
            return 0;
        },
        &ctx);
    fakes.Configure("tar32.dll", "result", "32787");
    TTar32 tar;
    EXPECT_EQ(tar.Unpack(wnd, "a.tar", TArchiverOptions(), "", {"f"}, false, out), 32787);
    EXPECT_EQ(raised.count, 1);
    // The library had already run when the window was raised.
    EXPECT_EQ(raised.logAtRaise, std::vector<std::string>{"Tar"});
    tar.Unpack(nullptr, "a.tar", TArchiverOptions(), "", {"f"}, false, out);
    EXPECT_EQ(raised.count, 1);
    DestroyMessageWindow(wnd);
}

TEST_F(TarDriver, ArchiveTypeOfMapsTheLibrarysAnswer) {
    Install();
    const std::pair<int, TArchiverType> cases[] = {{0, atNone}, {1, atTar},  {2, atTgz}, {3, atTgz},
                                                   {4, atTgz},  {5, atTgz},  {6, atBZ2}, {7, atBZ2},
                                                   {8, atNone}, {-1, atNone}};
    for (auto [answer, type] : cases) {
        fakes.Configure("tar32.dll", "archivetype", std::to_string(answer));
        EXPECT_EQ(TTar32::ArchiveTypeOf("rel/a.tgz"), type) << answer;
    }
    EXPECT_EQ(fakes.CallsOf("tar32.dll", "TarGetArchiveType").at(0).arg(0), "rel/a.tgz");
}

TEST_F(TarDriver, ArchiveTypeOfWithoutTheLibraryIsNone) {
    EXPECT_EQ(TTar32::ArchiveTypeOf(fakes.Folder().Write("a.tgz")), atNone);
    EXPECT_EQ(MessageOf([] { TTgz32 tgz; }),
              "tar/tgz/taz/bz2 形式書庫を扱うには tar32.dll が 必要です。");
}

TEST_F(TarDriver, MakeSfxCopiesTheStubWithoutTheLibrary) {
    Install();
    std::string arc = fakes.Folder().Write("out/a.tgz", "TGZ");
    std::string outDir = fakes.Folder().MakeFolder("sfx");
    TTgz32 tgz;
    tgz.CommandLine = "before";
    EXPECT_EQ(MessageOf([&] { tgz.MakeSfx(nullptr, arc, TArchiverOptions(), outDir, out); }),
              "tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
    fakes.Folder().Write("kmtarsef.exe", "STUB:");
    EXPECT_EQ(tgz.MakeSfx(nullptr, arc, TArchiverOptions(), outDir, out), 0);
    EXPECT_EQ(ReadAll(outDir + "/a.EXE"), "STUB:TGZ");
    EXPECT_EQ(tgz.CommandLine, "before");
    EXPECT_TRUE(fakes.Calls("tar32.dll").empty());
}

TEST_F(TarDriver, Bz2SfxIsRefusedBeforeAnyLookup) {
    Install();
    // No stub anywhere: the refusal must come first, not the stub message.
    TBZ232 bz2;
    EXPECT_EQ(MessageOf([&] { bz2.MakeSfx(nullptr, "a.bz2", TArchiverOptions(), "", out); }),
              "BZ2 形式書庫は自己解凍形式にできません。");
    TTar32 tar;
    EXPECT_EQ(MessageOf([&] {
                  tar.RemoveItem(nullptr, "a.tar", TArchiverOptions(), "", {}, false, out);
              }),
              "この形式の書庫ではファイルの削除をサポートしておりません。");
}

TEST_F(TarDriver, UnpackToMemoryAndCheckArchive) {
    Install();
    TTar32 tar;
    char buffer[4];
    DWORD written = 0;
    tar.UnpackToMemory(nullptr, "a.tar", TArchiverOptions(), "x.txt", buffer, 4, written);
    EXPECT_EQ(LastLine("tar32.dll", "TarExtractMem"), "  -f \"a.tar\" \"x.txt\" ");
    tar.CheckArchive("a.tar", 1, 64);
    EXPECT_EQ(fakes.CallsOf("tar32.dll", "TarCheckArchive").at(0).arg(1), "65");
}

}  // namespace
}  // namespace kt
