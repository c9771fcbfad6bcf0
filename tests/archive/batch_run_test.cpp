// The run engine with the real LZH and ZIP libraries of build/bin and a
// recording set of answers: where archives go, what is asked, and the
// faults a run must not have (names taken as patterns, partial archives,
// names that are not UTF-8, archives of one run replacing each other).
#include "archive/batch_run.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <filesystem>

#include "archive/pack_one.h"
#include "platform/archiver_api.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace kt {
namespace {

class Answers : public TBatchQuestions {
public:
    std::deque<TBatchAnswer> Script;
    std::vector<std::string> Asked;

    TBatchAnswer FolderMissing(const std::string& f) override { return Next("missing " + f); }
    TBatchAnswer FolderNotCreated(const std::string& f) override {
        return Next("not created " + f);
    }
    TBatchAnswer FolderIsFile(const std::string& f) override { return Next("is file " + f); }
    TBatchAnswer ArchiveExists(const std::string& a) override { return Next("exists " + a); }
    TBatchAnswer PackFailed(const TEntryOutcome& o) override { return Next("failed " + o.Source); }

private:
    TBatchAnswer Next(const std::string& what) {
        Asked.push_back(what);
        if (Script.empty()) return TBatchAnswer::Abort;
        TBatchAnswer a = Script.front();
        Script.pop_front();
        return a;
    }
};

// Member names as an outside tool lists them, one per line.
std::string Members(const std::string& archive) {
    const bool zip = archive.size() > 4 && archive.compare(archive.size() - 4, 4, ".zip") == 0;
    const std::string cmd = (zip ? "unzip -Z1 '" : "bsdtar -tf '") + archive + "' 2>/dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[256];
    while (p != nullptr && fgets(buf, sizeof buf, p) != nullptr) out += buf;
    if (p != nullptr) pclose(p);
    return out;
}

// Every entry of a folder that is a temporary archive.
std::vector<std::string> Temporaries(const std::string& folder) {
    std::vector<std::string> found;
    for (auto& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind(".~kt", 0) == 0) found.push_back(e.path());
    return found;
}

class BatchRun : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* lib : {"UNLHA32.DLL", "ZIP32J.DLL", "ZIP32.DLL"})
            ASSERT_TRUE(fs::exists(std::string(KT_BIN_DIR) + "/" + lib)) << lib << " not built";
    }
    // Prepares, packs and finishes one source; the outcome of the pack.
    TEntryOutcome PackOne(TBatchRun& run, const std::string& source, TBatchRun::TStep expect) {
        const TBatchRun::TPlan plan = run.Prepare(source);
        EXPECT_EQ(static_cast<int>(plan.Step), static_cast<int>(expect)) << source;
        if (plan.Step == TBatchRun::TStep::Fail) {
            run.Finish(plan.Failure);
            return plan.Failure;
        }
        if (plan.Step != TBatchRun::TStep::Pack) return {};
        TEntryOutcome o = TBatchRun::Pack(archive, plan);
        run.Finish(o);
        return o;
    }
    test::TempFolder dir;
    TArchiveFile archive;
    Answers answers;
};

TEST_F(BatchRun, ANameWithWildcardCharactersPacksExactlyItselfInBothFormats) {
    const std::string q = dir.Write("a?.txt", "question"), b = dir.Write("[x].txt", "bracket");
    dir.Write("ab.txt", "neighbour");
    dir.Write("x.txt", "neighbour");
    for (const char* ext : {".zip", ".lzh"}) {
        SCOPED_TRACE(ext);
        TBatchSettings s;
        s.Type = ext == std::string(".zip") ? atZip : atLha;
        TBatchRun run(s, answers);
        run.Configure(archive);
        EXPECT_TRUE(PackOne(run, q, TBatchRun::TStep::Pack).Ok());
        EXPECT_TRUE(PackOne(run, b, TBatchRun::TStep::Pack).Ok());
        EXPECT_EQ(Members(dir / (std::string("a?") + ext)), "a?.txt\n");
        EXPECT_EQ(Members(dir / (std::string("[x]") + ext)), "[x].txt\n");
    }
    EXPECT_TRUE(answers.Asked.empty());
}

