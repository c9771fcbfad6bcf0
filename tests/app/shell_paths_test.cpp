// Shell and path helpers: counting files the way the list adds them, path
// kinds, absolute paths, whole environment values, desktop entries.
#include "app/shell_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/infile_entry.h"
#include "platform/ascii_case.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace kt {
namespace {

namespace fs = std::filesystem;

void Touch(const std::string& path) { std::ofstream(path) << "x"; }

using test::ReadAll;

// Runs the test body in another current folder and goes back afterwards.
class TCurrentFolder {
public:
    explicit TCurrentFolder(const std::string& dir) : FOld(fs::current_path()) {
        fs::current_path(dir);
    }
    ~TCurrentFolder() { fs::current_path(FOld); }

private:
    fs::path FOld;
};

TEST(CountFilesTest, CountsRegularFilesAtAnyDepth) {
    test::TempFolder t;
    fs::create_directories(t / "a/b/c");
    Touch(t / "top.txt");
    Touch(t / "a/b/mid.txt");
    Touch(t / "a/b/c/.hidden");
    fs::create_directories(t / "empty");
    EXPECT_EQ(CountFiles(t.Path()), 3);
    EXPECT_EQ(CountFiles(t / "top.txt"), 1);
    EXPECT_EQ(CountFiles(t / "missing"), 0);
    EXPECT_EQ(CountListFiles({t / "a", t / "top.txt", t / "missing"}), 3);
}

TEST(CountFilesTest, PassesOverFifosAndLinkedFoldersButFollowsLinkedFiles) {
    test::TempFolder t;
    fs::create_directories(t / "d");
    Touch(t / "d/real.txt");
    ASSERT_EQ(::mkfifo((t / "d/pipe").c_str(), 0600), 0);
    fs::create_symlink(t / "d/real.txt", t / "d/link-to-file");
    fs::create_directory_symlink(t.Path(), t / "d/loop");  // would cycle if followed
    EXPECT_EQ(CountFiles(t / "d"), 2);
    EXPECT_EQ(CountFiles(t / "d/pipe"), 0);
}

TEST(PathKindTest, MissingFolderFile) {
    test::TempFolder t;
    Touch(t / "f");
    EXPECT_EQ(PathKind(t / "missing"), 1);
    EXPECT_EQ(PathKind(t.Path()), 0);
    EXPECT_EQ(PathKind(t / "f"), 2);
}

TEST(ToLongPathTest, RelativePathsBecomeAbsoluteAndTidy) {
    test::TempFolder t;
    fs::create_directories(t / "sub");
    const std::string here = fs::canonical(t.Path()).string();
    TCurrentFolder cd(here);
    EXPECT_EQ(ToLongPath("sub/file.txt"), here + "/sub/file.txt");
    EXPECT_EQ(ToLongPath("./sub//./file.txt"), here + "/sub/file.txt");
    EXPECT_EQ(ToLongPath("sub/"), here + "/sub");
    EXPECT_EQ(ToLongPath("../x"), here + "/../x");  // ".." is kept as it is
    EXPECT_EQ(ToLongPath("/"), "/");
    EXPECT_EQ(ToLongPath("//usr///lib/"), "/usr/lib");
    EXPECT_EQ(ToLongPath(""), "");
}

TEST(GetEnvStringTest, GivesTheWholeValue) {
    const std::string value(5000, 'p');
    ::setenv("KT_TEST_LONG_VALUE", value.c_str(), 1);
    EXPECT_EQ(GetEnvString("KT_TEST_LONG_VALUE"), value);
    ::unsetenv("KT_TEST_LONG_VALUE");
    EXPECT_EQ(GetEnvString("KT_TEST_LONG_VALUE"), "");
}

TEST(GetAppDirTest, IsTheFolderOfTheRunningProgram) {
    EXPECT_EQ(fs::canonical(GetAppDir()), fs::canonical(KT_BIN_DIR));
    EXPECT_EQ(GetAppDir().back() == '/', false);
}

TEST(CreateShortcutTest, WritesADesktopEntryInPlaceOfAnOldOne) {
    test::TempFolder t;
    const std::string link = t / "KalvoraTrindle.desktop";
    std::ofstream(link) << "old";
    ASSERT_TRUE(CreateShortcut(link, "/opt/k t/KalvoraTrindle", "%F", "", "KalvoraTrindle"));
    const std::string text = ReadAll(link);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);
    EXPECT_NE(text.find("\nName=KalvoraTrindle\n"), std::string::npos);
    EXPECT_NE(text.find("\nComment=KalvoraTrindle\n"), std::string::npos);
    EXPECT_NE(text.find("\nExec=\"/opt/k t/KalvoraTrindle\" %F\n"), std::string::npos);
    // No working folder given: the target's folder.
    EXPECT_NE(text.find("\nPath=/opt/k t\n"), std::string::npos);
    // Nothing but the entry is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(t.Path()), fs::directory_iterator()), 1);
}

