// The helpers every archiver library relies on for its command language,
// progress, report text and safe file writing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <fstream>

#include <gtest/gtest.h>

#include "platform/archiver_api.h"
#include "platform/atomic_file.h"
#include "archivers/common/command_line.h"
#include "archivers/common/extract_policy.h"
#include "archivers/common/file_time.h"
#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "archivers/common/safe_path.h"
#include "archivers/common/source_change.h"
#include "archivers/common/source_list.h"
#include "platform/message_hub.h"
#include "platform/temp_name.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

namespace fs = std::filesystem;
using namespace kt::arc;
using kt::AtomicFile;

namespace {

struct TempDir {
    kt::test::TempFolder folder;
    fs::path path = folder.Path();
};

std::string ReadAll(const fs::path& p) { return kt::test::ReadAll(p.string()); }

}  // namespace

TEST(CommandLine, DriverLineSplitsIntoSwitchesAndQuotedNames) {
    auto items = TokenizeCommandLine("u -+ -n1 -p1 -x0  \"/t m/a.lzh\" \"/in/a b.txt\" ");
    ASSERT_EQ(items.size(), 7u);
    EXPECT_EQ(items[0], "u");
    EXPECT_EQ(items[1], "-+");
    EXPECT_EQ(items[5], "/t m/a.lzh");
    EXPECT_EQ(items[6], "/in/a b.txt");
    EXPECT_TRUE(IsSwitch(items[2]));
    EXPECT_FALSE(IsSwitch("-"));
}

TEST(CommandLine, QuotedSwitchAndEmptyQuotes) {
    auto items = TokenizeCommandLine("\"-jx*.bak\" \"\" x\"y z\"w");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], "-jx*.bak");
    EXPECT_EQ(items[1], "");
    EXPECT_EQ(items[2], "xy zw");
}

TEST(CommandLine, ResponseFileOneNamePerLine) {
    TempDir dir;
    fs::path list = dir.path / "list.txt";
    std::ofstream(list) << "\"/a/with space.txt\"\r\n\n  plain.txt  \n\"\"\n";
    std::vector<std::string> names;
    ASSERT_TRUE(ReadResponseFile(list.string(), &names));
    ASSERT_EQ(names.size(), 2u);
    EXPECT_EQ(names[0], "/a/with space.txt");
    EXPECT_EQ(names[1], "plain.txt");
    EXPECT_FALSE(ReadResponseFile((dir.path / "missing").string(), &names));
}

TEST(CommandLine, NulItemsFileStandsInItsPlaceWithEveryByteOfItsItems) {
    TempDir dir;
    const fs::path list = dir.path / "items0";
    // An archive and names that no quoted item could carry, the last one
    // without its closing NUL, and an empty item kept as one.
    const std::string held("/t/a\"b.zip\0/in/line\nbreak.txt\0\0/in/\"quoted\" .txt", 48);
    std::ofstream(list, std::ios::binary) << held;
    std::vector<std::string> items;
    std::string error;
    ASSERT_EQ(0, SplitCommandLine("-a -r --items0=" + list.string() + " \"/in/after.txt\"", &items,
                                  &error));
    EXPECT_EQ(items, (std::vector<std::string>{"-a", "-r", "/t/a\"b.zip", "/in/line\nbreak.txt", "",
                                               "/in/\"quoted\" .txt", "/in/after.txt"}));
    // A quoted switch names a path with blanks; a missing file is reported.
    const fs::path spaced = dir.path / "with space";
    std::ofstream(spaced, std::ios::binary) << std::string("x\0", 2);
    ASSERT_EQ(0, SplitCommandLine("\"--items0=" + spaced.string() + "\"", &items, &error));
    EXPECT_EQ(items, std::vector<std::string>{"x"});
    EXPECT_EQ(ERROR_RESPONSE_READ,
              SplitCommandLine("a --items0=" + (dir.path / "missing").string(), &items, &error));
    EXPECT_EQ(error, "cannot read the list file " + (dir.path / "missing").string());
    EXPECT_EQ(ERROR_RESPONSE_READ, SplitCommandLine("a --items0=", &items, &error));
}

TEST(Report, CutToBufferAndTerminated) {
    Report r;
    r.Line("abcdef");
    char buf[5] = {'x', 'x', 'x', 'x', 'x'};
    r.CopyTo(buf, sizeof buf);
    EXPECT_STREQ(buf, "abcd");
    char big[32];
    std::memset(big, 'x', sizeof big);
    r.CopyTo(big, sizeof big);
    EXPECT_STREQ(big, "abcdef\n");
    r.CopyTo(nullptr, 10);  // no crash on a null buffer
}