TEST_F(BatchRun, AFailedOrCancelledPackLeavesNoArchiveAndNoTemporary) {
    const std::string src = dir.Write("big.bin", std::string(3 << 20, 'z'));
    dir.Write("old.zip", "old archive");
    for (const char* ext : {".zip", ".lzh"}) {
        SCOPED_TRACE(ext);
        TBatchSettings s;
        s.Type = ext == std::string(".zip") ? atZip : atLha;
        TBatchRun run(s, answers);
        run.Configure(archive);
        // The library's first progress report is answered with "stop".
        archive.OnProgress = [](TArchiveFile*, int, EXTRACTINGINFOEX*, bool& abort) {
            abort = true;
        };
        answers.Script = {TBatchAnswer::YesToAll};
        TEntryOutcome o = PackOne(run, src, TBatchRun::TStep::Pack);
        archive.OnProgress = nullptr;
        EXPECT_EQ(o.Fault, TEntryFault::Library);
        EXPECT_FALSE(fs::exists(dir / (std::string("big") + ext)));
        EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{});
    }
    EXPECT_EQ(test::ReadAll(dir / "old.zip"), "old archive");
}

TEST_F(BatchRun, TheRootAsChosenFolderTakesArchivesIntoTheRootWithoutAsking) {
    TBatchSettings s;
    s.NextToSource = false;
    s.ChosenFolder = "/";
    TBatchRun run(s, answers);
    EXPECT_EQ(run.FixedFolder(), "/");
    const std::string src = dir.Write("kt-root-test-source.txt", "x");
    TBatchRun::TPlan plan = run.Prepare(src);
    EXPECT_EQ(plan.Folder, "/");
    EXPECT_EQ(plan.Archive, "/kt-root-test-source.zip");
    EXPECT_TRUE(answers.Asked.empty());
    run.Abandon(plan);

    // A trailing "/" of any other folder goes; the folder is asked for once
    // per entry while it is missing.
    s.ChosenFolder = dir / "out/";
    TBatchRun run2(s, answers);
    answers.Script = {TBatchAnswer::No};
    EXPECT_EQ(static_cast<int>(run2.Prepare(src).Step), static_cast<int>(TBatchRun::TStep::Skip));
    EXPECT_EQ(answers.Asked, std::vector<std::string>{"missing " + (dir / "out")});
}

TEST_F(BatchRun, NamesThatAreNotUtf8KeepTheirBytesNextToTheSourceAndInTheChosenFolder) {
    const std::string odd = std::string("caf\xe9-\xff", 6);
    const std::string folder = dir / (std::string("dir-\xfe", 5));
    fs::create_directories(folder);
    const std::string src = folder + "/" + odd + ".txt";
    dir.Write(std::string("dir-\xfe", 5) + "/" + odd + ".txt", "latin-1 name");
    TBatchSettings s;
    TBatchRun run(s, answers);
    run.Configure(archive);
    EXPECT_TRUE(PackOne(run, src, TBatchRun::TStep::Pack).Ok());
    EXPECT_TRUE(fs::is_regular_file(folder + "/" + odd + ".zip"));

    s.NextToSource = false;
    s.ChosenFolder = dir / (std::string("out-\xfd", 5));
    s.Type = atLha;
    TBatchRun run2(s, answers);
    run2.Configure(archive);
    answers.Script = {TBatchAnswer::Yes};
    EXPECT_TRUE(PackOne(run2, src, TBatchRun::TStep::Pack).Ok());
    EXPECT_EQ(answers.Asked, std::vector<std::string>{"missing " + s.ChosenFolder});
    EXPECT_TRUE(fs::is_regular_file(s.ChosenFolder + "/" + odd + ".lzh"));
}