TEST(CreateShortcutTest, FailsWithoutTouchingAnythingWhenTheFolderIsMissing) {
    test::TempFolder t;
    EXPECT_FALSE(CreateShortcut(t / "no/such/x.desktop", "/bin/true", "", "", "d"));
    EXPECT_FALSE(fs::exists(t / "no"));
}

TEST(InfileEntryTest, DirectoryTextIsTheFolderAndSlashForTheRoot) {
    EXPECT_EQ(TInfileEntry("/a.txt").Dir(), "/");
    EXPECT_EQ(TInfileEntry("/a.txt").Name(), "a.txt");
    const TInfileEntry deep("/home/user/Data/b.tar.gz");
    EXPECT_EQ(deep.Dir(), "/home/user/Data");
    EXPECT_EQ(deep.Name(), "b.tar.gz");
    EXPECT_EQ(deep.Text(icDirectory).toStdString(), "/home/user/Data");
    EXPECT_EQ(deep.Text(icName).toStdString(), "b.tar.gz");
    EXPECT_EQ(deep.Text(icState).toStdString(), "未処理");
    test::TempFolder t;
    std::string bareFolder;
    {
        TCurrentFolder cd(t.Path());
        bareFolder = fs::current_path().string();
        const TInfileEntry bare("bare.txt");
        EXPECT_EQ(bare.Dir(), bareFolder);
        EXPECT_EQ(bare.Name(), "bare.txt");
        EXPECT_EQ(bare.Path(), "bare.txt");
    }
    // The row keeps the folder it was added in.
    TCurrentFolder cd(t.Path());
    const TInfileEntry later("later.txt");
    fs::create_directory(t / "elsewhere");
    TCurrentFolder away(t / "elsewhere");
    EXPECT_EQ(later.Dir(), bareFolder);
}

TEST(SortKeysTest, OnlyAsciiLettersFoldAndBytesCompareUnsigned) {
    EXPECT_EQ(CompareKeys("c:/data/ÄbÇ", "C:/DATA/ÄBÇ"), 0);
    EXPECT_EQ(CompareKeys("abc", "ABD"), -1);
    EXPECT_EQ(CompareKeys("[", "a"), 1);  // a folds to A (0x41), which sorts before [ (0x5B)
    // UTF-8 bytes are not folded: Ä (C3 84) and ä (C3 A4) differ.
    EXPECT_NE(CompareKeys("\xC3\x84", "\xC3\xA4"), 0);
    EXPECT_EQ(CompareKeys("ABC", "ABC"), 0);
    EXPECT_EQ(CompareKeys("AB", "ABC"), -1);
    EXPECT_EQ(CompareKeys("ABD", "ABC"), 1);
    // A byte above 0x7F sorts after ASCII (no signed-char surprise).
    EXPECT_EQ(CompareKeys("\xE3\x81\x82", "Z"), 1);
    // Past equal 8-byte words: the first differing byte decides wherever it
    // falls in its word, case still folds there, and a longer key that
    // shares the whole shorter one sorts after it.
    const std::string base = "/home/user/projects/";
    for (std::size_t at = 0; at < base.size(); ++at) {
        std::string later = base;
        later[at] = static_cast<char>(later[at] + 1);
        EXPECT_EQ(CompareKeys(base, later), -1) << at;
        EXPECT_EQ(CompareKeys(later, base), 1) << at;
        std::string upper = base;
        upper[at] = static_cast<char>(UpperAscii(upper[at]));
        EXPECT_EQ(CompareKeys(base, upper), 0) << at;
        EXPECT_EQ(CompareKeys(base.substr(0, at), base), -1) << at;
    }
}

}  // namespace
}  // namespace kt
