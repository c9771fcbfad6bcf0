// UNZIP32.DLL called as a host calls it: archives of every common writer are
// extracted byte-exact; bad passwords, damage, hostile paths and a cancel
// never leave a file that looks good.
#include <gtest/gtest.h>

#include "platform/cp932.h"
#include "platform/message_hub.h"
#include "archivers/zip_container/zip_format.h"
#include "archivers/zip_container/zip_io.h"
#include "zip_test_support.h"
#include "archivers/zip_container/zip_writer.h"

namespace kt::ziptest {
namespace {

struct Fixture {
    TempDir d;
    std::map<std::string, std::string> files = {
        {"text.txt", SampleText(120000)}, {"bin.dat", RandomBytes(50000)}, {"empty.txt", ""}};
    Fixture() {
        for (auto& [name, data] : files) WriteFile(d / ("src/" + name), data);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> n;
        for (auto& [name, data] : files) n.push_back(name);
        return n;
    }
    void ExpectExtracted(const std::string& archive, const std::string& options,
                         const std::string& tag) {
        std::string out = d / ("out-" + tag);
        std::string report;
        ASSERT_EQ(Libs().RunUnZip("-x -o --i " + options + " " + Q(archive) + " " + Q(out + "/"),
                                  &report),
                  0)
            << tag << "\n"
            << report;
        for (auto& [name, data] : files)
            EXPECT_EQ(ReadFile(out + "/" + name), data) << tag << " " << name;
    }
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(Unzip32Peers, ExtractsArchivesOfZip7zAndBsdtar) {
    Fixture f;
    std::string src = f.d / "src";
    auto names = f.Names();
    struct Case {
        std::string tag;
        std::vector<std::string> cmd;
        std::string options;
    };
    std::vector<Case> cases = {
        {"zip", Concat({"zip", "-q", f.d / "zip.zip"}, names), ""},
        {"zip-pw", Concat({"zip", "-q", "-P", "z p!", f.d / "zip-pw.zip"}, names), "-P \"z p!\""},
        {"zip64", Concat({"zip", "-q", "-fz", f.d / "zip64.zip"}, names), ""},
        {"7z", Concat({"7z", "a", "-tzip", f.d / "7z.zip"}, names), ""},
        {"7z-pw", Concat({"7z", "a", "-tzip", "-pS3cret pw", f.d / "7z-pw.zip"}, names),
         "-P \"S3cret pw\""},
        {"bsdtar", Concat({"bsdtar", "--format", "zip", "-cf", f.d / "bsdtar.zip"}, names), ""},
        {"bsdtar-pw",
         Concat({"bsdtar", "--format", "zip", "--options", "zip:encryption=zipcrypt",
                 "--passphrase", "b pw", "-cf", f.d / "bsdtar-pw.zip"},
                names),
         "-P \"b pw\""},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(RunTool(c.cmd, src), 0) << c.tag;
        f.ExpectExtracted(f.d / (c.tag + ".zip"), c.options, c.tag);
    }
    // Streamed output: sizes in data descriptors after the data.
    std::string streamed = f.d / "streamed.zip";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(streamed.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        if (chdir(src.c_str()) != 0) _exit(127);
        std::vector<char*> argv = {const_cast<char*>("zip"), const_cast<char*>("-q"),
                                   const_cast<char*>("-")};
        for (auto& n : names) argv.push_back(n.data());
        argv.push_back(nullptr);
        execvp("zip", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    f.ExpectExtracted(streamed, "", "streamed");
}

TEST(Unzip32Names, UnixNamesKeepTheirBytesDosNamesAndUtf8BecomeUtf8) {
    TempDir d;
    const std::string name = "日本語テスト.txt";
    std::string cp932 = kt::Utf8ToCp932(name);
    WriteFile(d / ("sjis/" + cp932), "sjis");
    // Info-ZIP on Unix stores the file name's bytes, without the UTF-8 flag:
    // they come back as the same bytes.
    ASSERT_EQ(RunTool({"zip", "-q", d / "sjis.zip", cp932}, d / "sjis"), 0);
    ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(d / "sjis.zip") + " " + Q(d / "out/")), 0);
    EXPECT_EQ(ReadFile(d / ("out/" + cp932)), "sjis");
    // Our writer keeps such bytes too, without claiming UTF-8.
    ASSERT_EQ(Libs().RunZip("-q -j " + Q(d / "ours.zip") + " " + Q(d / ("sjis/" + cp932))), 0);
    std::string ours = ReadFile(d / "ours.zip");
    EXPECT_EQ(
        kt::zip::Get16(reinterpret_cast<const uint8_t*>(ours.data()) + 6) & kt::zip::kFlagUtf8, 0);
    ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(d / "ours.zip") + " " + Q(d / "out3/")), 0);
    EXPECT_EQ(ReadFile(d / ("out3/" + cp932)), "sjis");
    // A Windows writer's CP932 name becomes UTF-8.
    std::string dos = ReadFile(d / "sjis.zip");
    for (std::size_t at = dos.find("PK\x01\x02"); at != std::string::npos;
         at = dos.find("PK\x01\x02", at + 4))
        dos[at + 5] = 0;  // "version made by": MS-DOS
    WriteFile(d / "dos.zip", dos);
    ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(d / "dos.zip") + " " + Q(d / "out4/")), 0);
    EXPECT_EQ(ReadFile(d / ("out4/" + name)), "sjis");
    WriteFile(d / ("utf/" + name), "utf8");
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", d / "utf.zip", name}, d / "utf"), 0);
    ASSERT_EQ(Libs().RunUnZip("-x -o " + Q(d / "utf.zip") + " " + Q(d / "out2/")), 0);
    EXPECT_EQ(ReadFile(d / ("out2/" + name)), "utf8");
}