TEST_F(BatchRun, NoSourceOfTheRunReplacesAnArchiveAnotherMadeAndNothingIsAskedAboutIt) {
    const std::string t = dir.Write("a.txt", "text"), d = dir.Write("a.dat", "data");
    TBatchSettings s;
    for (bool old : {false, true}) {
        SCOPED_TRACE(old);
        // With an archive of an earlier run there, the first source meets
        // the overwrite question; the second, whose answer could not count,
        // never does.
        if (old) dir.Write("a.zip", "old");
        TBatchRun run(s, answers);
        run.Configure(archive);
        answers.Asked.clear();
        answers.Script = {TBatchAnswer::YesToAll, TBatchAnswer::Yes};
        EXPECT_TRUE(PackOne(run, t, TBatchRun::TStep::Pack).Ok());
        TEntryOutcome o = PackOne(run, d, TBatchRun::TStep::Fail);
        EXPECT_EQ(o.Fault, TEntryFault::SameArchive);
        EXPECT_EQ(o.Other, t);
        EXPECT_EQ(Members(dir / "a.zip"), "a.txt\n");
        std::vector<std::string> asked{"failed " + d};
        if (old) asked.insert(asked.begin(), "exists " + (dir / "a.zip"));
        EXPECT_EQ(answers.Asked, asked);
    }
}

TEST_F(BatchRun, ASourceListedTwiceIsDoneWithoutAQuestionAndWithoutPackingAgain) {
    const std::string t = dir.Write("a.txt", "text"), bad = dir.Write("b.txt", "b");
    TBatchSettings s;
    TBatchRun run(s, answers);
    run.Configure(archive);
    EXPECT_TRUE(PackOne(run, t, TBatchRun::TStep::Pack).Ok());
    const auto stamp = fs::last_write_time(dir / "a.zip");
    const TBatchRun::TPlan again = run.Prepare(t);
    EXPECT_EQ(static_cast<int>(again.Step), static_cast<int>(TBatchRun::TStep::Done));
    EXPECT_EQ(again.Archive, dir / "a.zip");
    EXPECT_EQ(fs::last_write_time(dir / "a.zip"), stamp);
    EXPECT_TRUE(answers.Asked.empty());

    // Until its outcome is finished the source is unsettled; a failed one
    // is planned afresh the next time.
    const TBatchRun::TPlan first = run.Prepare(bad);
    EXPECT_TRUE(run.Unsettled(bad));
    TEntryOutcome failed;
    failed.Source = bad;
    failed.Archive = first.Archive;
    failed.Fault = TEntryFault::Library;
    answers.Script = {TBatchAnswer::Yes};
    EXPECT_TRUE(run.Finish(failed));
    EXPECT_FALSE(run.Unsettled(bad));
    EXPECT_EQ(static_cast<int>(run.Prepare(bad).Step), static_cast<int>(TBatchRun::TStep::Pack));
}

TEST_F(BatchRun, ASourceThatIsItsOwnArchiveIsPassedOverInEitherFormatAndFolderMode) {
    const std::string zip = dir.Write("d/a.zip", "zip"), lzh = dir.Write("d/a.lzh", "lzh");
    fs::create_directory_symlink(dir / "d", dir / "via-link");
    struct Case {
        TArchiverType type;
        bool nextToSource;
        std::string chosen, source;
    } cases[] = {
        {atZip, true, "", zip},
        {atLha, true, "", lzh},
        {atZip, false, dir / "d", zip},
        // The chosen folder is the source's folder by another path.
        {atLha, false, dir / "via-link", lzh},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source + " " + c.chosen);
        TBatchSettings s;
        s.Type = c.type;
        s.NextToSource = c.nextToSource;
        s.ChosenFolder = c.chosen;
        TBatchRun run(s, answers);
        const TBatchRun::TPlan plan = run.Prepare(c.source);
        EXPECT_EQ(static_cast<int>(plan.Step), static_cast<int>(TBatchRun::TStep::PassOver));
    }
    EXPECT_TRUE(answers.Asked.empty());
    EXPECT_EQ(test::ReadAll(zip), "zip");
    EXPECT_EQ(test::ReadAll(lzh), "lzh");

    // The other format's archive is an ordinary source: its archive exists
    // and is asked about.
    TBatchSettings s;
    TBatchRun run(s, answers);
    answers.Script = {TBatchAnswer::Yes};
    const TBatchRun::TPlan plan = run.Prepare(lzh);
    EXPECT_EQ(static_cast<int>(plan.Step), static_cast<int>(TBatchRun::TStep::Pack));
    EXPECT_EQ(answers.Asked, std::vector<std::string>{"exists " + zip});
    run.Abandon(plan);
}

