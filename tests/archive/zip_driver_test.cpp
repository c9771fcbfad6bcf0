// The ZIP driver through recording fakes installed as ZIP32J.DLL,
// UNZIP32.DLL and LMZIP32.DLL: the three command lines, "[" escaping,
// which library answers which entry (LMZIP32.DLL with the lowered letter),
// the LMZIP32 pack that starts a new archive without losing the old one on
// failure, the self-extractor made by stub copy, and the missing-library
// messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include "archive/zip_driver.h"
#include "driver_fixture.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

using test::MessageOf;
using test::ReadAll;
using test::StoredOptions;

const char* const PackMissing = "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。";

class ZipDriver : public test::DriverTest {
protected:
    ZipDriver() : DriverTest({&TZip32::ClassInfo}) {}
    // ZIP32J.DLL and UNZIP32.DLL, as the program ships them.
    void InstallPair() {
        fakes.Install("ZIP32J.DLL", "Zip");
        fakes.Install("UNZIP32.DLL", "UnZip");
    }
    // LMZIP32.DLL answers "Zip" and the "Unzip" entries.
    void InstallLmzip() { fakes.Install("LMZIP32.DLL", "Zip_Unzip"); }
    std::string Arc() const { return fakes.Path() + "/out/a.zip"; }
    std::string Src() const { return fakes.Path() + "/in/a.txt"; }
};

TEST_F(ZipDriver, PackThroughZip32jGivesTheStoredOptionsLine) {
    InstallPair();
    TZip32 zip;
    TArchiverOptions o = StoredOptions();
    o.p = 1;  // set by file collection; ZIP has no switch for it
    ASSERT_EQ(zip.Pack(nullptr, Arc(), o, "", {Src()}, true, out), 0);
    std::string expected = " -D -q -o -j  \"" + Arc() + "\" \"" + Src() + "\" ";
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), expected);
    EXPECT_EQ(zip.CommandLine, expected);
    EXPECT_TRUE(fakes.Calls("UNZIP32.DLL").empty());

    o.UserOptions = "-P \"pass word\"";
    zip.Pack(nullptr, Arc(), o, "", {Src()}, true, out);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"),
              " -D -q -o -j -P \"pass word\" \"" + Arc() + "\" \"" + Src() + "\" ");
}

TEST_F(ZipDriver, Zip32jSwitchesFollowTheOptionSet) {
    InstallPair();
    TZip32 zip;
    TArchiverOptions o;
    auto line = [&] {
        zip.Pack(nullptr, "a.zip", o, "", {"f"}, false, out);
        return LastLine("ZIP32J.DLL", "Zip");
    };
    EXPECT_EQ(line(), " -D  \"a.zip\" \"f\" ");
    o.a = 1;
    EXPECT_EQ(line(), " -S -D  \"a.zip\" \"f\" ");
    o.a = 2;
    EXPECT_EQ(line(), " -S  \"a.zip\" \"f\" ");
    o.a = -1;
    o.jm = 9;
    EXPECT_EQ(line(), " -D -9  \"a.zip\" \"f\" ");
    o.jm = 0;
    EXPECT_EQ(line(), " -D -0  \"a.zip\" \"f\" ");
    o.jm = -1;
    o.l = 1, o.n = 1, o.r = 1, o.u = 1, o.x = 0, o.jc = 1, o.ji = 1, o.gd = 1;
    EXPECT_EQ(line(), " -D -v -q -r -o -u -j -FF -k -J  \"a.zip\" \"f\" ");
}

TEST_F(ZipDriver, FileNamesEscapeTheOpeningBracketOnly) {
    InstallPair();
    TZip32 zip;
    TArchiverOptions o;
    std::string list = fakes.Path() + "/list.txt";
    zip.Pack(nullptr, "/o[1]/a.zip", o, "/b[2]", {"/x[1]/a.txt", "/y/b].txt"}, false, out);
    // The archive name and the base folder stay as they are.
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"),
              " -D  \"/o[1]/a.zip\" \"/b[2]/\" \"/x[[]1]/a.txt\" \"/y/b].txt\" ");
    o.ResFileName = list;
    zip.Pack(nullptr, "a.zip", o, "", {"/x[1]/a.txt"}, true, out);
    EXPECT_EQ(ReadAll(list), "\"/x[[]1]/a.txt\"\r\n");
    EXPECT_EQ(TZip32::EscapeZipName("a\\[[b"), "a\\[[][[]b");
}