TEST(Unzip32Failures, WrongPasswordWritesNothing) {
    Fixture f;
    ASSERT_EQ(RunTool(Concat({"zip", "-q", "-P", "right", f.d / "p.zip"}, f.Names()), f.d / "src"),
              0);
    std::string out = f.d / "out";
    EXPECT_EQ(Libs().RunUnZip("-x -o -P wrong " + Q(f.d / "p.zip") + " " + Q(out + "/")),
              ERROR_PASSWORD_FILE);
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(f.d / "p.zip") + " " + Q(out + "/")),
              ERROR_PASSWORD_FILE);
    // A wrong password passes ZipCrypto's one check byte once in 256 times;
    // only for the empty member is there then no data to prove it wrong, and
    // what comes out is that member as it is: empty.
    for (const auto& left : std::filesystem::directory_iterator(out)) {
        EXPECT_EQ(left.path().filename(), "empty.txt");
        EXPECT_EQ(std::filesystem::file_size(left.path()), 0u);
    }
}

// Central entries that all point at one local header (or whose data runs
// into the next header) make a small file extract to any size: refused
// before anything is written, as unzip refuses them.
TEST(Unzip32Failures, OverlappingEntriesAreRefusedAndWriteNothing) {
    TempDir d;
    WriteFile(d / "a.txt", SampleText(50000));
    ASSERT_EQ(RunTool({"zip", "-q", "-0", d / "a.zip", "a.txt"}, d.path()), 0);
    const std::string zip = ReadFile(d / "a.zip");
    const std::size_t central = zip.find("PK\x01\x02"), end = zip.find("PK\x05\x06");
    ASSERT_NE(std::string::npos, central);
    ASSERT_NE(std::string::npos, end);
    const std::string entry = zip.substr(central, end - central);
    auto withEntries = [&](int copies) {
        std::string out = zip.substr(0, central);
        for (int i = 0; i < copies; ++i) out += entry;
        std::string eocd = zip.substr(end);
        auto set = [&](std::size_t at, uint64_t v, int bytes) {
            for (int i = 0; i < bytes; ++i) eocd[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
        };
        set(8, copies, 2);
        set(10, copies, 2);
        set(12, entry.size() * copies, 4);
        return out + eocd;
    };
    WriteFile(d / "one.zip", withEntries(1));
    EXPECT_EQ(Libs().RunUnZip("-t " + Q(d / "one.zip")), 0) << "the rebuilt single entry is sound";
    WriteFile(d / "bomb.zip", withEntries(100));
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "bomb.zip") + " " + Q(d / "out/"), &report),
              ERROR_HEADER_BROKEN);
    EXPECT_NE(std::string::npos, report.find("overlap")) << report;
    EXPECT_FALSE(std::filesystem::exists(d / "out/a.txt"));
    EXPECT_NE(Libs().RunUnZip("-t " + Q(d / "bomb.zip")), 0);
}

