// kaltri run as a process, with the real libraries of build/bin, and its
// archives checked by independent readers.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "kaltri_process.h"

namespace fs = std::filesystem;
using namespace kaltri_test;

namespace {

TEST(Kaltri, PacksATreeOneZipPerFileThatUnzipExtractsByteExact) {
    Tree t;
    std::string a = t.Make("src/a.txt", "alpha\n");
    std::string jp = t.Make("src/sub/日本語の名前.txt", "こんにちは\n");
    std::string bin = t.Random("src/sub/deep/data.bin", 300000);
    t.Make("src/empty.dat", "");
    Result r = Sh(kKaltri + " pack --format zip --jobs 1 " + Q(t.root + "/src"));
    ASSERT_EQ(0, r.code) << r.out;
    for (const auto& [arc, name, src] :
         {std::tuple{"src/a.zip", "a.txt", a},
          std::tuple{"src/sub/日本語の名前.zip", "日本語の名前.txt", jp},
          std::tuple{"src/sub/deep/data.zip", "data.bin", bin}}) {
        std::string x = t.root + "/x";
        fs::remove_all(x);
        Result u = Sh("unzip -q -d " + Q(x) + " " + Q(t.root + "/" + arc));
        ASSERT_EQ(0, u.code) << arc << u.out;
        EXPECT_EQ(Read(src), Read(x + "/" + name)) << arc;
        EXPECT_EQ(1, std::distance(fs::directory_iterator(x), fs::directory_iterator{})) << arc;
    }
    EXPECT_TRUE(fs::exists(t.root + "/src/empty.zip"));
}

TEST(Kaltri, OutFolderIsCreatedAndPoliciesDecideAboutExistingArchives) {
    Tree t;
    std::string a = t.Make("a.txt", "one");
    std::string b = t.Make("b.txt", "two");
    std::string out = t.root + "/made/here";
    Result r = Sh(kKaltri + " pack -f zip --out " + Q(out) + " " + Q(a) + " " + Q(b));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_TRUE(fs::exists(out + "/a.zip"));
    std::ofstream(out + "/a.zip") << "keep me";

    // Without a terminal the default is to leave existing archives alone;
    // kept archives are skipped, not failed, so a second run exits 0.
    r = Sh(kKaltri + " pack -f zip --out " + Q(out) + " " + Q(a) + " " + Q(b));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("keep me", Read(out + "/a.zip"));
    EXPECT_NE(std::string::npos, r.out.find("skipped 2")) << r.out;

    r = Sh(kKaltri + " pack -f zip --overwrite all --out " + Q(out) + " " + Q(a));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ(0, Sh("unzip -tq " + Q(out + "/a.zip")).code);
}

TEST(Kaltri, FailuresFollowTheErrorPolicyAndBadUsageExitsTwo) {
    Tree t;
    std::string a = t.Make("a.txt", "one");
    std::string b = t.Make("b.txt", "two");
    // A folder where b's archive should go: packing b fails.
    fs::create_directories(t.root + "/b.zip/inside");
    Result r =
        Sh(kKaltri + " pack -f zip --overwrite all --on-error stop -j1 " + Q(b) + " " + Q(a));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/a.zip"));
    r = Sh(kKaltri + " pack -f zip --overwrite all --on-error continue -j1 " + Q(b) + " " + Q(a));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_TRUE(fs::exists(t.root + "/a.zip"));

    r = Sh(kKaltri + " pack --format tar x");
    EXPECT_EQ(2, r.code);
    EXPECT_NE(std::string::npos, r.out.find("usage: kaltri pack")) << r.out;
    EXPECT_EQ(2, Sh(kKaltri).code);
    EXPECT_EQ(2, Sh(kKaltri + " pack -f zip --password=x a").code);
    EXPECT_EQ(0, Sh(kKaltri + " --help").code);
    EXPECT_EQ(0, Sh(kKaltri + " --version").code);
}

TEST(Kaltri, APasswordFromAFileEncryptsAndAQuoteIsRefused) {
    Tree t;
    std::string a = t.Make("a.txt", "secret text");
    std::string pw = t.Make("pw", "two words & $ymbols\n");
    Result r = Sh(kKaltri + " pack -f zip --password-file " + Q(pw) + " " + Q(a));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_NE("secret text", Sh("unzip -p -P wrong " + Q(t.root + "/a.zip")).out);
    Result u = Sh("unzip -p -P 'two words & $ymbols' " + Q(t.root + "/a.zip"));
    EXPECT_EQ("secret text", u.out);

    std::string bad = t.Make("bad", "with \" quote\n");
    fs::remove(t.root + "/a.zip");
    r = Sh(kKaltri + " pack -f zip --password-file " + Q(bad) + " " + Q(a));
    EXPECT_EQ(2, r.code);
    EXPECT_FALSE(fs::exists(t.root + "/a.zip"));
}

TEST(Kaltri, AnEmptyPasswordIsRefusedRatherThanPackingWithoutOne) {
    Tree t;
    std::string a = t.Make("p.txt", "hi");
    std::string empty = t.Make("pw", "\n");
    Result r = Sh(kKaltri + " pack -f zip --password-file " + Q(empty) + " " + Q(a));
    EXPECT_EQ(2, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("empty password")) << r.out;
    EXPECT_FALSE(fs::exists(t.root + "/p.zip"));
}

TEST(Kaltri, WildcardCharactersInRealNamesPackExactlyThatFile) {
    Tree t;
    std::string q = t.Make("d/a?.txt", "question"), b = t.Make("d/[x].txt", "bracket");
    t.Make("d/ab.txt", "neighbour");
    t.Make("d/x.txt", "neighbour");
    for (const char* f : {"zip", "lzh"}) {
        SCOPED_TRACE(f);
        Result r = Sh(kKaltri + " pack --overwrite all -f " + f + " " + Q(q) + " " + Q(b));
        ASSERT_EQ(0, r.code) << r.out;
        const std::string ext = std::string(".") + f;
        EXPECT_EQ("a?.txt\n", Sh("bsdtar -tf " + Q(t.root + "/d/a?" + ext)).out);
        EXPECT_EQ("[x].txt\n", Sh("bsdtar -tf " + Q(t.root + "/d/[x]" + ext)).out);
        EXPECT_EQ("question", Sh("bsdtar -xOf " + Q(t.root + "/d/a?" + ext)).out);
    }
}

TEST(Kaltri, TwoSourcesWithOneStemNeverLoseAnArchive) {
    Tree t;
    std::string a = t.Make("a.txt", "T\n"), d = t.Make("a.dat", "D\n");
    Result r = Sh(kKaltri + " pack --format zip --overwrite all " + Q(a) + " " + Q(d));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("packed 1, skipped 0, failed 1")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("was made from " + a)) << r.out;
    EXPECT_EQ("a.txt\n", Sh("unzip -Z1 " + Q(t.root + "/a.zip")).out);

