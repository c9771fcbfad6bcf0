// Paths to sources: the one set of rules both front ends list by, the one
// option on which they differ (a missing path), and the order of a folder's
// files.
#include "archive/source_paths.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include "platform/ascii_case.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace kt {
namespace {

std::vector<std::string> PathsOf(const TSources& s) {
    std::vector<std::string> out;
    for (const TSourceFile& f : s.Files) out.push_back(f.Path);
    return out;
}

const TSourceRules kListing{TMissingPaths::PassOver, false, false};
const TSourceRules kNaming{TMissingPaths::Refuse, true, true};

// Files created in a shuffled order come in the order a list sorted by
// folder shows them: each folder's files by name, as the sort keys compare
// (ASCII letters without case), whatever order the folder keeps them in.
TEST(SourcePaths, AFoldersFilesComeInNameOrderWhateverOrderTheyWereMadeIn) {
    test::TempFolder dir;
    std::vector<std::string> names = {"b.txt", "A.txt", "a2.txt", "_x", "Zeta",
                                      "c.txt", "a.TXT", "10",     "9",  "\xe6\x97\xa5.txt",
                                      "B1",    "a",     "aa",     "ab", ".hidden",
                                      "[z]",   "m.doc"};
    std::vector<std::string> shuffled = names;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(29));
    for (const std::string& n : shuffled) dir.Write("d/" + n, n);
    dir.Write("d/sub/z", "z");
    dir.Write("d/sub/y", "y");
    dir.Write("d/a b/k", "k");

    std::vector<std::string> expected;
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        const int c = CompareKeys(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    for (const std::string& n : names) expected.push_back(dir / "d/" + n);
    // Then the folders by their keys: "d/a b" before "d/sub".
    for (const char* n : {"d/a b/k", "d/sub/y", "d/sub/z"}) expected.push_back(dir / n);

    for (const TSourceRules& rules : {kListing, kNaming})
        EXPECT_EQ(PathsOf(CollectSources({dir / "d"}, rules)), expected);
}

TEST(SourcePaths, BothFrontEndsListFilesLinksAndHiddenFilesAlike) {
    test::TempFolder dir;
    const std::string file = dir.Write("f/plain.txt", "12345");
    dir.Write("f/.hidden", "abc");
    dir.Write("elsewhere/inside.txt", "no");
    fs::create_symlink(file, dir / "f/to-file");
    fs::create_directory_symlink(dir / "elsewhere", dir / "f/to-folder");
    fs::create_directory_symlink(dir / "elsewhere", dir / "given-link");
    ASSERT_EQ(0, mkfifo((dir / "f/fifo").c_str(), 0600));
    ASSERT_EQ(0, mkfifo((dir / "fifo-given").c_str(), 0600));

    for (const TSourceRules& rules : {kListing, kNaming}) {
        TSources s =
            CollectSources({dir / "f", file, dir / "given-link", dir / "fifo-given"}, rules);
        // A link to a file is that file; a linked folder inside a folder is
        // not entered, one given directly is; a FIFO is never a source.
        EXPECT_EQ(PathsOf(s), (std::vector<std::string>{dir / "f/.hidden", dir / "f/plain.txt",
                                                        dir / "f/to-file", file,
                                                        dir / "given-link/inside.txt"}));
        EXPECT_EQ(s.Refused, std::vector<std::string>{dir / "fifo-given"});
        if (rules.WithSizes) {
            EXPECT_EQ(s.Files[1].Size, 5u);
            EXPECT_EQ(s.TotalBytes, 3u + 5u + 5u + 5u + 2u);
        }
    }
}

// The one difference: the window passes over a path that is gone without a
// word, kaltri names it.
TEST(SourcePaths, AMissingPathIsPassedOverOrRefusedByTheOneOption) {
    test::TempFolder dir;
    const std::string file = dir.Write("a.txt");
    const std::string gone = dir / "gone.txt";
    TSources listed = CollectSources({gone, file}, kListing);
    EXPECT_EQ(PathsOf(listed), std::vector<std::string>{file});
    EXPECT_TRUE(listed.Refused.empty());
    TSources named = CollectSources({gone, file}, kNaming);
    EXPECT_EQ(PathsOf(named), std::vector<std::string>{file});
    EXPECT_EQ(named.Refused, std::vector<std::string>{gone});
}

// Root reads every folder, so the collection runs in a child process under
// an unprivileged user id when the test runs as root.
TEST(SourcePaths, AnUnreadableFolderIsRefusedByBothFrontEnds) {
    test::TempFolder dir;
    ASSERT_EQ(0, chmod(dir.Path().c_str(), 0777));
    dir.Write("ok/a.txt");
    dir.Write("locked/b.txt");
    ASSERT_EQ(0, chmod((dir / "ok").c_str(), 0777));
    ASSERT_EQ(0, chmod((dir / "locked").c_str(), 0));
    for (const TSourceRules& rules : {kListing, kNaming}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(10);
            TSources s = CollectSources({dir / "locked", dir / "ok"}, rules);
            const bool right = PathsOf(s) == std::vector<std::string>{dir / "ok/a.txt"} &&
                               s.Refused == std::vector<std::string>{dir / "locked"};
            _exit(right ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(child, waitpid(child, &status, 0));
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(0, WEXITSTATUS(status)) << "1: listed or not refused; 10: could not drop root";
    }
    chmod((dir / "locked").c_str(), 0755);
}

// kaltri pack --per-item: a folder is one source of its own, weighed by
// its files together, under the path its archive is named after; files stay
// files, and the root, which has no name for an archive, is refused.
TEST(SourcePaths, WholeFoldersAreOneSourceEachWeighedByTheirFiles) {
    test::TempFolder dir;
    dir.Write("photos/a.jpg", "12345");
    dir.Write("photos/sub/.b", "123");
    dir.Write("note.txt", "12");
    TSourceRules rules = kNaming;
    rules.WholeFolders = true;
    const std::string current = fs::current_path();
    fs::current_path(dir / "photos/sub");
    TSources s = CollectSources({dir / "photos/", dir / "note.txt", "..", "/"}, rules);
    fs::current_path(current);
    ASSERT_EQ(3u, s.Files.size());
    struct Row {
        std::string path;
        std::uint64_t size;
        bool folder;
    };
    const Row rows[] = {{dir / "photos", 8, true},
                        {dir / "note.txt", 2, false},
                        {fs::canonical(dir / "photos").string(), 8, true}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].path, s.Files[i].Path) << i;
        EXPECT_EQ(rows[i].size, s.Files[i].Size) << i;
        EXPECT_EQ(rows[i].folder, s.Files[i].Folder) << i;
    }
    EXPECT_EQ(18u, s.TotalBytes);
    EXPECT_EQ(std::vector<std::string>{"/"}, s.Refused);
}

}  // namespace
}  // namespace kt