TEST_F(ZipDriver, LmzipPackStartsANewArchiveAndKeepsTheOldOneOnFailure) {
    InstallLmzip();
    std::string arc = fakes.Folder().Write("out/a[1].zip", "old archive");
    TZip32 zip;
    TArchiverOptions o = StoredOptions();

    fakes.Configure("LMZIP32.DLL", "result", std::to_string(ERROR_CANNOT_WRITE));
    EXPECT_EQ(zip.Pack(nullptr, arc, o, "/base", {"/x[1]/a.txt"}, false, out), ERROR_CANNOT_WRITE);
    // No folder, no escaping, the LMZIP32 switches only.
    EXPECT_EQ(LastLine("LMZIP32.DLL", "Zip"), "-ru -j  \"" + arc + "\" \"/x[1]/a.txt\" ");
    EXPECT_EQ(ReadAll(arc), "old archive");

    fakes.Configure("LMZIP32.DLL", "result", "0");
    EXPECT_EQ(zip.Pack(nullptr, arc, o, "", {"/x[1]/a.txt"}, false, out), 0);
    // The fake writes nothing: the old archive is gone, and nothing of it
    // was left beside it.
    EXPECT_FALSE(std::filesystem::exists(arc));
    EXPECT_TRUE(std::filesystem::is_empty(fakes.Path() + "/out"));
}

TEST_F(ZipDriver, Zip32jIsPreferredOverLmzipForPacking) {
    InstallPair();
    InstallLmzip();
    TZip32 zip;
    zip.Pack(nullptr, "a.zip", TArchiverOptions(), "", {"f"}, false, out);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), " -D  \"a.zip\" \"f\" ");
    EXPECT_TRUE(fakes.Calls("LMZIP32.DLL").empty());
}

TEST_F(ZipDriver, UnpackLineAndItsLibrary) {
    InstallPair();
    TZip32 zip;
    TArchiverOptions o;
    zip.Unpack(nullptr, "a.zip", o, "/dest", {"[x].txt"}, false, out);
    EXPECT_EQ(LastLine("UNZIP32.DLL", "UnZip"), "-x  \"a.zip\" \"/dest/\" \"[[]x].txt\" ");
    o.c = 1, o.n = 1, o.x = 0;
    zip.Unpack(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(LastLine("UNZIP32.DLL", "UnZip"), "-x -o --i -j  \"a.zip\" \"a\" ");
    // A registered owner window also asks for --i.
    o.n = -1;
    ASSERT_TRUE(zip.SetOwnerWindow(NumberToHandle(3), nullptr));
    zip.Unpack(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(LastLine("UNZIP32.DLL", "UnZip"), "-x -o --i -j  \"a.zip\" \"a\" ");
    EXPECT_TRUE(fakes.CallsOf("ZIP32J.DLL", "Zip").empty());
}

TEST_F(ZipDriver, RemoveUpdateAndMemoryLines) {
    InstallPair();
    fakes.Configure("UNZIP32.DLL", "output", "data");
    TZip32 zip;
    TArchiverOptions o = StoredOptions();
    zip.RemoveItem(nullptr, "a.zip", o, "/base", {"a"}, false, out);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), "-d -D -q -o -j  \"a.zip\" \"a\" ");
    zip.Update(nullptr, "a.zip", o, "/base", {"a"}, false, out);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), "-f -D -q -o -j  \"a.zip\" \"/base/\" \"a\" ");
    char buffer[8];
    DWORD written = 0;
    EXPECT_EQ(zip.UnpackToMemory(nullptr, "a.zip", o, "d/[a]", buffer, sizeof buffer, written), 0);
    EXPECT_EQ(LastLine("UNZIP32.DLL", "UnZipExtractMem"), " --i -j  \"a.zip\" \"d/[[]a]\" ");
    EXPECT_EQ(std::string(buffer, written), "data");
}