    r = Sh(kKaltri + " pack --format zip --overwrite all --on-clash rename -j 2 " + Q(a) + " " +
           Q(d));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("T\n", Sh("unzip -p " + Q(t.root + "/a.zip")).out);
    EXPECT_EQ("D\n", Sh("unzip -p " + Q(t.root + "/a (2).zip")).out);
}

TEST(Kaltri, TemporariesOfAKilledRunAreRemovedByTheNextRun) {
    Tree t;
    std::string a = t.Make("a.txt", "a");
    // What a run killed with -9 leaves: a temporary named for its process.
    pid_t dead = 999999;
    while (kill(dead, 0) == 0) --dead;
    std::string stale =
        t.Make("." + std::string("~kt") + std::to_string(dead) + "_0.zip", "partial");
    Sh("touch -d '2000-01-01' " + Q(stale));
    Result r = Sh(kKaltri + " pack -f zip " + Q(a));
    ASSERT_EQ(0, r.code) << r.out;
    EXPECT_FALSE(fs::exists(stale));
}

// The names of the sources in the order a run's messages mention them.
std::vector<std::string> MessageOrder(const std::string& out, const std::string& folder) {
    std::vector<std::string> order;
    std::size_t p = 0;
    while ((p = out.find(folder + "/", p)) != std::string::npos) {
        std::size_t end = out.find(' ', p);
        order.push_back(out.substr(p + folder.size() + 1, end - p - folder.size() - 1));
        p = out.find('\n', p);
        if (p == std::string::npos) break;
    }
    return order;
}

TEST(Kaltri, ParallelJobsMakeTheSameArchivesAsOneJob) {
    Tree t;
    for (int i = 0; i < 24; ++i) t.Random("one/f" + std::to_string(i) + ".txt", 1000 + 3000 * i);
    fs::copy(t.root + "/one", t.root + "/four", fs::copy_options::recursive);
    Result one = Sh(kKaltri + " pack -f zip -j1 " + Q(t.root + "/one"));
    ASSERT_EQ(0, one.code) << one.out;
    Result four = Sh(kKaltri + " pack -f zip -j4 " + Q(t.root + "/four"));
    ASSERT_EQ(0, four.code) << four.out;
    for (int i = 0; i < 24; ++i) {
        std::string name = "/f" + std::to_string(i) + ".zip";
        std::string x4 = Sh("unzip -p " + Q(t.root + "/four" + name)).out;
        EXPECT_EQ(Sh("unzip -p " + Q(t.root + "/one" + name)).out, x4) << name;
        EXPECT_EQ(Read(t.root + "/one/f" + std::to_string(i) + ".txt"), x4) << name;
    }
    // Messages keep the order of the input, whatever finishes first.
    std::vector<std::string> order = MessageOrder(four.out, t.root + "/four");
    EXPECT_EQ(24u, order.size());
    EXPECT_EQ(MessageOrder(one.out, t.root + "/one"), order);
}

