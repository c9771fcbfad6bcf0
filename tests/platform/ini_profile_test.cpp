#include "platform/ini_profile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/atomic_file.h"
#include "tests/support/temp_folder.h"

namespace {

using kt::test::TempFolder;

std::string Read(const std::string& section, const std::string& key, const char* def,
                 const std::string& file, DWORD size = 2048) {
    std::vector<char> buffer(size + 1, '#');
    DWORD n = GetPrivateProfileString(section.c_str(), key.c_str(), def, buffer.data(), size,
                                      file.c_str());
    EXPECT_EQ('\0', buffer[n]);
    return std::string(buffer.data(), n);
}

std::string Contents(const std::string& file) {
    std::string text;
    kt::ReadWholeFile(file, text);
    return text;
}

void Put(const std::string& file, const std::string& text) {
    ASSERT_TRUE(kt::WriteFileAtomically(file, text, 0644));
}

TEST(IniProfile, MissingFileGivesTheDefaultWithoutTrailingBlanksAndCreatesNothing) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    EXPECT_EQ("0", Read("Bounds", "Left", "0", file));
    EXPECT_EQ(" x", Read("Bounds", "Left", " x  ", file));
    EXPECT_EQ("", Read("Bounds", "Left", nullptr, file));
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(IniProfile, FirstWriteCreatesTheFileWithModeSixHundred) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    ASSERT_TRUE(WritePrivateProfileString("Bounds", "Left", "120", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("App", "TypeLzh", "0", file.c_str()));
    EXPECT_EQ("[Bounds]\nLeft=120\n\n[App]\nTypeLzh=0\n", Contents(file));
    struct stat st;
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 07777);
}

TEST(IniProfile, NamesMatchWithoutCaseAndOtherLinesKeepTheirPlace) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    Put(file,
        "; settings\n[Bounds]\nleft = 5 \n# note\nTop=7\n\n[App]\nZipPass=\n"
        "SelectFolder=/tmp/a b\nstray line\n");
    EXPECT_EQ("5", Read("BOUNDS", "Left", "0", file));
    EXPECT_EQ("", Read("app", "ZIPPASS", "dflt", file));  // present but empty: not the default
    EXPECT_EQ("dflt", Read("App", "stray line", "dflt", file));
    EXPECT_EQ("dflt", Read("App", "# note", "dflt", file));

    ASSERT_TRUE(WritePrivateProfileString("bounds", "LEFT", "120", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("Bounds", "Width", "9", file.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("App", "LogoMove", "1", file.c_str()));
    EXPECT_EQ(
        "; settings\n[Bounds]\nleft=120\n# note\nTop=7\nWidth=9\n\n[App]\nZipPass=\n"
        "SelectFolder=/tmp/a b\nstray line\nLogoMove=1\n",
        Contents(file));
}

TEST(IniProfile, CarriageReturnLineEndsStay) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    Put(file, "[App]\r\nA=1\r\n");
    EXPECT_EQ("1", Read("App", "A", "", file));
    ASSERT_TRUE(WritePrivateProfileString("App", "B", "2", file.c_str()));
    EXPECT_EQ("[App]\r\nA=1\r\nB=2\r\n", Contents(file));
}

TEST(IniProfile, ReadsAreCutAtTheBufferWithoutSplittingACharacter) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    std::string longValue(3000, 'x');
    ASSERT_TRUE(WritePrivateProfileString("S", "K", longValue.c_str(), file.c_str()));
    EXPECT_EQ(std::string(2047, 'x'), Read("S", "K", "", file));

    // 2046 ASCII bytes then a three-byte character: only the ASCII part fits.
    std::string mixed = std::string(2046, 'y') + "\xE3\x81\x82" + "z";
    ASSERT_TRUE(WritePrivateProfileString("S", "K", mixed.c_str(), file.c_str()));
    EXPECT_EQ(std::string(2046, 'y'), Read("S", "K", "", file));
    EXPECT_EQ("yyy", Read("S", "K", "", file, 4));
    EXPECT_EQ("", Read("S", "K", "", file, 1));
}

TEST(IniProfile, ValuesThatTheReaderWouldChangeAreQuotedSoTheyComeBackExactly) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    for (std::string value : {" secret ", "\"quoted\"", "'x'", "\t", "a\"b", "\"", "plain"}) {
        ASSERT_TRUE(WritePrivateProfileString("App", "ZipPass", value.c_str(), file.c_str()));
        EXPECT_EQ(value, Read("App", "ZipPass", "", file)) << value;
    }
    EXPECT_EQ("[App]\nZipPass=plain\n", Contents(file));
    Put(file, "[App]\nA=\"hand written\"\nB='single'\nC=\"mismatched'\n");
    EXPECT_EQ("hand written", Read("App", "A", "", file));
    EXPECT_EQ("single", Read("App", "B", "", file));
    EXPECT_EQ("\"mismatched'", Read("App", "C", "", file));
}

TEST(IniProfile, NullValueRemovesTheKeyAndNullKeyTheSection) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    Put(file, "[A]\nx=1\ny=2\n[B]\nz=3\n");
    ASSERT_TRUE(WritePrivateProfileString("a", "X", nullptr, file.c_str()));
    EXPECT_EQ("[A]\ny=2\n[B]\nz=3\n", Contents(file));
    ASSERT_TRUE(WritePrivateProfileString("A", nullptr, nullptr, file.c_str()));
    EXPECT_EQ("[B]\nz=3\n", Contents(file));
    ASSERT_TRUE(WritePrivateProfileString("Missing", nullptr, nullptr, file.c_str()));
    EXPECT_EQ("[B]\nz=3\n", Contents(file));
}