TEST_F(BatchRun, QuotesAndLineBreaksPackAndAFolderInTheWayAndAVanishedSourceFailOnlyTheirEntry) {
    const std::string quote = dir.Write("say \"hi\".txt", "q"),
                      nl = dir.Write("two\nlines.txt", "n");
    const std::string blocked = dir.Write("blocked.txt", "b"), gone = dir.Write("gone.txt", "g");
    fs::create_directories(dir / "blocked.zip");
    TBatchSettings s;
    TBatchRun run(s, answers);
    run.Configure(archive);
    answers.Script = {TBatchAnswer::Yes, TBatchAnswer::Yes};
    // Names no quoted command line can carry reach the library whole.
    EXPECT_TRUE(PackOne(run, quote, TBatchRun::TStep::Pack).Ok());
    EXPECT_TRUE(PackOne(run, nl, TBatchRun::TStep::Pack).Ok());
    EXPECT_EQ(Members(dir / "say \"hi\".zip"), "say \"hi\".txt\n");
    // unzip shows a line break as "^J"; the archive holds the byte itself.
    EXPECT_EQ(Members(dir / "two\nlines.zip"), "two^Jlines.txt\n");
    EXPECT_EQ(PackOne(run, blocked, TBatchRun::TStep::Fail).Fault, TEntryFault::ArchiveIsFolder);
    const TBatchRun::TPlan plan = run.Prepare(gone);
    fs::remove(gone);
    EXPECT_EQ(TBatchRun::Pack(archive, plan).Fault, TEntryFault::SourceMissing);
    EXPECT_EQ(answers.Asked.size(), 1u);  // the failure question after the folder in the way
    EXPECT_TRUE(fs::is_directory(dir / "blocked.zip"));
    EXPECT_EQ(Temporaries(dir.Path()), std::vector<std::string>{});
}

TEST_F(BatchRun, StaleTemporariesOfADeadRunGoWhenTheRunWritesIntoTheirFolder) {
    // A process id that is not running, and a temporary older than this
    // process; one of a live process and an ordinary dotted file stay.
    pid_t dead = 999999;
    while (kill(dead, 0) == 0) --dead;
    const std::string stale = dir.Write(".~kt" + std::to_string(dead) + "_3.zip", "partial");
    const std::string live = dir.Write(".~kt" + std::to_string(getppid()) + "_0.zip", "partial");
    const std::string other = dir.Write(".~ktnotes.txt", "mine");
    // A library's own temporary file of a killed run.
    const std::string library =
        dir.Write(".a.zip.kt" + std::to_string(dead) + "-Xy12.tmp", "partial");
    const std::string src = dir.Write("a.txt", "a");
    for (const std::string& p : {stale, live, other}) {
        struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
        utimensat(AT_FDCWD, p.c_str(), times, 0);
    }
    TBatchSettings s;
    TBatchRun run(s, answers);
    run.Configure(archive);
    EXPECT_TRUE(PackOne(run, src, TBatchRun::TStep::Pack).Ok());
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_FALSE(fs::exists(library));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(other));
}

TEST_F(BatchRun, SettingsFaultsAndThePasswordSwitch) {
    TBatchSettings s;
    s.Password = "pa\"ss";
    EXPECT_EQ(CheckBatchSettings(s), TBatchSetupFault::PasswordHasQuote);
    s.Type = atLha;  // LZH takes no password at all
    EXPECT_EQ(CheckBatchSettings(s), TBatchSetupFault::None);
    EXPECT_EQ(PasswordSwitch(atLha, "secret"), "");
    EXPECT_EQ(PasswordSwitch(atZip, "secret"), "-P \"secret\"");
    EXPECT_EQ(PasswordSwitch(atZip, ""), "");
    s.NextToSource = false;
    EXPECT_EQ(CheckBatchSettings(s), TBatchSetupFault::NoChosenFolder);
}

}  // namespace
}  // namespace kt