TEST_F(ZipDriver, LmzipAnswersWithTheLoweredLetter) {
    InstallLmzip();
    TZip32 zip;
    TArchiverOptions o;
    zip.Unpack(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(LastLine("LMZIP32.DLL", "Unzip"), "-x  \"a.zip\" \"a\" ");
    zip.CheckArchive("a.zip", 1, 64);
    EXPECT_EQ(fakes.CallsOf("LMZIP32.DLL", "UnzipCheckArchive").at(0).arg(1), "1");
    HARC arc = zip.OpenArchive(nullptr, "/a.zip", 0);
    ASSERT_NE(arc, nullptr);
    zip.FindFirst(arc, nullptr, "*");
    zip.FindNext(arc, nullptr);
    zip.CloseArchive(arc);
    for (const char* entry :
         {"UnzipOpenArchive", "UnzipFindFirst", "UnzipFindNext", "UnzipCloseArchive"})
        EXPECT_EQ(fakes.CallsOf("LMZIP32.DLL", entry).size(), 1u) << entry;
    // "Zip" keeps its spelling.
    zip.Pack(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(fakes.CallsOf("LMZIP32.DLL", "Zip").size(), 1u);
}

TEST_F(ZipDriver, EachEntryComesFromTheFirstLibraryOfItsOrder) {
    // ZIP32J.DLL here also answers the UnZip entries.
    fakes.Install("ZIP32J.DLL", "Zip_UnZip");
    fakes.Install("UNZIP32.DLL", "UnZip");
    InstallLmzip();
    TZip32 zip;
    TArchiverOptions o;
    // Listing: LMZIP32.DLL first.
    zip.CloseArchive(zip.OpenArchive(nullptr, "/a.zip", 0));
    EXPECT_EQ(fakes.CallsOf("LMZIP32.DLL", "UnzipOpenArchive").size(), 1u);
    // Check and extraction: UNZIP32.DLL first.
    zip.CheckArchive("a.zip", 1, 0);
    zip.Unpack(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(fakes.CallsOf("UNZIP32.DLL", "UnZipCheckArchive").size(), 1u);
    EXPECT_EQ(fakes.CallsOf("UNZIP32.DLL", "UnZip").size(), 1u);
    // Creating: ZIP32J.DLL first.
    zip.RemoveItem(nullptr, "a.zip", o, "", {"a"}, false, out);
    EXPECT_EQ(fakes.CallsOf("ZIP32J.DLL", "Zip").size(), 1u);
    EXPECT_TRUE(fakes.CallsOf("LMZIP32.DLL", "Zip").empty());
    EXPECT_TRUE(fakes.CallsOf("LMZIP32.DLL", "Unzip").empty());
}

TEST_F(ZipDriver, OpenArchiveFallsBackThroughTheOrder) {
    fakes.Install("ZIP32J.DLL", "Zip_UnZip");
    fakes.Install("UNZIP32.DLL", "UnZip");
    TZip32 zip;
    zip.CloseArchive(zip.OpenArchive(nullptr, "/a.zip", 0));
    EXPECT_EQ(fakes.CallsOf("ZIP32J.DLL", "UnZipOpenArchive").size(), 1u);
    EXPECT_TRUE(fakes.CallsOf("UNZIP32.DLL", "UnZipOpenArchive").empty());
}

TEST_F(ZipDriver, CheckArchiveDropsTheExtraMode) {
    InstallPair();
    TZip32 zip;
    zip.CheckArchive("rel.zip", 1, 64);
    auto call = fakes.CallsOf("UNZIP32.DLL", "UnZipCheckArchive").at(0);
    EXPECT_EQ(call.arg(0), "rel.zip");
    EXPECT_EQ(call.arg(1), "1");
}

class ZipSfx : public ZipDriver {
protected:
    void SetUp() override {
        InstallPair();
        arc = fakes.Folder().Write("out/a.zip", "ARCHIVE");
        outDir = fakes.Folder().MakeFolder("sfx");
    }
    std::string arc, outDir;
};

TEST_F(ZipSfx, DosStubByDefaultGuiStubWithGw) {
    fakes.Folder().Write("sfx16.dat", "DOS-STUB|");
    fakes.Folder().Write("sfx32gui.dat", "GUI-STUB|");
    TZip32 zip;
    TArchiverOptions o;
    std::string program = outDir + "/a.EXE";
    ASSERT_EQ(zip.MakeSfx(nullptr, arc, o, outDir, out), 0);
    EXPECT_EQ(ReadAll(program), "DOS-STUB|ARCHIVE");
    EXPECT_EQ(zip.CommandLine, "-A " + program);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), "-A " + program);
    o.gw = 0;
    zip.MakeSfx(nullptr, arc, o, outDir, out);
    EXPECT_EQ(ReadAll(program), "DOS-STUB|ARCHIVE");
    o.gw = 1;
    zip.MakeSfx(nullptr, arc, o, outDir, out);
    EXPECT_EQ(ReadAll(program), "GUI-STUB|ARCHIVE");
    // Without an output folder the program lands beside the archive.
    zip.MakeSfx(nullptr, arc, o, "", out);
    EXPECT_EQ(ReadAll(fakes.Path() + "/out/a.EXE"), "GUI-STUB|ARCHIVE");
    // Nothing but the programs is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(outDir),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(ZipSfx, ProgramPathWithABlankIsQuoted) {
    fakes.Folder().Write("sfx16.dat", "S");
    std::string spaced = fakes.Folder().MakeFolder("my sfx");
    TZip32 zip;
    zip.MakeSfx(nullptr, arc, TArchiverOptions(), spaced, out);
    EXPECT_EQ(LastLine("ZIP32J.DLL", "Zip"), "-A \"" + spaced + "/a.EXE\"");
}

TEST_F(ZipSfx, MissingStubsAndLibrary) {
    TZip32 zip;
    TArchiverOptions o;
    EXPECT_EQ(MessageOf([&] { zip.MakeSfx(nullptr, arc, o, outDir, out); }),
              "zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。");
    o.gw = 1;
    EXPECT_EQ(MessageOf([&] { zip.MakeSfx(nullptr, arc, o, outDir, out); }),
              "zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。");
    EXPECT_TRUE(std::filesystem::is_empty(outDir));
    EXPECT_TRUE(fakes.CallsOf("ZIP32J.DLL", "Zip").empty());
}

TEST_F(ZipSfx, FailedCopyLeavesTheOldProgramWhole) {
    fakes.Folder().Write("sfx16.dat", "S");
    std::string program = fakes.Folder().Write("sfx/a.EXE", "previous program");
    TZip32 zip;
    EXPECT_THROW(
        zip.MakeSfx(nullptr, fakes.Path() + "/out/missing.zip", TArchiverOptions(), outDir, out),
        EFOpenError);
    std::filesystem::permissions(
        outDir, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    if (::access(outDir.c_str(), W_OK) != 0) {  // not when running as root
        EXPECT_THROW(zip.MakeSfx(nullptr, arc, TArchiverOptions(), outDir, out), EFCreateError);
    }
    std::filesystem::permissions(outDir, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadAll(program), "previous program");
    EXPECT_TRUE(fakes.CallsOf("ZIP32J.DLL", "Zip").empty());
}

TEST_F(ZipDriver, SfxNeedsZip32j) {
    InstallLmzip();
    fakes.Install("UNZIP32.DLL", "UnZip");
    TZip32 zip;
    EXPECT_EQ(MessageOf([&] { zip.MakeSfx(nullptr, "a.zip", TArchiverOptions(), "", out); }),
              "ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
}

TEST_F(ZipDriver, MissingLibraryMessages) {
    EXPECT_EQ(MessageOf([] { TZip32 zip; }),
              "ZIP 形式書庫を解凍するには UNZIP32.DLL が、作成するには ZIP32J.DLL が必要です。");
    EXPECT_FALSE(TZip32::IsArchive(fakes.Folder().Write("a.zip")));

    fakes.Install("UNZIP32.DLL", "UnZip");
    TZip32 unzipOnly;
    EXPECT_EQ(MessageOf([&] { unzipOnly.CheckPackDLL(); }), PackMissing);
    EXPECT_EQ(MessageOf([&] {
                  unzipOnly.Pack(nullptr, "a.zip", TArchiverOptions(), "", {"a"}, false, out);
              }),
              PackMissing);
    EXPECT_EQ(MessageOf([&] {
                  unzipOnly.RemoveItem(nullptr, "a.zip", TArchiverOptions(), "", {"a"}, false, out);
              }),
              PackMissing);
    TZip32::ClassInfo.FreeDLL();
    std::filesystem::remove(fakes.Path() + "/UNZIP32.DLL");

    fakes.Install("ZIP32J.DLL", "Zip");
    TZip32 zipOnly;
    EXPECT_NO_THROW(zipOnly.CheckPackDLL());
    EXPECT_EQ(MessageOf([&] {
                  zipOnly.Unpack(nullptr, "a.zip", TArchiverOptions(), "", {"a"}, false, out);
              }),
              "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。");
    // The listing entries are in none of the libraries asked.
    EXPECT_EQ(MessageOf([&] { zipOnly.OpenArchive(nullptr, "a.zip", 0); }),
              "UnZipOpenArchive のエントリが見つかりません。");
}

TEST_F(ZipDriver, OwnerWindowOnlyThroughUnzip32) {
    InstallLmzip();
    TZip32 zip;
    // UNZIP32.DLL is not loaded: the lookup fails and nothing is recorded.
    std::string message = MessageOf([&] { zip.SetOwnerWindow(NumberToHandle(5), nullptr); });
    EXPECT_NE(message.find(" に UnZipSetOwnerWindowEx のエントリが見つかりません。"),
              std::string::npos)
        << message;
    EXPECT_EQ(zip.OwnerWindow, nullptr);
    EXPECT_TRUE(fakes.CallsOf("LMZIP32.DLL", "UnzipSetOwnerWindowEx").empty());

    TZip32::ClassInfo.FreeDLL();
    fakes.Install("UNZIP32.DLL", "UnZip");
    TZip32 withUnzip;
    fakes.Configure("UNZIP32.DLL", "owner", "0");
    EXPECT_FALSE(withUnzip.SetOwnerWindow(NumberToHandle(5), nullptr));
    EXPECT_EQ(withUnzip.OwnerWindow, NumberToHandle(5));
    EXPECT_TRUE(withUnzip.KillOwnerWindow(NumberToHandle(5)));
    EXPECT_EQ(withUnzip.OwnerWindow, nullptr);
    EXPECT_EQ(fakes.CallsOf("UNZIP32.DLL", "UnZipKillOwnerWindowEx").size(), 1u);
}

TEST_F(ZipDriver, IsArchiveOpensOnlyAnExistingFile) {
    InstallPair();
    EXPECT_FALSE(TZip32::IsArchive(fakes.Path() + "/missing.zip"));
    EXPECT_TRUE(fakes.Calls("UNZIP32.DLL").empty());
    std::string file = fakes.Folder().Write("a.zip");
    EXPECT_TRUE(TZip32::IsArchive(file));
    auto open = fakes.CallsOf("UNZIP32.DLL", "UnZipOpenArchive");
    ASSERT_EQ(open.size(), 1u);
    EXPECT_EQ(open[0].arg(0), file);
    EXPECT_EQ(open[0].arg(1), std::to_string(0x800002));
    EXPECT_EQ(fakes.CallsOf("UNZIP32.DLL", "UnZipCloseArchive").size(), 1u);
    fakes.Configure("UNZIP32.DLL", "open", "0");
    EXPECT_FALSE(TZip32::IsArchive(file));
    EXPECT_EQ(fakes.CallsOf("UNZIP32.DLL", "UnZipCloseArchive").size(), 1u);
}

}  // namespace
}  // namespace kt