TEST(IniProfile, NullSectionOrKeyListsTheNames) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    Put(file, "[One]\na=1\nb=2\n[Two]\n");
    char buffer[32];
    DWORD n = GetPrivateProfileString(nullptr, nullptr, "", buffer, sizeof buffer, file.c_str());
    EXPECT_EQ(std::string("One\0Two\0", 8), std::string(buffer, n));
    EXPECT_EQ('\0', buffer[n]);
    n = GetPrivateProfileString("one", nullptr, "", buffer, sizeof buffer, file.c_str());
    EXPECT_EQ(std::string("a\0b\0", 4), std::string(buffer, n));
    // Too small: cut, double-terminated, size - 2 returned.
    n = GetPrivateProfileString(nullptr, nullptr, "", buffer, 7, file.c_str());
    EXPECT_EQ(5u, n);
    EXPECT_EQ(std::string("One\0T\0\0", 7), std::string(buffer, 7));
}

TEST(IniProfile, RefusesWhatCannotBeStoredOnOneLineAndLeavesTheFile) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    Put(file, "[App]\nA=1\n");
    struct Case {
        const char* section;
        const char* key;
        const char* value;
    };
    for (Case c : {Case{"App", "A", "two\nlines"}, Case{"App", "A", "cr\r"},
                   Case{"App", "K=V", "1"}, Case{"Ap]p", "A", "1"}, Case{"App", "A\nB", "1"}}) {
        errno = 0;
        EXPECT_FALSE(WritePrivateProfileString(c.section, c.key, c.value, file.c_str()));
        EXPECT_EQ(EINVAL, errno);
    }
    EXPECT_EQ("[App]\nA=1\n", Contents(file));
}

TEST(IniProfile, AFileThatCannotBeWrittenIsReportedAndAnExistingModeKept) {
    TempFolder dir;
    std::string missingFolder = dir / "no/such/folder/a.ini";
    EXPECT_FALSE(WritePrivateProfileString("App", "A", "1", missingFolder.c_str()));
    EXPECT_FALSE(WritePrivateProfileString("App", "A", "1", ""));

    std::string file = dir / "a.ini";
    Put(file, "[App]\nA=1\n");
    ASSERT_EQ(0, chmod(file.c_str(), 0640));
    ASSERT_TRUE(WritePrivateProfileString("App", "A", "2", file.c_str()));
    struct stat st;
    ASSERT_EQ(0, stat(file.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}

TEST(IniProfile, AWriteThroughASymbolicLinkReplacesTheLinkedFile) {
    TempFolder dir;
    std::string real = dir / "real.ini", link = dir / "link.ini";
    Put(real, "[App]\nA=1\n");
    ASSERT_EQ(0, symlink(real.c_str(), link.c_str()));
    ASSERT_TRUE(WritePrivateProfileString("App", "A", "2", link.c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ("[App]\nA=2\n", Contents(real));
}

// A writer killed at any moment must leave the old or the new file, whole,
// and no half-written temporary file beside it.
TEST(IniProfile, AWriteThatChangesNothingStillClearsAKilledWritersTemporaryFile) {
    TempFolder dir;
    const std::string file = dir / "a.ini";
    ASSERT_TRUE(WritePrivateProfileString("App", "Data", "same", file.c_str()));
    // A process that has ended stands for a writer killed before its rename.
    pid_t gone = fork();
    ASSERT_GE(gone, 0);
    if (gone == 0) _exit(0);
    int status = 0;
    ASSERT_EQ(gone, waitpid(gone, &status, 0));
    const std::string stale = dir / (".a.ini.kt" + std::to_string(gone) + "-0.tmp");
    std::ofstream(stale) << "[App]\nData=half";
    ASSERT_TRUE(WritePrivateProfileString("App", "Data", "same", file.c_str()));
    EXPECT_FALSE(std::filesystem::exists(stale));
}

TEST(IniProfile, AKilledWriterNeverLeavesAHalfWrittenFile) {
    TempFolder dir;
    std::string file = dir / "a.ini";
    const std::size_t kLength = 1 << 20;
    ASSERT_TRUE(
        WritePrivateProfileString("App", "Data", std::string(kLength, 'a').c_str(), file.c_str()));
    for (int round = 0; round < 8; ++round) {
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (int i = 0;; ++i) {
                std::string value(kLength, static_cast<char>('a' + i % 26));
                WritePrivateProfileString("App", "Data", value.c_str(), file.c_str());
            }
        }
        usleep(static_cast<useconds_t>(3000 + round * 7000));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        std::string text = Contents(file);
        ASSERT_EQ(std::string("[App]\nData=").size() + kLength + 1, text.size()) << round;
        char letter = text[11];
        EXPECT_EQ("[App]\nData=" + std::string(kLength, letter) + "\n", text);
        // A writer killed between naming its finished temporary file and the
        // rename leaves that file; the next write removes it.
        ASSERT_TRUE(WritePrivateProfileString("App", "Data", std::string(kLength, 'Z').c_str(),
                                              file.c_str()));
        std::size_t entries = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            (void)entry;
            ++entries;
        }
        std::string names;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            names += entry.path().filename().string() + " ";
        EXPECT_EQ(1u, entries) << "a temporary file was left behind: " << names;
    }
}

}  // namespace
