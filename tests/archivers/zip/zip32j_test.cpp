// ZIP32J.DLL (with its engine ZIP32.DLL) called exactly as a host calls it:
// archives must open in the peer tools byte-exact, and a failed or
// cancelled command must leave every file as it was.
#include <gtest/gtest.h>
#include <utime.h>

#include "platform/cp932.h"
#include "platform/message_hub.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "archivers/zip_container/zip_reader.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::zip::ZipDirectory;

ZipDirectory ReadDir(const std::string& path) {
    std::string bytes = ReadFile(path);
    kt::zip::MemorySource src(bytes.data(), bytes.size());
    ZipDirectory dir;
    EXPECT_EQ(kt::zip::ReadZipDirectory(src, dir), kt::zip::ZipStatus::Ok) << path;
    return dir;
}

std::vector<std::string> TempLeftovers(const std::string& folder) {
    std::vector<std::string> out;
    for (auto& e : std::filesystem::directory_iterator(folder)) {
        std::string leaf = e.path().filename().string();
        if (leaf.size() > 4 && leaf[0] == '.' && leaf.substr(leaf.size() - 4) == ".tmp")
            out.push_back(leaf);
    }
    return out;
}

TEST(Zip32jDriverLine, PlainArchiveOpensInUnzip7zAndBsdtar) {
    TempDir d;
    std::string text = SampleText(300000);
    WriteFile(d / "a.txt", text);
    struct utimbuf t = {1600000000, 1600000000};
    utime((d / "a.txt").c_str(), &t);
    std::string report;
    ASSERT_EQ(Libs().RunZip(" -D -q -o -j  \"" + d.path() + "/a.zip\" \"" + d.path() + "/a.txt\" ",
                            &report),
              0)
        << report;
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "a.zip"}), 0);
    EXPECT_EQ(RunTool({"7z", "t", d / "a.zip"}), 0);
    std::filesystem::create_directory(d / "bsd");
    ASSERT_EQ(RunTool({"bsdtar", "-xf", d / "a.zip"}, d / "bsd"), 0);
    EXPECT_EQ(ReadFile(d / "bsd/a.txt"), text);
    ZipDirectory dir = ReadDir(d / "a.zip");
    ASSERT_EQ(dir.entries.size(), 1u);
    EXPECT_EQ(dir.entries[0].name, "a.txt");
    EXPECT_EQ(dir.entries[0].method, kt::zip::kMethodDeflate);
    // -o: the archive takes the time of its newest member.
    struct stat st;
    ASSERT_EQ(stat((d / "a.zip").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1600000000);
    EXPECT_TRUE(TempLeftovers(d.path()).empty());
}

TEST(Zip32jDriverLine, NamesWithQuotesAndLineBreaksPassInANulItemsFileAndKeepThemInEveryPeer) {
    // Names no quoted item and no response-file line can carry reach the
    // library through --items0=FILE, and every peer gets them back exactly.
    for (const std::string name : {"a\"b.txt", "line\nbreak.txt", "\"quoted\".txt"}) {
        SCOPED_TRACE(name);
        TempDir d;
        const std::string text = SampleText(20000) + name;
        WriteFile(d / name, text);
        const std::string arc = d / "out.zip";
        WriteFile(d / "items0", arc + std::string(1, '\0') + (d / name) + std::string(1, '\0'));
        std::string report;
        ASSERT_EQ(Libs().RunZip("-D -q -o -j \"--items0=" + (d / "items0") + "\"", &report), 0)
            << report;
        ZipDirectory dir = ReadDir(arc);
        ASSERT_EQ(dir.entries.size(), 1u);
        EXPECT_EQ(dir.entries[0].name, name);
        for (const std::vector<std::string>& tool :
             // unzip drops control characters from names unless -^ allows them.
             {std::vector<std::string>{"unzip", "-^", "-q", arc, "-d", d / "unzip"},
              std::vector<std::string>{"7z", "x", "-y", "-o" + (d / "7z"), arc}}) {
            ASSERT_EQ(RunTool(tool), 0) << tool[0];
            EXPECT_EQ(ReadFile(d / (tool[0] == "unzip" ? "unzip/" : "7z/") + name), text)
                << tool[0];
        }
    }
}

