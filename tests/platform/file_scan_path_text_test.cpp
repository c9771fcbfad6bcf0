#include "platform/file_scan.h"
#include "platform/path_text.h"
#include "platform/temp_name.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

class TempDir : public kt::test::TempFolder {
public:
    const std::string& path() const { return Path(); }
    void File(const std::string& rel, const std::string& body = "x") { Write(rel, body); }
};

std::vector<std::string> Scan(const std::string& folder) {
    std::vector<std::string> out;
    kt::ScanFolder(folder, [&](const std::string& p, std::uint64_t) {
        out.push_back(p.substr(folder.size() + 1));
        return true;
    });
    std::sort(out.begin(), out.end());
    return out;
}

TEST(FileScan, TakesHiddenAndNestedFilesButNoFifosAndNoLinkedFolders) {
    TempDir t;
    t.File("a.txt");
    t.File(".hidden");
    t.File("sub/deeper/b.bin");
    fs::create_directories(t.path() + "/empty");
    ASSERT_EQ(0, mkfifo((t.path() + "/pipe").c_str(), 0600));
    fs::create_directory_symlink(t.path() + "/sub", t.path() + "/loop");
    fs::create_symlink(t.path() + "/a.txt", t.path() + "/link.txt");
    EXPECT_EQ((std::vector<std::string>{".hidden", "a.txt", "link.txt", "sub/deeper/b.bin"}),
              Scan(t.path()));
    EXPECT_EQ(4u, kt::CountFolderFiles(t.path()));
    EXPECT_EQ(kt::PathType::Other, kt::TypeOfPath(t.path() + "/pipe"));
    EXPECT_EQ(kt::PathType::Folder, kt::TypeOfPath(t.path() + "/loop"));
    EXPECT_EQ(kt::PathType::File, kt::TypeOfPath(t.path() + "/link.txt"));
    EXPECT_EQ(kt::PathType::Missing, kt::TypeOfPath(t.path() + "/nope"));
    EXPECT_EQ(0u, kt::CountFolderFiles(t.path() + "/nope"));
}

// A pack walking a folder while another run writes there must not take that
// run's temporary file as a source; one a killed writer left is a file.
TEST(FileScan, AnotherRunsTemporaryFileIsNoSource) {
    TempDir t;
    t.File("a.txt");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) _exit(0);
    ASSERT_EQ(child, waitpid(child, nullptr, 0));
    const std::string running = kt::TempNameBeside("out.zip", "ab12");
    const std::string left = ".out.zip.kt" + std::to_string(child) + "-ab12.tmp";
    t.File(running);
    t.File(left);
    EXPECT_EQ((std::vector<std::string>{left, "a.txt"}), Scan(t.path()));
}

TEST(FileScan, StopsWhenTheCallbackSaysSo) {
    TempDir t;
    for (int i = 0; i < 5; ++i) t.File("f" + std::to_string(i));
    int seen = 0;
    EXPECT_FALSE(
        kt::ScanFolder(t.path(), [&](const std::string&, std::uint64_t) { return ++seen < 2; }));
    EXPECT_EQ(2, seen);
}

TEST(PathText, ExtensionReplacementKeepsLeadingDotNames) {
    EXPECT_EQ("a.lzh", kt::ReplaceExtension("a.txt", ".lzh"));
    EXPECT_EQ("archive.tar.zip", kt::ReplaceExtension("archive.tar.gz", ".zip"));
    EXPECT_EQ("README.zip", kt::ReplaceExtension("README", ".zip"));
    EXPECT_EQ(".bashrc.zip", kt::ReplaceExtension(".bashrc", ".zip"));
    EXPECT_EQ("name..lzh", kt::ReplaceExtension("name..", ".lzh"));
}

TEST(PathText, FolderAndNameOfRootAndDeeperPaths) {
    EXPECT_EQ("/", kt::FolderOf("/a.txt"));
    EXPECT_EQ("/home/u", kt::FolderOf("/home/u/a.txt"));
    EXPECT_EQ("a.txt", kt::NameOf("/home/u/a.txt"));
    EXPECT_EQ("", kt::FolderOf("a.txt"));
    EXPECT_EQ("/a.zip", kt::JoinFolder("/", "a.zip"));
    EXPECT_EQ("/x/a.zip", kt::JoinFolder("/x", "a.zip"));
}

}  // namespace
