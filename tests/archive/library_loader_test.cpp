// Finding and loading libraries by exact file name: the program folder
// first, then PATH in order; SearchPath also looks in the current folder.
#include "platform/library_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "fake_library.h"

namespace kt {
namespace {

class LibraryLoader : public ::testing::Test {
protected:
    test::FakeProgramFolder fakes;
    std::vector<HMODULE> opened;
    void TearDown() override {
        for (HMODULE m : opened) FreeLibrary(m);
    }
    HMODULE Load(const std::string& name) {
        HMODULE m = LoadLibrary(name);
        if (m) opened.push_back(m);
        return m;
    }
    void SetPath(const std::string& path) { setenv("PATH", path.c_str(), 1); }
    std::string CopyInto(const std::string& folder, const std::string& name) {
        std::string target = fakes.Folder().MakeFolder(folder) + "/" + name;
        std::filesystem::copy_file(std::string(KT_BIN_DIR) + "/ktfake_Cab.so", target);
        return target;
    }
};

TEST_F(LibraryLoader, ProgramFolderComesBeforePath) {
    std::string own = fakes.Install("CAB32.DLL", "Cab");
    std::string inPath = CopyInto("p1", "CAB32.DLL");
    SetPath(fakes.Folder() / "p1");
    HMODULE m = Load("CAB32.DLL");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetModuleFileName(m), own);
    EXPECT_EQ(FindLibraryFile("CAB32.DLL"), own);
}

TEST_F(LibraryLoader, PathFoldersInOrderEmptyEntriesPassedOver) {
    CopyInto("p2", "CAB32.DLL");
    std::string second = CopyInto("p3", "CAB32.DLL");
    SetPath("::" + (fakes.Folder() / "p1") + "::" + second.substr(0, second.rfind('/')) + ":" +
            (fakes.Folder() / "p2"));
    HMODULE m = Load("CAB32.DLL");
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(GetModuleFileName(m), second);
}

TEST_F(LibraryLoader, NameMustMatchExactly) {
    fakes.Install("CAB32.DLL", "Cab");
    EXPECT_EQ(Load("cab32.dll"), nullptr);
    EXPECT_EQ(Load("CAB32"), nullptr);
    EXPECT_EQ(Load(""), nullptr);
    EXPECT_NE(Load("CAB32.DLL"), nullptr);
}

TEST_F(LibraryLoader, ANotLoadableFileGivesNull) {
    fakes.Folder().Write("BROKEN.DLL", "not an ELF file");
    EXPECT_EQ(Load("BROKEN.DLL"), nullptr);
}

TEST_F(LibraryLoader, EntriesByExportedName) {
    fakes.Install("CAB32.DLL", "Cab");
    HMODULE m = Load("CAB32.DLL");
    ASSERT_NE(m, nullptr);
    EXPECT_NE(GetProcAddress(m, "Cab"), nullptr);
    EXPECT_NE(GetProcAddress(m, "CabOpenArchive"), nullptr);
    EXPECT_EQ(GetProcAddress(m, "Unlha"), nullptr);
    // A null handle never searches the process: "Cab" is not found there.
    EXPECT_EQ(GetProcAddress(nullptr, "Cab"), nullptr);
    EXPECT_EQ(GetProcAddress(nullptr, "malloc"), nullptr);
    EXPECT_FALSE(GetModuleFileName(nullptr).empty());
}

TEST_F(LibraryLoader, SearchPathOrderProgramCurrentThenPath) {
    std::string cwd = std::filesystem::current_path().string();
    std::string here = fakes.Folder().MakeFolder("here");
    std::filesystem::current_path(here);
    fakes.Folder().Write("here/stub.dat");
    fakes.Folder().Write("p1/stub.dat");
    fakes.Folder().Write("p1/other.dat");
    SetPath(fakes.Folder() / "p1");
    EXPECT_EQ(SearchPath("stub.dat"), here + "/stub.dat");
    EXPECT_EQ(SearchPath("other.dat"), (fakes.Folder() / "p1") + "/other.dat");
    std::string own = fakes.Folder().Write("stub.dat");
    EXPECT_EQ(SearchPath("stub.dat"), own);
    EXPECT_EQ(SearchPath("missing.dat"), "");
    fakes.Folder().MakeFolder("here/adir");
    EXPECT_EQ(SearchPath("adir"), "");  // folders are not files
    std::filesystem::current_path(cwd);
}

}  // namespace
}  // namespace kt