TEST(Kaltri, AnInterruptedRunLeavesNoPartialArchiveAndNoChangedSource) {
    Tree t;
    std::string big = t.Random("big.bin", 20 * 1000 * 1000);
    std::string before = Read(big);
    pid_t pid = fork();
    if (pid == 0) {
        execl(kKaltri.c_str(), "kaltri", "pack", "-f", "zip", "-j1", big.c_str(),
              static_cast<char*>(nullptr));
        _exit(99);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    kill(pid, SIGINT);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    int code = WEXITSTATUS(status);
    EXPECT_EQ(130, code);
    // The library either stopped (nothing made) or had finished the archive
    // before it was asked again: never a partial archive or a temporary.
    bool made = fs::exists(t.root + "/big.zip");
    if (made) {
        EXPECT_EQ(0, Sh("unzip -tq " + Q(t.root + "/big.zip")).code);
    }
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(t.root)) files += e.is_regular_file() ? 1 : 0;
    EXPECT_EQ(made ? 2u : 1u, files);
    EXPECT_EQ(before, Read(big));
}

TEST(Kaltri, ListTestAndExtractAZip) {
    Tree t;
    t.Make("w/dir/inner.txt", "inner");
    ASSERT_EQ(0, Sh("cd " + Q(t.root + "/w") + " && zip -qr ../made.zip dir").code);
    Result r = Sh(kKaltri + " list " + Q(t.root + "/made.zip"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("dir/inner.txt")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("\n2 members\n")) << r.out;  // dir/ and its file
    // Several archives: each under its name; one that is missing is named,
    // the others are still listed, and the status says something failed.
    ASSERT_EQ(0, Sh("cd " + Q(t.root + "/w") + " && zip -q ../second.zip dir/inner.txt").code);
    r = Sh("LANG=C " + kKaltri + " list " + Q(t.root + "/made.zip") + " " +
           Q(t.root + "/gone.zip") + " " + Q(t.root + "/second.zip") + " 2>&1");
    EXPECT_EQ(1, r.code) << r.out;
    const std::size_t made = r.out.find(t.root + "/made.zip:\n");
    const std::size_t second = r.out.find(t.root + "/second.zip:\n");
    ASSERT_NE(std::string::npos, made) << r.out;
    ASSERT_NE(std::string::npos, second) << r.out;
    EXPECT_LT(made, second);
    EXPECT_NE(std::string::npos, r.out.find("gone.zip")) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("1 members", second)) << r.out;
    EXPECT_EQ(0, Sh(kKaltri + " test " + Q(t.root + "/made.zip")).code);
    // Several archives are tested in turn and summed up, and extracted in turn.
    r = Sh("LANG=C " + kKaltri + " test " + Q(t.root + "/made.zip") + " " +
           Q(t.root + "/gone.zip") + " " + Q(t.root + "/second.zip"));
    EXPECT_EQ(1, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("tested 3 archives: 2 sound, 1 not")) << r.out;
    r = Sh(kKaltri + " extract --overwrite all " + Q(t.root + "/made.zip") + " " +
           Q(t.root + "/second.zip") + " -o " + Q(t.root + "/both"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("inner", Read(t.root + "/both/dir/inner.txt"));
    r = Sh(kKaltri + " extract " + Q(t.root + "/made.zip") + " -o " + Q(t.root + "/out"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ("inner", Read(t.root + "/out/dir/inner.txt"));

    // A damaged archive fails its test.
    std::string data = Read(t.root + "/made.zip");
    std::size_t at = data.find("innerPK");  // the stored data, just before the directory
    ASSERT_NE(std::string::npos, at);
    data[at] ^= 0x55;
    std::ofstream(t.root + "/bad.zip", std::ios::binary) << data;
    r = Sh(kKaltri + " test " + Q(t.root + "/bad.zip"));
    EXPECT_EQ(1, r.code);
    EXPECT_NE(std::string::npos, r.out.find("dir/inner.txt")) << r.out;  // the member
    EXPECT_NE(std::string::npos, r.out.find("CRC")) << r.out;            // and the reason
    EXPECT_EQ(1, Sh(kKaltri + " list " + Q(t.root + "/nothing.zip")).code);
    t.Make("plain.txt", "not an archive");
    r = Sh(kKaltri + " list " + Q(t.root + "/plain.txt"));
    EXPECT_EQ(1, r.code);
}

TEST(Kaltri, PacksLzhThatLhasaAnd7zExtractAndListsTestsAndExtractsIt) {
    Tree t;
    std::string a = t.Make("src/readme.txt", std::string(5000, 'x') + "tail\n");
    std::string jp = t.Make("src/資料/表と一覧.csv", "一,二,三\n");
    std::string bin = t.Random("src/data.bin", 200000);
    Result r = Sh(kKaltri + " pack -j2 " + Q(t.root + "/src"));
    ASSERT_EQ(0, r.code) << r.out;
    // Linux readers write LZH names as their stored CP932 bytes, so the
    // Japanese name is checked through our own extraction below.
    for (const auto& [arc, name, src] : {std::tuple{"src/readme.lzh", "readme.txt", a},
                                         std::tuple{"src/data.lzh", "data.bin", bin}}) {
        std::string x = t.root + "/x";
        fs::remove_all(x);
        fs::create_directories(x);
        Result l = Sh("cd " + Q(x) + " && lhasa xq " + Q(t.root + "/" + arc));
        ASSERT_EQ(0, l.code) << arc << l.out;
        EXPECT_EQ(Read(src), Read(x + "/" + name)) << arc;
        fs::remove_all(x);
        Result z = Sh("7z x -y -o" + Q(x) + " " + Q(t.root + "/" + arc));
        ASSERT_EQ(0, z.code) << arc << z.out;
        EXPECT_EQ(Read(src), Read(x + "/" + name)) << arc;
    }
    r = Sh(kKaltri + " list " + Q(t.root + "/src/data.lzh"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("data.bin")) << r.out;
    EXPECT_EQ(0, Sh(kKaltri + " test " + Q(t.root + "/src/data.lzh")).code);
    r = Sh(kKaltri + " extract " + Q(t.root + "/src/資料/表と一覧.lzh") + " -o " +
           Q(t.root + "/out"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_EQ(Read(jp), Read(t.root + "/out/表と一覧.csv"));

    // An archive another tool wrote is read too, found by its content.
    ASSERT_EQ(0, Sh("cd " + Q(t.root + "/src") + " && jlha a ../other.dat readme.txt").code);
    r = Sh(kKaltri + " list " + Q(t.root + "/other.dat"));
    EXPECT_EQ(0, r.code) << r.out;
    EXPECT_NE(std::string::npos, r.out.find("readme.txt")) << r.out;
}

}  // namespace

TEST(Kaltri, ReadsTheFormatsOtherToolsWrite) {
    Tree t;
    std::string text = Read(t.Random("w/a.txt", 300000));
    const std::string w = Q(t.root + "/w");
    struct Case {
        const char* archive;
        std::string make;
        std::string options;
    };
    t.Make("pw", "s3cret\n");
    const Case cases[] = {
        {"aes.zip", "7z a -tzip -ps3cret -mem=AES256 ../aes.zip a.txt",
         "--password-file " + Q(t.root + "/pw")},
        {"d64.zip", "7z a -tzip -m0=Deflate64 ../d64.zip a.txt", ""},
        {"bz.zip", "zip -q -Z bzip2 ../bz.zip a.txt", ""},
        {"m4.arj", "arj a -m4 ../m4.arj a.txt", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        if (Sh("cd " + w + " && " + c.make).code != 0) continue;  // the tool is missing
        std::string arc = Q(t.root + "/" + c.archive), out = t.root + "/out-" + c.archive;
        Result r = Sh(kKaltri + " test " + c.options + " " + arc);
        EXPECT_EQ(0, r.code) << r.out;
        r = Sh(kKaltri + " extract " + c.options + " " + arc + " -o " + Q(out));
        EXPECT_EQ(0, r.code) << r.out;
        EXPECT_TRUE(Read(out + "/a.txt") == text);
    }
    // With a wrong password the AES member is named with its reason.
    if (fs::exists(t.root + "/aes.zip")) {
        t.Make("wrong", "guess\n");
        Result r = Sh(kKaltri + " test --password-file " + Q(t.root + "/wrong") + " " +
                      Q(t.root + "/aes.zip"));
        EXPECT_EQ(1, r.code);
        EXPECT_NE(std::string::npos, r.out.find("a.txt")) << r.out;
        EXPECT_NE(std::string::npos, r.out.find("wrong password")) << r.out;
    }
}

TEST(Kaltri, TheProgressLineUsesNoEscapeSequenceOnADumbTerminal) {
    if (Sh("command -v script").code != 0) GTEST_SKIP() << "script (util-linux) is not installed";
    Tree t;
    t.Make("d/a.txt", "a");
    t.Make("d/b.txt", "b");
    // On a terminal (script gives kaltri one) the progress line is drawn;
    // TERM decides how it is cleared.
    for (const char* term : {"xterm", "dumb"}) {
        Result r = Sh("script -qec " +
                      Q("env TERM=" + std::string(term) + " " + kKaltri +
                        " pack -f zip --overwrite all " + t.root + "/d") +
                      " /dev/null");
        EXPECT_EQ(0, r.code) << term << "\n" << r.out;
        EXPECT_NE(std::string::npos, r.out.find("packed 2")) << term << "\n" << r.out;
        EXPECT_EQ(std::string(term) == "xterm", r.out.find("\x1b[K") != std::string::npos)
            << term << "\n"
            << r.out;
    }
}

TEST(Kaltri, PackedFilesGoToStdoutAndEveryFailureOrSkipToStderrMarkedAsKaltris) {
    Tree t;
    t.Make("a.txt", "a");
    t.Make("b.txt", "b");
    fs::create_directories(t.root + "/b.zip");  // a folder where b's archive goes: b fails
    t.Make("c.txt", "c");
    t.Make("c.zip", "an archive kept");  // kept: c is skipped
    Result r = Sh("cd " + Q(t.root) + " && (LANG=C " + kKaltri +
                  " pack -f zip a.txt b.txt c.txt >o.txt 2>e.txt)");
    EXPECT_EQ(1, r.code);
    const std::string out = Read(t.root + "/o.txt"), err = Read(t.root + "/e.txt");
    EXPECT_NE(std::string::npos, out.find("a.txt -> ")) << out;
    EXPECT_EQ(std::string::npos, out.find("b.txt")) << out;
    EXPECT_EQ(std::string::npos, out.find("c.txt")) << out;
    for (const char* name : {"b.txt", "c.txt"}) {
        const std::size_t at = err.find(name);
        ASSERT_NE(std::string::npos, at) << err;
        const std::size_t line = err.rfind('\n', at);
        EXPECT_EQ(0u, err.compare(line == std::string::npos ? 0 : line + 1, 8, "kaltri: "))
            << name << "\n"
            << err;
    }
}

TEST(Kaltri, PathsFromAFileListOrStandardInputPackWhateverTheirNames) {
    // NUL-ended names carry anything (blanks, a line break, bytes that are
    // not UTF-8); a line list carries every name without a line break.
    const std::vector<std::string> names = {"two words.txt", "line\nbreak.txt",
                                            "caf\xE9 latin-1.txt", "plain.txt"};
    struct Row {
        const char* how;  // the options, LIST standing for the list file
        bool nul;
    };
    for (const Row& row : {Row{"--null -T -", true}, Row{"-T LIST", false}, Row{"-@", false}}) {
        SCOPED_TRACE(row.how);
        Tree t;
        std::string list;
        for (const std::string& name : names) {
            if (!row.nul && name.find('\n') != std::string::npos) continue;
            list += t.Make("src/" + name, "body of " + name) + (row.nul ? '\0' : '\n');
        }
        list += row.nul ? std::string(1, '\0') : "\n";  // an empty entry is passed over
        t.Make("list", list);
        std::string how = row.how;
        if (how.find("LIST") != std::string::npos)
            how.replace(how.find("LIST"), 4, Q(t.root + "/list"));
        // Standard input through a pipe, as `find -print0 | kaltri ...` gives it.
        const bool fromStdin = std::string(row.how) != "-T LIST";
        const std::string pack = kKaltri + " pack -f zip " + how + " --out " + Q(t.root + "/arc");
        const std::string script =
            t.Make("pack.sh", "cat " + Q(t.root + "/list") + " | " + pack + "\n");
        Result r = Sh(fromStdin ? "sh " + Q(script) : pack);
        EXPECT_EQ(0, r.code) << r.out;
        for (const std::string& name : names) {
            if (!row.nul && name.find('\n') != std::string::npos) continue;
            const std::string archive = t.root + "/arc/" + name.substr(0, name.size() - 4) + ".zip";
            EXPECT_TRUE(fs::exists(archive)) << archive << "\n" << r.out;
        }
        EXPECT_EQ(row.nul ? 4 : 3,
                  std::distance(fs::directory_iterator(t.root + "/arc"), fs::directory_iterator{}));
    }
}
