// The archive component over the real drivers and the recording fakes:
// which driver a type gets, detection by content in its fixed priority,
// and the batch run's Pack.
#include <gtest/gtest.h>

#include "archive/archive_file.h"
#include "archive/archiver_factory.h"
#include "archive/lha_driver.h"
#include "fake_library.h"

namespace kt {
namespace {

struct Lib {
    const char* name;
    const char* variant;
};
const Lib kLibs[] = {{"UNLHA32.DLL", "Unlha"},  {"UNZIP32.DLL", "UnZip"}, {"CAB32.DLL", "Cab"},
                     {"UNARJ32J.DLL", "Unarj"}, {"tar32.dll", "Tar"},     {"UNRAR32.DLL", "Unrar"},
                     {"BGA32.DLL", "Bga"}};

class ComponentOverDrivers : public ::testing::Test {
protected:
    test::FakeProgramFolder fakes;
    void FreeAll() {
        for (const TArchiverClass* c : ArchiverClasses()) c->FreeDLL();
    }
    void SetUp() override {
        FreeAll();
        for (const Lib& l : kLibs) fakes.Install(l.name, l.variant);
    }
    void TearDown() override { FreeAll(); }
};

TEST_F(ComponentOverDrivers, EveryFormatTypeGetsItsDriverClass) {
    fakes.Install("ZIP32J.DLL", "Zip");
    const TArchiverType types[] = {atLha, atZip, atCab, atArj, atTar, atTgz, atBZ2, atRar, atBga};
    const char* names[] = {"TLha32", "TZip32", "TCab32", "TArj32", "TTar32",
                           "TTgz32", "TBZ232", "TRar32", "TBGA32"};
    std::vector<const TArchiverClass*> classes = ArchiverClasses();
    ASSERT_GE(classes.size(), 9u);  // the designed nine first; the table may hold more
    for (std::size_t i = 0; i < 9; ++i) {
        EXPECT_STREQ(classes[i]->ClassName, names[i]);
        auto driver = CreateArchiver(types[i]);
        ASSERT_NE(driver, nullptr) << i;
        EXPECT_EQ(&driver->Class(), classes[i]) << classes[i]->ClassName;
    }
    EXPECT_EQ(CreateArchiver(atYz1), nullptr);
    EXPECT_EQ(CreateArchiver(atNone), nullptr);
    EXPECT_EQ(CreateArchiver(atAutoDetect), nullptr);
}

TEST_F(ComponentOverDrivers, ContentPriorityLhaCabBgaZipArjRarThenTar) {
    std::string file = fakes.Folder().Write("probe.bin");
    fakes.Configure("tar32.dll", "archivetype", "4");
    const std::pair<const char*, TArchiverType> order[] = {
        {"UNLHA32.DLL", atLha}, {"CAB32.DLL", atCab},    {"BGA32.DLL", atBga},
        {"UNZIP32.DLL", atZip}, {"UNARJ32J.DLL", atArj}, {"UNRAR32.DLL", atRar}};
    for (const auto& [lib, type] : order) {
        for (const Lib& l : kLibs) fakes.ClearLog(l.name);
        EXPECT_EQ(DetectArchiverType(file, false), type) << lib;
        // Every probe was asked, also after a yes.
        for (const Lib& l : kLibs) EXPECT_FALSE(fakes.Calls(l.name).empty()) << l.name;
        fakes.Configure(lib, "open", "0");  // this one says no from now on
    }
    EXPECT_EQ(DetectArchiverType(file, false), atTgz);
    fakes.Configure("tar32.dll", "archivetype", "1");
    EXPECT_EQ(DetectArchiverType(file, false), atTar);
    fakes.Configure("tar32.dll", "archivetype", "7");
    EXPECT_EQ(DetectArchiverType(file, false), atBZ2);
    fakes.Configure("tar32.dll", "archivetype", "9");
    EXPECT_EQ(DetectArchiverType(file, false), atNone);
}

TEST_F(ComponentOverDrivers, MissingLibrariesAnswerNo) {
    std::string file = fakes.Folder().Write("probe.exe");
    for (const Lib& l : kLibs)
        if (std::string(l.name) != "CAB32.DLL") std::filesystem::remove(fakes.Folder() / l.name);
    EXPECT_EQ(DetectArchiverType(file, true), atCab);  // ".exe" asks the libraries
    fakes.Configure("CAB32.DLL", "open", "0");
    EXPECT_EQ(DetectArchiverType(file, true), atNone);
}

TEST_F(ComponentOverDrivers, BatchRunPackGivesTheLhaLine) {
    std::string src = fakes.Folder().Write("in/a.txt");
    std::string arc = fakes.Folder() / "out/a.lzh";
    TArchiveFile f;
    f.SetOutputSize(8192);
    f.Options().n = 1;
    f.Options().x = 0;
    f.Options().jyc = -1;
    f.SetFileName(arc);
    ASSERT_EQ(f.ArchiverType(), atLha);
    ASSERT_EQ(&f.Archiver()->Class(), &TLha32::ClassInfo);
    EXPECT_EQ(f.Pack(nullptr, nullptr, "", {TStringList{src}}), 0);
    std::string expected = "u -+ -n1 -p1 -x0  \"" + arc + "\" \"" + src + "\" ";
    EXPECT_EQ(f.CommandLine(), expected);
    auto calls = fakes.CallsOf("UNLHA32.DLL", "Unlha");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arg(0), expected);
    EXPECT_EQ(calls[0].arg(1), "8192");
}

TEST_F(ComponentOverDrivers, MissingLibraryMakesSetFileNameRaiseTheDriversMessage) {
    std::filesystem::remove(fakes.Folder() / "UNLHA32.DLL");
    TArchiveFile f;
    try {
        f.SetFileName("/x/a.lzh");
        ADD_FAILURE() << "nothing raised";
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。");
    }
    EXPECT_TRUE(IsUnset(f.FileName()));
    EXPECT_EQ(f.Archiver(), nullptr);
}

TEST_F(ComponentOverDrivers, RarCannotPack) {
    TArchiveFile f;
    f.SetFileName(fakes.Folder() / "a.rar");
    try {
        f.Pack(nullptr, nullptr, "", {fakes.Folder().Write("a")});
        ADD_FAILURE() << "nothing raised";
    } catch (const EArchiver& e) {
        EXPECT_STREQ(e.what(), "この形式では書庫ファイルの作成をサポートしておりません。");
    }
    EXPECT_TRUE(fakes.CallsOf("UNRAR32.DLL", "Unrar").empty());
    EXPECT_EQ(f.CommandLine(), "");
}

}  // namespace
}  // namespace kt