TEST(Zip32jDriverLine, PasswordFormIsReadByEveryPeer) {
    TempDir d;
    const std::string pw = "p w!#$%&'()=~|@[]`{};:+*<>,.?/_";
    std::map<std::string, std::string> files = {{"text.txt", SampleText(50000)},
                                                {"bin.dat", RandomBytes(70000)},
                                                {"empty.txt", ""},
                                                {"日本語の名前.txt", "和文のファイル\n"}};
    std::string names;
    for (auto& [name, data] : files) {
        WriteFile(d / name, data);
        names += " " + Q(d / name);
    }
    std::string report;
    ASSERT_EQ(
        Libs().RunZip(" -D -q -o -j -P " + Q(pw) + " " + Q(d / "p.zip") + names + " ", &report), 0)
        << report;
    ZipDirectory dir = ReadDir(d / "p.zip");
    ASSERT_EQ(dir.entries.size(), files.size());
    for (auto& e : dir.entries) {
        EXPECT_TRUE(e.IsEncrypted()) << e.name;
        EXPECT_EQ((e.flags & kt::zip::kFlagUtf8) != 0, e.name == "日本語の名前.txt") << e.name;
    }
    for (std::string tool : {"unzip", "7z", "bsdtar"}) {
        std::string out = d / ("out-" + tool);
        std::filesystem::create_directory(out);
        std::vector<std::string> cmd;
        if (tool == "unzip") cmd = {"unzip", "-q", "-P", pw, d / "p.zip", "-d", out};
        if (tool == "7z") cmd = {"7z", "x", "-p" + pw, "-o" + out, d / "p.zip"};
        if (tool == "bsdtar") cmd = {"bsdtar", "--passphrase", pw, "-xf", d / "p.zip"};
        ASSERT_EQ(RunTool(cmd, out), 0) << tool;
        for (auto& [name, data] : files)
            EXPECT_EQ(ReadFile(out + "/" + name), data) << tool << " " << name;
    }
    // And a wrong password is refused by the reference reader.
    EXPECT_NE(RunTool({"unzip", "-tq", "-P", pw + "x", d / "p.zip"}), 0);
}

TEST(Zip32jDriverLine, JapanesePasswordKeysFromCp932) {
    TempDir d;
    const std::string pw = "秘密のパスワード";
    WriteFile(d / "a.txt", SampleText(4000));
    ASSERT_EQ(Libs().RunZip(" -D -q -o -j -P " + Q(pw) + " " + Q(d / "a.zip") + " " +
                            Q(d / "a.txt") + " "),
              0);
    std::string cp932 = kt::Utf8ToCp932(pw);
    ASSERT_NE(cp932, pw);
    EXPECT_EQ(RunTool({"unzip", "-tq", "-P", cp932, d / "a.zip"}), 0);
    EXPECT_NE(RunTool({"unzip", "-tq", "-P", pw, d / "a.zip"}), 0);
}

TEST(Zip32jLargeFiles, StreamedEntriesPlainAndEncryptedRoundTrip) {
    TempDir d;
    std::string big = SampleText(17u << 20, 7);
    big.replace(1000, 3000, RandomBytes(3000));
    WriteFile(d / "big.txt", big);
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "a.zip") + " " + Q(d / "big.txt")), 0);
    ASSERT_EQ(Libs().RunZip("-D -q -j -P secret " + Q(d / "e.zip") + " " + Q(d / "big.txt")), 0);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "a.zip"}), 0);
    EXPECT_EQ(RunTool({"unzip", "-tq", "-P", "secret", d / "e.zip"}), 0);
    EXPECT_EQ(RunTool({"7z", "t", "-psecret", d / "e.zip"}), 0);
    std::filesystem::create_directory(d / "x");
    ASSERT_EQ(Libs().RunUnZip("-x -o -P secret " + Q(d / "e.zip") + " " + Q(d / "x/")), 0);
    EXPECT_EQ(ReadFile(d / "x/big.txt"), big);
}