TEST(Unzip32Failures, CorruptedByteIsACrcErrorAndNoFile) {
    TempDir d;
    std::string text = SampleText(200000);
    WriteFile(d / "a.txt", text);
    ASSERT_EQ(RunTool({"zip", "-q", "-0", d / "a.zip", "a.txt"}, d.path()), 0);
    std::string bytes = ReadFile(d / "a.zip");
    bytes[30 + 5 + 28 + 1000] ^= 0x01;  // inside the stored data
    WriteFile(d / "bad.zip", bytes);
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "bad.zip") + " " + Q(d / "out/")), ERROR_FILE_CRC);
    EXPECT_TRUE(std::filesystem::is_empty(d / "out"));
    EXPECT_EQ(Libs().RunUnZip("-t " + Q(d / "bad.zip")), ERROR_FILE_CRC);
    EXPECT_FALSE(Libs().CheckArchive((d / "bad.zip").c_str(), CHECKARCHIVE_FULLCRC));
    EXPECT_TRUE(Libs().CheckArchive((d / "bad.zip").c_str(), CHECKARCHIVE_BASIC));
    EXPECT_TRUE(Libs().CheckArchive((d / "a.zip").c_str(), CHECKARCHIVE_FULLCRC));
}

std::string HostileArchive(const std::string& linkTarget) {
    (void)linkTarget;
    kt::zip::MemoryOutput out;
    kt::zip::ZipWriter w(out);
    for (std::string name :
         {"../escape.txt", "/abs.txt", "ok/inner.txt", "link/planted.txt", "a/../../up.txt"}) {
        kt::zip::ZipEntry e;
        e.name = name;
        EXPECT_EQ(w.AddBuffer(e, reinterpret_cast<const uint8_t*>(name.data()), name.size(), {}),
                  kt::zip::ZipStatus::Ok);
    }
    EXPECT_EQ(w.Finish(), kt::zip::ZipStatus::Ok);
    return out.bytes;
}

TEST(Unzip32Failures, TraversalNeverWritesOutsideTheFolder) {
    TempDir d;
    WriteFile(d / "evil.zip", HostileArchive(d.path()));
    std::filesystem::create_directories(d / "target");
    std::filesystem::create_directories(d / "elsewhere");
    std::filesystem::create_directory_symlink(d / "elsewhere", d / "target/link");
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "evil.zip") + " " + Q(d / "target/"), &report),
              ERROR_INVALID_PATH);
    EXPECT_FALSE(Exists(d / "escape.txt"));
    EXPECT_FALSE(Exists(d / "up.txt"));
    EXPECT_TRUE(std::filesystem::is_empty(d / "elsewhere")) << report;
    EXPECT_EQ(ReadFile(d / "target/ok/inner.txt"), "ok/inner.txt");
    EXPECT_EQ(ReadFile(d / "target/abs.txt"), "/abs.txt");
}

LRESULT CancelOnBegin(HWND, UINT msg, WPARAM state, LPARAM, void* user) {
    if (msg != RegisterWindowMessage(WM_ARCEXTRACT_NAME)) return 0;
    int& begins = *static_cast<int*>(user);
    if (state == ARCEXTRACT_BEGIN && ++begins == 2) return 1;  // stop at the second file
    return 0;
}

TEST(Unzip32Progress, ReplyCancelsAndRemovesWhatWasExtracted) {
    Fixture f;
    ASSERT_EQ(RunTool(Concat({"zip", "-q", f.d / "a.zip"}, f.Names()), f.d / "src"), 0);
    int begins = 0;
    HWND wnd = CreateMessageWindow(CancelOnBegin, &begins);
    ASSERT_TRUE(Libs().SetOwnerWindowEx(wnd, nullptr));
    EXPECT_EQ(Libs().RunUnZip("-x -o --i " + Q(f.d / "a.zip") + " " + Q(f.d / "out/")),
              ERROR_USER_CANCEL);
    EXPECT_TRUE(Libs().KillOwnerWindowEx(wnd));
    EXPECT_FALSE(Libs().KillOwnerWindowEx(wnd));
    DestroyMessageWindow(wnd);
    EXPECT_EQ(begins, 2);
    EXPECT_TRUE(std::filesystem::is_empty(f.d / "out"));
}

