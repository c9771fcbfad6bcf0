// File collection: sorting and duplicates, wildcard and subfolder rules,
// hidden files, time range, exclusion, base folder, cancellation, and the
// date switches.
#include "archive/filters.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "archive/earchiver.h"
#include "test_folder.h"

namespace kt {
namespace {

std::time_t Local(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = mo - 1;
    tm.tm_mday = d;
    tm.tm_hour = h;
    tm.tm_min = mi;
    tm.tm_sec = s;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

void SetMTime(const std::string& path, std::time_t t) {
    timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

class Collect : public ::testing::Test {
protected:
    test::TempFolder dir;
    TArchiverOptions options;
    bool aborted = false;
    std::vector<std::string> progressNames;
    std::string cwd = std::filesystem::current_path().string();

    void TearDown() override { std::filesystem::current_path(cwd); }

    TFileProgress Recorder() {
        return [this](int state, EXTRACTINGINFOEX* eis, bool& abort) {
            EXPECT_EQ(state, StateFileCollected);
            EXPECT_FALSE(abort);
            progressNames.push_back(eis->exinfo.szSourceFileName);
        };
    }
    TStringList Run(const TStringList& patterns, const std::string& base = "") {
        return CollectFiles(options, base, {patterns}, aborted, Recorder()).Names();
    }
    std::string P(const std::string& name) { return dir / name; }
};

TEST_F(Collect, SortedOnceEachWithOneProgressCallEach) {
    dir.Write("d/B.TXT");
    dir.Write("d/A.TXT");
    dir.Write("d/a.txt");  // differs only in case: a different file, kept
    TStringList got = Run({P("d/B.TXT"), P("d/A.TXT"), P("d/A.TXT"), P("d/b.txt")});
    EXPECT_EQ(got, (TStringList{P("d/A.TXT"), P("d/B.TXT")}));
    EXPECT_EQ(progressNames, (std::vector<std::string>{P("d/B.TXT"), P("d/A.TXT")}));
    progressNames.clear();
    got = Run({P("d/*.txt"), P("d/*")});
    EXPECT_EQ(got, (TStringList{P("d/A.TXT"), P("d/a.txt"), P("d/B.TXT")}));
    EXPECT_EQ(progressNames.size(), 3u);
}

TEST_F(Collect, WildcardsAndSubfolderRules) {
    dir.Write("d/A.TXT");
    dir.Write("d/x.Txt");
    dir.Write("d/n.doc");
    dir.Write("d/s/A.TXT");
    dir.Write("d/s/t/y.txt");
    EXPECT_EQ(Run({P("d/*.TXT")}), (TStringList{P("d/A.TXT"), P("d/x.Txt")}));
    options.r = 1;
    EXPECT_EQ(Run({P("d/*.txt")}),
              (TStringList{P("d/A.TXT"), P("d/s/A.TXT"), P("d/s/t/y.txt"), P("d/x.Txt")}));
    options.r = 1;
    options.p = -1;  // each run leaves p at 1
    EXPECT_EQ(Run({P("d/A.TXT")}), (TStringList{P("d/A.TXT"), P("d/s/A.TXT")}));
    options.r = 1;
    options.p = 1;
    EXPECT_EQ(Run({P("d/A.TXT")}), (TStringList{P("d/A.TXT")}));
    options.r = 1;
    options.p = 1;
    EXPECT_EQ(Run({P("d/*.doc")}), (TStringList{P("d/n.doc")}));
    EXPECT_EQ(Run({P("d/*.*")}).size(), 3u);  // "*.*" takes names without a dot too
}

TEST_F(Collect, FolderPatternNeedsR2) {
    dir.Write("d/a");
    dir.Write("d/s/b");
    EXPECT_EQ(Run({P("d")}), TStringList{});  // r unset: the folder is no file
    options.r = 2;
    EXPECT_EQ(Run({P("d")}), (TStringList{P("d/a"), P("d/s/b")}));
}

TEST_F(Collect, HiddenFilesOnlyWithAButHiddenFoldersAlwaysSearched) {
    dir.Write("d/.h");
    dir.Write("d/v");
    dir.Write("d/.s/in");
    options.r = 1;
    EXPECT_EQ(Run({P("d/*")}), (TStringList{P("d/.s/in"), P("d/v")}));
    options.r = 1;
    options.a = 1;
    EXPECT_EQ(Run({P("d/*")}), (TStringList{P("d/.h"), P("d/.s/in"), P("d/v")}));
    options.a = -1;
    EXPECT_EQ(Run({P("d/.h")}), TStringList{});  // named exactly, still hidden
}

TEST_F(Collect, OnlyRegularFilesLinksToFoldersNotDescended) {
    dir.Write("d/f");
    dir.Write("other/g");
    ASSERT_EQ(mkfifo(P("d/fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(P("d/f"), P("d/lf"));
    std::filesystem::create_directory_symlink(P("other"), P("d/ld"));
    std::filesystem::create_directory_symlink(P("d"), P("d/loop"));
    options.r = 1;
    EXPECT_EQ(Run({P("d/*")}), (TStringList{P("d/f"), P("d/lf")}));
}

TEST_F(Collect, TimeRangeFromJoAndJob) {
    std::string before = dir.Write("d/before"), start = dir.Write("d/start"),
                noon = dir.Write("d/noon"), after = dir.Write("d/afternoon"),
                last = dir.Write("d/last"), next = dir.Write("d/next");
    SetMTime(before, Local(2001, 3, 31, 23, 59, 59));
    SetMTime(start, Local(2001, 4, 1, 0, 0, 0));
    SetMTime(noon, Local(2001, 4, 1, 12, 0, 0));
    SetMTime(after, Local(2001, 4, 1, 12, 0, 1));
    SetMTime(last, Local(2001, 4, 1, 23, 59, 59));
    SetMTime(next, Local(2001, 4, 2, 0, 0, 0));
    options.jo = "010401";
    EXPECT_EQ(Run({P("d/*")}), (TStringList{after, last, next, noon, start}));
    EXPECT_TRUE(IsUnset(options.jo));
    options.job = "20010401";
    EXPECT_EQ(Run({P("d/*")}), (TStringList{after, before, last, noon, start}));
    options.jo = "010401";
    options.job = "l20010401120000";
    EXPECT_EQ(Run({P("d/*")}), (TStringList{noon, start}));
}

TEST_F(Collect, JxExcludesExactTextsWithoutProgress) {
    dir.Write("d/a.bak");
    dir.Write("d/b.txt");
    options.jx = {P("d/*.bak")};
    EXPECT_EQ(Run({P("d/*")}), (TStringList{P("d/b.txt")}));
    EXPECT_EQ(progressNames, (std::vector<std::string>{P("d/b.txt")}));
    // The same file under a relative name is another text: not excluded.
    options.jx = {P("d/*.bak")};
    EXPECT_EQ(Run({"*.bak"}, P("d")), (TStringList{"a.bak"}));
    EXPECT_EQ(options.jx.size(), 1u);  // jx itself is kept; Pack empties it
}

TEST_F(Collect, EmptyListCollectsTheBaseOrCurrentFolderAndRestoresIt) {
    dir.Write("d/a");
    dir.Write("d/b");
    dir.Write("d/s/c");
    options.r = 3;
    options.p = 0;
    options.jo = "";
    TFileNameList got = CollectFiles(options, P("d"), {}, aborted, Recorder());
    EXPECT_EQ(got.Names(), (TStringList{"a", "b", "s/c"}));
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
    EXPECT_EQ(options.r, -1);
    EXPECT_EQ(options.p, 1);
    EXPECT_TRUE(IsUnset(options.jo));
    EXPECT_TRUE(IsUnset(options.job));
    std::filesystem::current_path(P("d"));
    got = CollectFiles(options, "", {}, aborted, {});
    EXPECT_EQ(got.Names(), (TStringList{"a", "b"}));  // r was reset by the first run
}

TEST_F(Collect, CancelStopsAtOnceAndKeepsWhatWasCollected) {
    dir.Write("d/a");
    dir.Write("d/b");
    dir.Write("e/c");
    int calls = 0;
    TFileList files = {TStringList{P("d/*"), P("e/*")}};
    TFileNameList got =
        CollectFiles(options, "", files, aborted, [&](int, EXTRACTINGINFOEX*, bool& abort) {
            ++calls;
            abort = true;
        });
    EXPECT_TRUE(aborted);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(got.Count(), 1u);
    EXPECT_EQ(options.p, 1);
}

TEST_F(Collect, UnenterableBaseFolderRaisesAndChangesNothing) {
    options.r = 1;
    EXPECT_THROW(CollectFiles(options, P("missing"), {}, aborted, {}), EInOutError);
    EXPECT_EQ(options.r, 1);
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
}

TEST_F(Collect, MalformedDateRaisesBeforeAnySearchAndRestoresTheFolder) {
    dir.Write("d/a");
    options.jo = "01x401";
    EXPECT_THROW(CollectFiles(options, P("d"), {}, aborted, Recorder()), EConvertError);
    EXPECT_TRUE(progressNames.empty());
    EXPECT_EQ(std::filesystem::current_path().string(), cwd);
    EXPECT_EQ(options.jo, "01x401");
}

TEST_F(Collect, ProgressRecordIsZeroedAndTheNameCutTo512Bytes) {
    std::string longName(200, 'n');
    std::string deep = dir.MakeFolder(std::string(200, 'a') + "/" + std::string(200, 'b'));
    std::string file = deep + "/" + longName;
    { std::ofstream(file) << "x"; }
    EXTRACTINGINFOEX copy{};
    std::memset(&copy, 0x55, sizeof copy);
    CollectFiles(options, "", {file}, aborted,
                 [&](int, EXTRACTINGINFOEX* eis, bool&) { copy = *eis; });
    EXPECT_EQ(std::string(copy.exinfo.szSourceFileName), file.substr(0, 512));
    EXPECT_EQ(copy.exinfo.dwFileSize, 0u);
    EXPECT_EQ(copy.dwCRC, 0u);
    EXPECT_EQ(copy.exinfo.szDestFileName[0], '\0');
}

TEST(SwitchDate, FormsAndDefaults) {
    EXPECT_EQ(ParseSwitchDate("010401", "000000", 2026), Local(2001, 4, 1));
    EXPECT_EQ(ParseSwitchDate("010401", "235959", 2026), Local(2001, 4, 1, 23, 59, 59));
    EXPECT_EQ(ParseSwitchDate("010401123456", "000000", 2026), Local(2001, 4, 1, 12, 34, 56));
    EXPECT_EQ(ParseSwitchDate("19990228", "000000", 2026), Local(1999, 2, 28));
    EXPECT_EQ(ParseSwitchDate("l20000229120000", "000000", 2026), Local(2000, 2, 29, 12));
    EXPECT_EQ(ParseSwitchDate("l760101", "000000", 2026), Local(1976, 1, 1));
    for (const std::string& none : {std::string(), UnsetString, std::string("l"),
                                    std::string("0104011"), std::string("2001040")})
        EXPECT_EQ(ParseSwitchDate(none, "000000", 2026), 0) << none;
}

TEST(SwitchDate, BadTextsRaise) {
    for (const char* bad : {"01a401", "010230", "20010431", "19000229", "011301", "010400",
                            "010401246000", "010401005960", "L10401"})
        EXPECT_THROW(ParseSwitchDate(bad, "000000", 2026), EConvertError) << bad;
}

TEST(SwitchDate, TwoDigitYearsIn2026) {
    EXPECT_EQ(ExpandTwoDigitYear(76, 2026), 1976);
    EXPECT_EQ(ExpandTwoDigitYear(99, 2026), 1999);
    EXPECT_EQ(ExpandTwoDigitYear(0, 2026), 2000);
    EXPECT_EQ(ExpandTwoDigitYear(75, 2026), 2075);
    EXPECT_EQ(ExpandTwoDigitYear(26, 2026), 2026);
    EXPECT_EQ(ExpandTwoDigitYear(49, 2099), 2049);
    EXPECT_EQ(ExpandTwoDigitYear(48, 2099), 2148);
}

TEST(PathText, JoinMaskAndFolder) {
    EXPECT_EQ(JoinPath("", "a"), "a");
    EXPECT_EQ(JoinPath("/", "a"), "/a");
    EXPECT_EQ(JoinPath("/d", "a"), "/d/a");
    EXPECT_EQ(JoinPath("/d/", "a"), "/d/a");
    EXPECT_EQ(ExtractMask("/d/*.txt"), "*.txt");
    EXPECT_EQ(ExtractMask("*.txt"), "*.txt");
    EXPECT_EQ(ExtractMask("/d/"), "");
    EXPECT_EQ(ExtractFolder("/A.TXT"), "/");
    EXPECT_EQ(ExtractFolder("/DIR/A.TXT"), "/DIR");
    EXPECT_EQ(ExtractFolder("A.TXT"), "");
    EXPECT_EQ(ExtractFolder("d/s/A"), "d/s");
    EXPECT_EQ(ExtractFolder("//A"), "//");
}

}  // namespace
}  // namespace kt