// A file of four 4 MB pieces, deflated on every core the test may use: the
// second piece incompressible (stored blocks inside the stream), a join
// inside text, the last piece short. Every peer must read it back byte-exact, with
// and without ZipCrypto.
TEST(Zip32jLargeFiles, PiecesDeflatedOnSeveralThreadsAreReadBackByEveryPeer) {
    TempDir d;
    std::string big =
        SampleText(4u << 20, 11) + RandomBytes(4u << 20, 12) + SampleText((5u << 20) + 777, 13);
    WriteFile(d / "big.bin", big);
    const std::string pw = "piece pw";
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "a.zip") + " " + Q(d / "big.bin")), 0);
    ASSERT_EQ(Libs().RunZip("-D -q -j -P " + Q(pw) + " " + Q(d / "e.zip") + " " + Q(d / "big.bin")),
              0);
    EXPECT_LT(ReadFile(d / "a.zip").size(), big.size() * 3 / 4);
    for (std::string tool : {"unzip", "7z", "bsdtar", "unar"}) {
        for (bool encrypted : {false, true}) {
            std::string arc = d / (encrypted ? "e.zip" : "a.zip");
            std::string out = d / ("out-" + tool + (encrypted ? "-e" : ""));
            std::filesystem::create_directory(out);
            std::vector<std::string> cmd = {tool};
            if (tool == "7z") cmd.push_back("x");
            if (encrypted) {
                if (tool == "unzip") cmd.insert(cmd.end(), {"-P", pw});
                if (tool == "7z") cmd.push_back("-p" + pw);
                if (tool == "bsdtar") cmd.insert(cmd.end(), {"--passphrase", pw});
                if (tool == "unar") cmd.insert(cmd.end(), {"-p", pw});
            }
            if (tool == "unzip") cmd.insert(cmd.end(), {"-q", arc, "-d", out});
            if (tool == "7z") cmd.insert(cmd.end(), {"-o" + out, arc});
            if (tool == "bsdtar") cmd.insert(cmd.end(), {"-xf", arc});
            if (tool == "unar") cmd.insert(cmd.end(), {"-q", "-o", out, arc});
            ASSERT_EQ(RunTool(cmd, out), 0) << tool << " " << encrypted;
            EXPECT_TRUE(ReadFile(out + "/big.bin") == big) << tool << " " << encrypted;
        }
    }
}

TEST(Zip32jEngine, MissingEngineFailsClearlyAndWritesNothing) {
    TempDir d;
    std::string host = d / "host";
    std::filesystem::create_directory(host);
    for (std::string f : {"ZIP32J.DLL", "libkthub.so", "zip_host"})
        std::filesystem::copy_file(std::string(KT_BIN_DIR) + "/" + f, host + "/" + f);
    WriteFile(d / "a.txt", "data");
    std::string out = d / "out.txt";
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(fd, 1);
        std::string line = " -D -q -o -j  " + Q(d / "a.zip") + " " + Q(d / "a.txt") + " ";
        std::string lib = host + "/ZIP32J.DLL", exe = host + "/zip_host";
        char* argv[] = {exe.data(), lib.data(), const_cast<char*>("Zip"), line.data(), nullptr};
        char* envp[] = {const_cast<char*>("PATH=/nonexistent"), nullptr};
        execve(exe.c_str(), argv, envp);
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string result = ReadFile(out);
    EXPECT_EQ(std::stoi(result), ERROR_NOT_SUPPORT);
    EXPECT_NE(result.find("ZIP32.DLL"), std::string::npos) << result;
    EXPECT_FALSE(Exists(d / "a.zip"));
}