TEST(Unzip32Commands, OverwriteJunkPathsSearchAndMemory) {
    TempDir d;
    WriteFile(d / "src/dir/a.txt", "new a");
    WriteFile(d / "src/b.txt", "b");
    ASSERT_EQ(RunTool({"zip", "-q", "-r", d / "x.zip", "dir", "b.txt"}, d / "src"), 0);
    std::string arc = Q(d / "x.zip");
    // Without -o an existing file stays and the result says so.
    WriteFile(d / "out/dir/a.txt", "old a");
    EXPECT_EQ(Libs().RunUnZip("-x " + arc + " " + Q(d / "out/")), ERROR_ALREADY_EXIST);
    EXPECT_EQ(ReadFile(d / "out/dir/a.txt"), "old a");
    EXPECT_EQ(ReadFile(d / "out/b.txt"), "b");
    ASSERT_EQ(Libs().RunUnZip("-x -o " + arc + " " + Q(d / "out/")), 0);
    EXPECT_EQ(ReadFile(d / "out/dir/a.txt"), "new a");
    // -j drops stored folders; names select members.
    ASSERT_EQ(Libs().RunUnZip("-x -o -j " + arc + " " + Q(d / "flat/") + " dir/*.txt"), 0);
    EXPECT_EQ(ReadFile(d / "flat/a.txt"), "new a");
    EXPECT_FALSE(Exists(d / "flat/b.txt"));

    HARC h = Libs().OpenArchive(nullptr, (d / "x.zip").c_str(), 0x800002);
    ASSERT_NE(h, nullptr);
    INDIVIDUALINFO info;
    std::vector<std::string> names;
    for (int r = Libs().FindFirst(h, "*", &info); r == 0; r = Libs().FindNext(h, &info))
        names.push_back(info.szFileName);
    EXPECT_EQ(names, (std::vector<std::string>{"dir/", "dir/a.txt", "b.txt"}));
    ASSERT_EQ(Libs().FindFirst(h, "*.txt", &info), 0);
    EXPECT_STREQ(info.szFileName, "dir/a.txt");
    EXPECT_EQ(info.dwOriginalSize, 5u);
    EXPECT_STREQ(info.szMode, "Stored");
    EXPECT_EQ(Libs().CloseArchive(h), 0);
    EXPECT_EQ(Libs().FindNext(h, &info), ERROR_HARC_ISNOT_OPENED);
    EXPECT_EQ(Libs().OpenArchive(nullptr, (d / "src/b.txt").c_str(), 0x800002), nullptr);

    char buf[64] = {};
    DWORD written = 0;
    time_t t = 0;
    ASSERT_EQ(Libs().ExtractMem(nullptr, (arc + " dir/a.txt").c_str(),
                                reinterpret_cast<LPBYTE>(buf), sizeof buf, &t, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buf, written), "new a");
    EXPECT_GT(t, 0);
    EXPECT_EQ(Libs().ExtractMem(nullptr, (arc + " dir/a.txt").c_str(),
                                reinterpret_cast<LPBYTE>(buf), 2, nullptr, nullptr, &written),
              ERROR_ENOUGH_MEMORY);
    std::string report;
    ASSERT_EQ(Libs().RunUnZip("-l " + arc, &report), 0);
    EXPECT_NE(report.find("dir/a.txt"), std::string::npos);
    EXPECT_EQ(Libs().GetVersion(), 100);
}

TEST(Unzip32Failures, DamagedArchivesGiveCodesNeverCrashes) {
    TempDir d;
    WriteFile(d / "src/a.txt", SampleText(3000));
    WriteFile(d / "src/b.bin", RandomBytes(500));
    ASSERT_EQ(RunTool({"zip", "-q", "-P", "pw", d / "a.zip", "a.txt", "b.bin"}, d / "src"), 0);
    const std::string good = ReadFile(d / "a.zip");
    // Every truncation and a flipped byte at every position: a code or
    // success, never a crash, never a file outside "out".
    for (size_t len = 0; len < good.size(); len += 11) {
        WriteFile(d / "t.zip", good.substr(0, len));
        int rc = Libs().RunUnZip("-x -o -P pw " + Q(d / "t.zip") + " " + Q(d / "out/"));
        EXPECT_NE(rc, 0) << len;
    }
    for (size_t pos = 0; pos < good.size(); ++pos) {
        std::string bad = good;
        bad[pos] = static_cast<char>(bad[pos] ^ 0x5A);
        WriteFile(d / "t.zip", bad);
        Libs().RunUnZip("-t -P pw " + Q(d / "t.zip"));
        HARC h = Libs().OpenArchive(nullptr, (d / "t.zip").c_str(), 0);
        if (h) {
            INDIVIDUALINFO info;
            for (int r = Libs().FindFirst(h, "*", &info); r == 0; r = Libs().FindNext(h, &info)) {
            }
            Libs().CloseArchive(h);
        }
    }
    EXPECT_EQ(Libs().RunUnZip("-x " + Q(d / "none.zip")), ERROR_NOT_FIND_ARC_FILE);
    EXPECT_EQ(Libs().RunUnZip("-x " + Q(d / "src/a.txt")), ERROR_NOT_ARC_FILE);
}

}  // namespace
}  // namespace kt::ziptest