TEST(FixedField, NeverCutsInsideUtf8) {
    char field[5];
    CopyFixed(field, "ab\xE3\x81\x82");  // "ab" + one 3-byte character
    EXPECT_STREQ(field, "ab");
}

TEST(AtomicFile, CommitReplacesTargetKeepingItsMode) {
    TempDir dir;
    fs::path target = dir.path / "a.lzh";
    std::ofstream(target) << "old";
    chmod(target.c_str(), 0640);
    AtomicFile f;
    ASSERT_TRUE(f.Create(target.string()));
    ASSERT_TRUE(f.Write("new data", 8));
    EXPECT_EQ(ReadAll(target), "old");  // untouched until commit
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(ReadAll(target), "new data");
    struct stat st;
    stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

TEST(AtomicFile, UncommittedFileLeavesNothingBehind) {
    TempDir dir;
    fs::path target = dir.path / "a.lzh";
    std::ofstream(target) << "old";
    {
        AtomicFile f;
        ASSERT_TRUE(f.Create(target.string()));
        std::string big(1 << 20, 'z');
        ASSERT_TRUE(f.Write(big.data(), big.size()));
    }
    EXPECT_EQ(ReadAll(target), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}

// A file that appears at a name the writer found missing belongs to someone
// else: the commit fails and leaves it as it is, and no temporary file stays.
// Found present, the target is replaced as before.
TEST(AtomicFile, ANewFileNeverReplacesOneThatAppearedMeanwhile) {
    TempDir dir;
    fs::path target = dir.path / "new.zip";
    {
        AtomicFile f;
        ASSERT_TRUE(f.CreateNew(target.string()));
        ASSERT_TRUE(f.Write("ours", 4));
        std::ofstream(target) << "theirs";
        EXPECT_FALSE(f.Commit());
        EXPECT_EQ(errno, EEXIST);
    }
    EXPECT_EQ(ReadAll(target), "theirs");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);

    AtomicFile f;
    ASSERT_TRUE(f.Create(target.string()));
    ASSERT_TRUE(f.Write("ours", 4));
    ASSERT_TRUE(f.Commit());
    EXPECT_EQ(ReadAll(target), "ours");
}

// A header patched after its data lands where it belongs whether its bytes
// are still buffered or already on the disk (data past the buffer's size).
TEST(AtomicFile, PatchedBytesLandInPlaceBufferedOrWritten) {
    TempDir dir;
    for (std::size_t body : {std::size_t{10}, std::size_t{1} << 20}) {
        fs::path target = dir.path / ("patched" + std::to_string(body));
        AtomicFile f;
        ASSERT_TRUE(f.CreateNew(target.string()));
        ASSERT_TRUE(f.Write("HDR?", 4));
        std::string data(body, 'd');
        ASSERT_TRUE(f.Write(data.data(), data.size()));
        ASSERT_TRUE(f.WriteAt(3, "!", 1));
        ASSERT_TRUE(f.WriteAt(4 + body - 1, "e", 1));
        ASSERT_TRUE(f.Write("T", 1));
        ASSERT_TRUE(f.Commit());
        EXPECT_EQ("HDR!" + std::string(body - 1, 'd') + "eT", ReadAll(target)) << body;
    }
}

// A new file gets the mode any new file gets under the umask, through every
// way of starting one; a private file being replaced is never open to others
// while its successor is written.
TEST(AtomicFile, NewFilesFollowTheUmaskAndAReplacedPrivateFileStaysPrivate) {
    TempDir dir;
    const mode_t old = umask(027);
    for (int way = 0; way < 3; ++way) {
        fs::path target = dir.path / ("new" + std::to_string(way));
        AtomicFile f;
        int folder = open(dir.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_TRUE(way == 0   ? f.Create(target.string())
                    : way == 1 ? f.CreateNew(target.string())
                               : f.CreateAt(folder, target.filename().string()));
        ASSERT_TRUE(f.Write("x", 1));
        ASSERT_TRUE(f.Commit());
        close(folder);
        struct stat st;
        ASSERT_EQ(stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u) << way;
    }
    umask(old);

    fs::path secret = dir.path / "secret.zip";
    std::ofstream(secret) << "old";
    chmod(secret.c_str(), 0600);
    AtomicFile f;
    ASSERT_TRUE(f.Create(secret.string()));
    ASSERT_TRUE(f.Write("new", 3));
    ASSERT_TRUE(f.Flush());
    for (const auto& e : fs::directory_iterator(dir.path)) {
        struct stat st;
        ASSERT_EQ(stat(e.path().c_str(), &st), 0);
        if (e.path().filename().string().find("secret") != std::string::npos) {
            EXPECT_EQ(st.st_mode & 0077, 0u) << e.path();
        }
    }
    ASSERT_TRUE(f.Commit());
    struct stat st;
    ASSERT_EQ(stat(secret.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(ReadAll(secret), "new");
}

// A writer that compares the file it read with a stat of its path taken
// before opening it must notice a different file put in its place.
TEST(SourceChange, AnotherFileOfTheSameSizeAndTimeInItsPlaceIsAChange) {
    TempDir dir;
    fs::path a = dir.path / "a", b = dir.path / "b";
    std::ofstream(a) << "same";
    std::ofstream(b) << "SAME";
    struct timespec t[2] = {{1600000000, 0}, {1600000000, 0}};
    utimensat(AT_FDCWD, a.c_str(), t, 0);
    utimensat(AT_FDCWD, b.c_str(), t, 0);
    struct stat before;
    ASSERT_EQ(stat(a.c_str(), &before), 0);
    int same = open(a.c_str(), O_RDONLY | O_CLOEXEC);
    int other = open(b.c_str(), O_RDONLY | O_CLOEXEC);
    EXPECT_FALSE(kt::arc::ChangedSinceOpened(same, before));
    EXPECT_TRUE(kt::arc::ChangedSinceOpened(other, before));
    close(same);
    close(other);
}

// A library walking a folder skips the temporary file a running writer (a
// concurrent pack into that folder, or this run) is writing there.
TEST(SourceList, ARunningWritersTemporaryFileIsNoSource) {
    kt::test::TempFolder dir;
    dir.Write("src/a.txt", "a");
    dir.Write("src/" + kt::TempNameBeside("out.lzh", "x1"), "half written");
    std::vector<kt::arc::SourceFile> files;
    std::string missing;
    kt::arc::SourceRules rules;
    rules.base = dir.Path();
    ASSERT_TRUE(kt::arc::CollectSourceFiles({"src"}, rules, "", &files, &missing)) << missing;
    std::vector<std::string> stored;
    for (const auto& f : files)
        if (!S_ISDIR(f.st.st_mode)) stored.push_back(kt::arc::LeafOf(f.stored));
    EXPECT_EQ(stored, std::vector<std::string>{"a.txt"});
}

TEST(SafePath, RefusesParentPartsAndDropsRoots) {
    EXPECT_EQ(SafeRelativePath("/etc/passwd").value(), "etc/passwd");
    EXPECT_EQ(SafeRelativePath("C:/dir/./x.txt").value(), "dir/x.txt");
    EXPECT_EQ(SafeRelativePath("a//b/").value(), "a/b");
    EXPECT_FALSE(SafeRelativePath("../x").has_value());
    EXPECT_FALSE(SafeRelativePath("a/b/../../x").has_value());
    // The readers turn a DOS producer's "\\" into "/"; any other "\\" is a
    // character of a name, one part that opens no folder.
    EXPECT_EQ(SafeRelativePath("a/..\\..\\x").value(), "a/..\\..\\x");
    EXPECT_FALSE(SafeRelativePath("/").has_value());
    EXPECT_EQ(SafeRelativePath("a..b/..c").value(), "a..b/..c");
}

TEST(SafePath, FolderWalkCreatesButNeverFollowsLinks) {
    TempDir dir, outside;
    int root = open(dir.path.c_str(), O_RDONLY | O_DIRECTORY);
    int fd = OpenFolderBelow(root, "x/y/z", true);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_TRUE(fs::is_directory(dir.path / "x/y/z"));
    fs::create_directory_symlink(outside.path, dir.path / "link");
    EXPECT_LT(OpenFolderBelow(root, "link/sub", true), 0);
    EXPECT_FALSE(fs::exists(outside.path / "sub"));
    close(root);
}

TEST(FileTime, DosRoundTripAndFiletime) {
    int64_t t = 1700000000;  // even seconds survive the 2-second DOS grain
    EXPECT_EQ(DosDateTimeToUnix(UnixToDosDateTime(t)), t);
    EXPECT_EQ(UnixToDosDateTime(0) >> 25, 0u);  // clamped to 1980
    int64_t back;
    uint32_t ns;
    ASSERT_TRUE(FiletimeToUnix(UnixToFiletime(t, 123456700), &back, &ns));
    EXPECT_EQ(back, t);
    EXPECT_EQ(ns, 123456700u);
    EXPECT_EQ(UnixToFiletime(0), 116444736000000000ULL);
}

namespace {
struct Seen {
    int calls = 0;
    WPARAM lastState = 99;
    std::string name;
    LRESULT reply = 0;
};
LRESULT Handler(HWND, UINT msg, WPARAM w, LPARAM l, void* user) {
    auto* s = static_cast<Seen*>(user);
    if (msg != RegisterWindowMessage("wm_arcextract")) return 0;
    ++s->calls;
    s->lastState = w;
    s->name = reinterpret_cast<EXTRACTINGINFOEX*>(l)->exinfo.szSourceFileName;
    return s->reply;
}
}  // namespace

TEST(OwnerWindow, SendsProgressAndReportsCancel) {
    Seen seen;
    HWND wnd = CreateMessageWindow(Handler, &seen);
    OwnerWindow owner;
    EXTRACTINGINFOEX info{};
    CopyFixed(info.exinfo.szSourceFileName, "a.txt");
    EXPECT_FALSE(owner.Send(ARCEXTRACT_BEGIN, &info));  // nobody registered
    EXPECT_EQ(seen.calls, 0);
    ASSERT_TRUE(owner.Set(wnd));
    EXPECT_FALSE(owner.Set(NumberToHandle(0xFFFF)));  // unknown window refused
    EXPECT_FALSE(owner.Send(ARCEXTRACT_INPROCESS, &info));
    EXPECT_EQ(seen.calls, 1);
    EXPECT_EQ(seen.lastState, static_cast<WPARAM>(ARCEXTRACT_INPROCESS));
    EXPECT_EQ(seen.name, "a.txt");
    seen.reply = 1;
    EXPECT_TRUE(owner.Send(ARCEXTRACT_INPROCESS, &info));
    EXPECT_FALSE(owner.Kill(NumberToHandle(0xFFFF)));
    EXPECT_TRUE(owner.Kill(wnd));
    EXPECT_FALSE(owner.Active());
    DestroyMessageWindow(wnd);
}

// A write the disk refused drops the bytes it held; every later flush and
// the commit must fail too, or the file appears cut short. The fault hook
// fails the first write and lets later ones through, as a disk that had
// room again would.
TEST(AtomicFile, AWriteErrorSticksThroughFlushAndCommit) {
    TempDir d;
    AtomicFile f;
    ASSERT_TRUE(f.CreateAt(AT_FDCWD, (d.path / "out.bin").string()));
    ASSERT_TRUE(f.Write("abc", 3));
    int fd = f.Fd();
    // A descriptor that refuses writes: the flush of "abc" fails.
    int ro = ::open((d.path / "ro").c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(ro, 0);
    int saved = ::dup(fd);
    ASSERT_EQ(fd, ::dup2(ro, fd));
    EXPECT_FALSE(f.Flush());
    ASSERT_EQ(fd, ::dup2(saved, fd));  // the disk takes writes again
    ::close(saved);
    ::close(ro);
    EXPECT_FALSE(f.Flush());
    EXPECT_FALSE(f.Write("d", 1) && f.Flush());
    EXPECT_FALSE(f.Commit());
    EXPECT_FALSE(fs::exists(d.path / "out.bin"));
}

TEST(ExtractPolicy, AnExistingFileIsReplacedOnlyAsTheRuleSays) {
    TempDir d;
    std::ofstream((d.path / "f").string()) << "old";
    struct timespec t[2] = {{1000000, 0}, {1000000, 0}};
    ASSERT_EQ(0, utimensat(AT_FDCWD, (d.path / "f").c_str(), t, 0));
    fs::create_directory(d.path / "dir");
    int root = ::open(d.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct Row {
        const char* leaf;
        Replace rule;
        int64_t memberTime;
        InTheWay expected;
    } rows[] = {
        {"missing", Replace::Never, 0, InTheWay::Nothing},
        {"f", Replace::Always, 0, InTheWay::Replace},
        {"f", Replace::Never, 2000000, InTheWay::Keep},
        {"f", Replace::IfNewer, 2000000, InTheWay::Replace},
        {"f", Replace::IfNewer, 1000000, InTheWay::KeepNewer},
        {"f", Replace::IfNewer, 10, InTheWay::KeepNewer},
        {"dir", Replace::Always, 0, InTheWay::Folder},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.expected, LookBeforeWriting(root, r.leaf, r.rule, r.memberTime)) << r.leaf;
    ::close(root);
}

TEST(ExtractPolicy, AFileAppearsOnlyWithItsDeclaredLengthAndAModeThroughTheUmask) {
    TempDir d;
    mode_t old = ::umask(027);
    struct Row {
        std::string body;
        std::optional<uint64_t> declared;
        bool made;
    } rows[] = {
        {"12345", 5, true}, {"1234", 5, false}, {"123456", 5, false}, {"12", std::nullopt, true}};
    int i = 0;
    for (const Row& r : rows) {
        std::string path = (d.path / ("m" + std::to_string(i++))).string();
        AtomicFile f;
        ASSERT_TRUE(f.CreateAt(AT_FDCWD, path));
        ASSERT_TRUE(f.Write(r.body.data(), r.body.size()));
        FileFinish finish;
        finish.declared = r.declared;
        finish.mode = 0777;
        finish.mtime = 1234567;
        std::string why = FinishMemberFile(f, finish);
        EXPECT_EQ(r.made, why.empty()) << path << ": " << why;
        EXPECT_EQ(r.made, fs::exists(path)) << path;
        if (!r.made) continue;
        struct stat st;
        ASSERT_EQ(0, ::stat(path.c_str(), &st));
        EXPECT_EQ(0750u, st.st_mode & 07777);
        EXPECT_EQ(1234567, st.st_mtime);
    }
    ::umask(old);
    // The two whole files, and no temporary of the others.
    EXPECT_EQ(2, std::distance(fs::directory_iterator(d.path), fs::directory_iterator()));
}

// Links are judged against what is on disk: a chain of links each of which
// looks harmless as text can still lead out.
TEST(ExtractPolicy, ALinkLeavingTheTargetThroughLinksOnDiskIsRefused) {
    TempDir d;
    fs::create_directories(d.path / "t/x/sub");
    fs::create_directories(d.path / "t/y");
    fs::create_directory_symlink("..", d.path / "t/x/l1");     // t/x/l1 -> t
    fs::create_directory_symlink("l1/..", d.path / "t/x/l2");  // -> t/..: outside
    fs::create_directory_symlink("sub", d.path / "t/x/in");    // stays inside
    fs::create_directory_symlink("/etc", d.path / "t/abs");
    int root = ::open((d.path / "t").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct Row {
        const char* dir;
        const char* target;
        bool inside;
    } rows[] = {
        {"x", "sub/file", true},     {"x", "..", true},          {"x", "../..", false},
        {"x", "l1/y", true},         {"x", "l1/..", false},    // through l1 to t, then up out of it
        {"x", "l2", false},                                    // a link to a link that leaves
        {"x", "l2/t/x", false},      {"x", "in/../..", true},  // in is x/sub: up twice is t
        {"x", "in/../../..", false}, {"", "abs/passwd", false},  // through a link to an absolute path
        {"", "/etc/passwd", false},  {"", "missing/../y", true}, {"y", "", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.inside, LinkLeavesTarget(root, r.dir, r.target).empty())
            << r.dir << " -> " << r.target;
    ::close(root);
}

TEST(ExtractPolicy, ALinkALaterLinkTurnedOutwardIsRemovedAtTheEnd) {
    TempDir d;
    fs::create_directories(d.path / "t/d");
    int root = ::open((d.path / "t").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int dir = OpenFolderBelow(root, "d", false);
    LinkMaker links(root);
    // d/a -> x/../.. is inside while x is nothing (t/d/x/../.. is t) ...
    EXPECT_EQ("", links.Make(dir, "d", "a", "x/../.."));
    // ... and x -> "." is harmless on its own, but now d/a is t/d/../.. .
    EXPECT_EQ("", links.Make(dir, "d", "x", "."));
    EXPECT_NE("", links.Make(dir, "d", "b", "../.."));
    std::vector<std::string> removed = links.Recheck();
    ASSERT_EQ(1u, removed.size());
    EXPECT_NE(std::string::npos, removed[0].find("d/a")) << removed[0];
    EXPECT_FALSE(fs::is_symlink(d.path / "t/d/a"));
    EXPECT_TRUE(fs::is_symlink(d.path / "t/d/x"));
    ::close(dir);
    ::close(root);
}

TEST(ExtractPolicy, TheRunningCapStopsAtTheFreeSpaceOfTheStart) {
    TempDir d;
    int root = ::open(d.path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    SpaceCap cap(root, true, "t", "--lift");
    EXPECT_TRUE(cap.Fits(1000));
    EXPECT_FALSE(cap.Fits(UINT64_MAX));
    EXPECT_TRUE(cap.Take(1000));
    EXPECT_FALSE(cap.Take(UINT64_MAX / 2));
    EXPECT_FALSE(cap.Take(UINT64_MAX / 2));  // saturates instead of wrapping round
    EXPECT_NE(std::string::npos, cap.Text(5).find("--lift"));
    SpaceCap off(root, false, "t", "--lift");
    EXPECT_TRUE(off.Fits(UINT64_MAX));
    EXPECT_TRUE(off.Take(UINT64_MAX));
    ::close(root);
}