TEST(Zip32jCommands, UpdateFreshenAndDeleteRebuildTheArchive) {
    TempDir d;
    WriteFile(d / "a.txt", "first a");
    WriteFile(d / "b.txt", "first b");
    struct utimbuf old = {1500000000, 1500000000};
    utime((d / "a.txt").c_str(), &old);
    utime((d / "b.txt").c_str(), &old);
    std::string arc = Q(d / "x.zip");
    ASSERT_EQ(Libs().RunZip("-D -q -j " + arc + " " + Q(d / "a.txt") + " " + Q(d / "b.txt")), 0);

    // Freshen replaces the newer b and adds nothing new.
    WriteFile(d / "b.txt", "second b");
    WriteFile(d / "c.txt", "new c");
    ASSERT_EQ(Libs().RunZip("-f -D -q -j " + arc + " " + Q(d / "b.txt") + " " + Q(d / "c.txt")), 0);
    ZipDirectory dir = ReadDir(d / "x.zip");
    ASSERT_EQ(dir.entries.size(), 2u);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "x.zip"}), 0);

    // Update adds c; a is older on disk than in the archive? No: same, so kept.
    ASSERT_EQ(Libs().RunZip("-u -D -q -j " + arc + " " + Q(d / "a.txt") + " " + Q(d / "c.txt")), 0);
    dir = ReadDir(d / "x.zip");
    ASSERT_EQ(dir.entries.size(), 3u);
    EXPECT_EQ(dir.entries[0].name, "a.txt");
    EXPECT_EQ(dir.entries[2].name, "c.txt");
    std::filesystem::create_directory(d / "out");
    ASSERT_EQ(Libs().RunUnZip("-x -o " + arc + " " + Q(d / "out/")), 0);
    EXPECT_EQ(ReadFile(d / "out/a.txt"), "first a");
    EXPECT_EQ(ReadFile(d / "out/b.txt"), "second b");
    EXPECT_EQ(ReadFile(d / "out/c.txt"), "new c");

    // Delete by pattern; a name that matches nothing fails and changes nothing.
    ASSERT_EQ(Libs().RunZip("-d -q " + arc + " b.*"), 0);
    dir = ReadDir(d / "x.zip");
    ASSERT_EQ(dir.entries.size(), 2u);
    EXPECT_EQ(dir.entries[1].name, "c.txt");
    std::string before = ReadFile(d / "x.zip");
    EXPECT_EQ(Libs().RunZip("-d -q " + arc + " nothing.txt"), ERROR_NOT_FIND_FILE);
    EXPECT_EQ(ReadFile(d / "x.zip"), before);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "x.zip"}), 0);
    // Deleting every member removes the archive, as zip does.
    ASSERT_EQ(Libs().RunZip("-d -q " + arc + " *"), 0);
    EXPECT_FALSE(Exists(d / "x.zip"));
}

TEST(Zip32jCommands, FailedAddLeavesTheOldArchiveUntouched) {
    TempDir d;
    WriteFile(d / "a.txt", "a");
    std::string arc = Q(d / "x.zip");
    ASSERT_EQ(Libs().RunZip("-D -q -j " + arc + " " + Q(d / "a.txt")), 0);
    std::string before = ReadFile(d / "x.zip");
    std::string report;
    EXPECT_EQ(Libs().RunZip("-D -q -j " + arc + " " + Q(d / "a.txt") + " " + Q(d / "missing.txt"),
                            &report),
              ERROR_NOT_FIND_FILE);
    EXPECT_NE(report.find("missing.txt"), std::string::npos);
    EXPECT_EQ(ReadFile(d / "x.zip"), before);
    // A file that is not an archive is never overwritten by an add.
    WriteFile(d / "note.zip", "not an archive");
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "note.zip") + " " + Q(d / "a.txt")),
              ERROR_NOT_ARC_FILE);
    EXPECT_EQ(ReadFile(d / "note.zip"), "not an archive");
    // Two files that would get one stored name.
    WriteFile(d / "s1/same.txt", "1");
    WriteFile(d / "s2/same.txt", "2");
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "y.zip") + " " + Q(d / "s1/same.txt") + " " +
                            Q(d / "s2/same.txt")),
              ERROR_SAME_NAME_FILE);
    EXPECT_FALSE(Exists(d / "y.zip"));
    EXPECT_TRUE(TempLeftovers(d.path()).empty());
}

LRESULT CancelAll(HWND, UINT msg, WPARAM, LPARAM, void* user) {
    if (msg == RegisterWindowMessage(WM_ARCEXTRACT_NAME)) ++*static_cast<int*>(user);
    return 1;
}

TEST(Zip32jProgress, ReplyCancelsAndLeavesNothing) {
    TempDir d;
    WriteFile(d / "a.txt", SampleText(10000));
    WriteFile(d / "old.zip", "");
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "old.zip") + " " + Q(d / "a.txt")), 0);
    std::string before = ReadFile(d / "old.zip");
    int messages = 0;
    HWND wnd = CreateMessageWindow(CancelAll, &messages);
    ASSERT_TRUE(Libs().ZipSetOwnerWindowEx(wnd, nullptr));
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "new.zip") + " " + Q(d / "a.txt")),
              ERROR_USER_CANCEL);
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "old.zip") + " " + Q(d / "a.txt")),
              ERROR_USER_CANCEL);
    EXPECT_TRUE(Libs().ZipKillOwnerWindowEx(wnd));
    DestroyMessageWindow(wnd);
    EXPECT_GE(messages, 2);
    EXPECT_FALSE(Exists(d / "new.zip"));
    EXPECT_EQ(ReadFile(d / "old.zip"), before);
    EXPECT_TRUE(TempLeftovers(d.path()).empty());
}

// The driver registers its window with UNZIP32.DLL only; creating commands
// report to it too.
TEST(Zip32jProgress, WindowRegisteredWithUnzip32GetsZipProgress) {
    TempDir d;
    WriteFile(d / "a.txt", SampleText(1000));
    int messages = 0;
    HWND wnd = CreateMessageWindow(CancelAll, &messages);
    ASSERT_TRUE(Libs().SetOwnerWindowEx(wnd, nullptr));
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "a.zip") + " " + Q(d / "a.txt")),
              ERROR_USER_CANCEL);
    EXPECT_TRUE(Libs().KillOwnerWindowEx(wnd));
    EXPECT_GE(messages, 1);
    EXPECT_FALSE(Exists(d / "a.zip"));
    // Unregistered: no messages, the archive is made.
    int before = messages;
    EXPECT_EQ(Libs().RunZip("-D -q -j " + Q(d / "a.zip") + " " + Q(d / "a.txt")), 0);
    EXPECT_EQ(messages, before);
    DestroyMessageWindow(wnd);
}

// A stub in front of an archive: -A makes the offsets true file offsets, -J
// drops the stub again; both keep every member intact.
TEST(Zip32jCommands, AdjustAndStripSelfExtractorStub) {
    TempDir d;
    WriteFile(d / "a.txt", SampleText(5000));
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "a.zip") + " " + Q(d / "a.txt")), 0);
    const std::string archive = ReadFile(d / "a.zip");
    const std::string stub(4096, 'M');
    WriteFile(d / "my dir/a.EXE", stub + archive);
    // The driver writes the program's path unquoted after "-A ".
    ASSERT_EQ(Libs().RunZip("-A " + d.path() + "/my dir/a.EXE"), 0);
    std::string adjusted = ReadFile(d / "my dir/a.EXE");
    EXPECT_EQ(adjusted.substr(0, stub.size()), stub);
    ZipDirectory dir = ReadDir(d / "my dir/a.EXE");
    ASSERT_EQ(dir.entries.size(), 1u);
    EXPECT_EQ(dir.prefixSize, stub.size());
    // Stored offsets now count the stub: the central record says 4096.
    size_t central = adjusted.rfind(std::string("PK\1\2", 4));
    ASSERT_NE(central, std::string::npos);
    EXPECT_EQ(kt::zip::Get32(reinterpret_cast<const uint8_t*>(adjusted.data()) + central + 42),
              stub.size());
    EXPECT_TRUE(
        Libs().CheckArchive((d / "my dir/a.EXE").c_str(), CHECKARCHIVE_SFX | CHECKARCHIVE_FULLCRC));
    ASSERT_EQ(Libs().RunZip("-J -q " + Q(d / "my dir/a.EXE") + " " + Q(d / "a.txt")), 0);
    EXPECT_EQ(ReadDir(d / "my dir/a.EXE").prefixSize, 0u);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "my dir/a.EXE"}), 0);
}

// -FF reads an archive whose central directory is gone by its local
// headers, so adding to it gives a whole archive again.
TEST(Zip32jCommands, RecoverReadsArchiveWithoutDirectory) {
    TempDir d;
    WriteFile(d / "a.txt", SampleText(3000, 8));
    WriteFile(d / "b.txt", SampleText(3000, 9));
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "x.zip") + " " + Q(d / "a.txt")), 0);
    std::string bytes = ReadFile(d / "x.zip");
    WriteFile(d / "x.zip", bytes.substr(0, bytes.size() - 40));
    EXPECT_NE(Libs().RunZip("-D -q -j " + Q(d / "x.zip") + " " + Q(d / "b.txt")), 0);
    ASSERT_EQ(Libs().RunZip("-D -q -j -FF " + Q(d / "x.zip") + " " + Q(d / "b.txt")), 0);
    EXPECT_EQ(ReadDir(d / "x.zip").entries.size(), 2u);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "x.zip"}), 0);
}

TEST(Zip32jNames, EscapesRecursionHiddenFilesAndResponseFiles) {
    TempDir d;
    WriteFile(d / "src/x[1].txt", "bracket");
    WriteFile(d / "src/sub/deep.txt", "deep");
    WriteFile(d / "src/.hidden", "hidden");
    // "[" arrives escaped; the name is stored as it is on disk.
    ASSERT_EQ(Libs().RunZip("-D -q -j " + Q(d / "e.zip") + " " + Q(d / "src/x[[]1].txt")), 0);
    ASSERT_EQ(ReadDir(d / "e.zip").entries.at(0).name, "x[1].txt");
    // -r below a base folder stores relative names; hidden files need -S.
    ASSERT_EQ(Libs().RunZip("-q -r " + Q(d / "r.zip") + " " + Q(d / "src/") + " *"), 0);
    std::vector<std::string> names;
    for (auto& e : ReadDir(d / "r.zip").entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{"sub/", "sub/deep.txt", "x[1].txt"}));
    ASSERT_EQ(Libs().RunZip("-q -r -D -S " + Q(d / "s.zip") + " " + Q(d / "src/") + " *"), 0);
    names.clear();
    for (auto& e : ReadDir(d / "s.zip").entries) names.push_back(e.name);
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "sub/deep.txt", "x[1].txt"}));
    // A response file names one quoted file per line.
    WriteFile(d / "list.txt",
              "\"" + d / "src/sub/deep.txt" + "\"\r\n" + d / "src/x[[]1].txt" + "\n");
    ASSERT_EQ(Libs().RunZip("-q -j " + Q(d / "l.zip") + " @" + Q(d / "list.txt")), 0);
    EXPECT_EQ(ReadDir(d / "l.zip").entries.size(), 2u);
    EXPECT_EQ(RunTool({"unzip", "-tq", d / "r.zip"}), 0);
    // Store level and an unknown switch.
    ASSERT_EQ(Libs().RunZip("-q -j -0 " + Q(d / "z.zip") + " " + Q(d / "src/sub/deep.txt")), 0);
    EXPECT_EQ(ReadDir(d / "z.zip").entries.at(0).method, kt::zip::kMethodStored);
    EXPECT_EQ(Libs().RunZip("-q -Z " + Q(d / "w.zip") + " " + Q(d / "src/sub/deep.txt")),
              ERROR_COMMAND_NAME);
    // -Y256 turns -P into AES-256; only the three AES key lengths exist.
    ASSERT_EQ(Libs().RunZip("-q -j -Y256 -P \"pw\" " + Q(d / "aes.zip") + " " +
                            Q(d / "src/sub/deep.txt")),
              0);
    EXPECT_EQ(ReadDir(d / "aes.zip").entries.at(0).method, kt::zip::kMethodAes);
    EXPECT_EQ(RunTool({"7z", "t", "-ppw", d / "aes.zip"}), 0);
    EXPECT_EQ(
        Libs().RunZip("-q -j -Y512 -P \"pw\" " + Q(d / "w.zip") + " " + Q(d / "src/sub/deep.txt")),
        ERROR_COMMAND_NAME);
    EXPECT_FALSE(std::filesystem::exists(d / "w.zip"));
}

}  // namespace
}  // namespace kt::ziptest
