// The run's decisions without real libraries: the packer is a function that
// writes a small file, so policies, ordering and parallel workers can be
// checked exactly.
#include "pack_run.h"
#include "platform/core_budget.h"
#include "tests/support/files.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <sstream>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace kaltri;

namespace {

struct Tree {
    kt::test::TempFolder folder;
    std::string root = folder.Path();
    std::string Make(const std::string& rel, const std::string& body = "data") {
        return folder.Write(rel, body);
    }
};

std::string Read(const std::string& p) { return kt::test::ReadAll(p); }

// Writes "packed:<source>" as the archive; fails for sources containing "bad".
kt::JobResult FakePack(const std::string& archive, const std::string& source, bool = false) {
    kt::JobResult r;
    if (source.find("bad") != std::string::npos) {
        r.code = 0x8013;
        r.output = "cannot write";
        return r;
    }
    std::ofstream(archive) << "packed:" << source;
    return r;
}

struct Script {
    std::deque<char> answers;
    std::vector<std::string> questions;
    AskFunction Fn() {
        return [this](const std::string& q, const std::string&) -> std::optional<char> {
            questions.push_back(q);
            if (answers.empty()) return std::nullopt;
            char c = answers.front();
            answers.pop_front();
            return c;
        };
    }
};

// The settings every test gives: the format, and how many files are packed at once.
RunSettings Settings(kt::TArchiverType type, int jobs = 1) {
    RunSettings s;
    s.type = type;
    s.jobs = jobs;
    return s;
}

kt::TSources Collect(const std::vector<std::string>& paths) {
    return kt::CollectSources(paths, kPackRules);
}

RunSummary RunWith(const kt::TSources& plan, RunSettings s, Script& script,
                   std::vector<std::string>* lines = nullptr, const PackFunction& pack = FakePack) {
    std::atomic<bool> interrupted{false};
    std::vector<std::string> sink;
    return RunPack(plan, s, pack, script.Fn(), interrupted,
                   [&](const std::string& l, LineKind) { (lines ? *lines : sink).push_back(l); });
}

TEST(PackRun, OneArchivePerFileNextToItsSourceOrInTheOutFolder) {
    Tree t;
    t.Make("a.txt");
    t.Make("sub/b.doc");
    t.Make("sub/.hidden");
    kt::TSources plan = Collect({t.root});
    ASSERT_EQ(3u, plan.Files.size());
    Script none;
    RunSettings s = Settings(kt::atLha);
    RunSummary r = RunWith(plan, s, none);
    EXPECT_EQ(3u, r.packed);
    EXPECT_EQ("packed:" + t.root + "/a.txt", Read(t.root + "/a.lzh"));
    EXPECT_TRUE(fs::exists(t.root + "/sub/b.lzh"));
    EXPECT_TRUE(fs::exists(t.root + "/sub/.hidden.lzh"));

    fs::create_directories(t.root + "/out");
    s.outDir = t.root + "/out";
    s.type = kt::atZip;
    kt::TSources one = Collect({t.root + "/sub/b.doc"});
    EXPECT_EQ(1u, RunWith(one, s, none).packed);
    EXPECT_TRUE(fs::exists(t.root + "/out/b.zip"));
}

TEST(PackRun, ExistingArchivesFollowThePolicyAndTheFiveAnswers) {
    Tree t;
    for (const char* n : {"a.txt", "b.txt", "c.txt", "d.txt"}) t.Make(n);
    for (const char* n : {"a.lzh", "b.lzh", "c.lzh", "d.lzh"}) t.Make(n, "old");
    kt::TSources plan =
        Collect({t.root + "/a.txt", t.root + "/b.txt", t.root + "/c.txt", t.root + "/d.txt"});
    RunSettings s = Settings(kt::atLha);
    s.overwrite = OverwritePolicy::None;
    Script none;
    RunSummary r = RunWith(plan, s, none);
    EXPECT_EQ(0u, r.packed);
    EXPECT_EQ(4u, r.skipped);
    EXPECT_EQ("old", Read(t.root + "/a.lzh"));
    EXPECT_TRUE(none.questions.empty());

    // y replaces a, n keeps b, then "no to all" keeps c and d without asking.
    s.overwrite = OverwritePolicy::Ask;
    Script script;
    script.answers = {'y', 'n', 'o'};
    r = RunWith(plan, s, script);
    EXPECT_EQ(3u, script.questions.size());
    EXPECT_NE(std::string::npos, script.questions[0].find(t.root + "/a.lzh"));
    EXPECT_EQ("packed:" + t.root + "/a.txt", Read(t.root + "/a.lzh"));
    EXPECT_EQ("old", Read(t.root + "/b.lzh"));
    EXPECT_EQ("old", Read(t.root + "/d.lzh"));
    EXPECT_EQ(1u, r.packed);

    // "yes to all" replaces every later archive without asking again.
    Script all;
    all.answers = {'A'};
    r = RunWith(plan, s, all);
    EXPECT_EQ(1u, all.questions.size());
    EXPECT_EQ(4u, r.packed);
    EXPECT_EQ("packed:" + t.root + "/d.txt", Read(t.root + "/d.lzh"));

    // Abort, or the end of input, stops the run.
    Script abort;
    abort.answers = {'a'};
    r = RunWith(plan, s, abort);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(0u, r.packed);
}

TEST(PackRun, FailuresFollowTheErrorPolicy) {
    Tree t;
    kt::TSources plan =
        Collect({t.Make("1bad.txt"), t.Make("2ok.txt"), t.Make("3bad.txt"), t.Make("4ok.txt")});
    RunSettings s = Settings(kt::atZip);
    Script none;
    s.onError = ErrorPolicy::Continue;
    RunSummary r = RunWith(plan, s, none);
    EXPECT_EQ(2u, r.failed);
    EXPECT_EQ(2u, r.packed);
    EXPECT_FALSE(fs::exists(t.root + "/1bad.zip"));

    for (auto& f : fs::directory_iterator(t.root))
        if (f.path().extension() == ".zip") fs::remove(f.path());
    s.onError = ErrorPolicy::Stop;
    r = RunWith(plan, s, none);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(1u, r.failed);
    EXPECT_EQ(0u, r.packed);

    s.onError = ErrorPolicy::Ask;
    Script yesAll;
    yesAll.answers = {'A'};
    r = RunWith(plan, s, yesAll);
    EXPECT_EQ(1u, yesAll.questions.size());
    EXPECT_EQ(2u, r.failed);
    EXPECT_EQ(2u, r.packed);
}

// Archives the run left in `folder`.
std::size_t ArchivesIn(const std::string& folder, const std::string& ext) {
    std::size_t n = 0;
    for (auto& f : fs::directory_iterator(folder)) n += f.path().extension() == ext ? 1 : 0;
    return n;
}

// Many small files queue up in each worker. A failure whose turn comes
// while an earlier file still runs is decided as soon as that file is
// done, not when a worker's queue next runs low: the files queued behind
// are then not begun, and count as skipped. f00 finishes only after f01
// has failed; every later file takes 80 ms, so a late decision would let
// more of them begin.
TEST(PackRun, AFailureAmidQueuedFilesStopsTheRunWithoutBeginningTheRest) {
    for (ErrorPolicy policy : {ErrorPolicy::Stop, ErrorPolicy::Ask}) {
        Tree t;
        const std::string failedMark = t.root + "/failed.mark";
        std::vector<std::string> paths;
        for (int i = 0; i < 20; ++i)
            paths.push_back(t.Make("src/f" + std::string(i < 10 ? "0" : "") + std::to_string(i) +
                                   (i == 1 ? "bad" : "") + ".txt"));
        RunSettings s = Settings(kt::atZip, 2);
        s.onError = policy;
        Script abort;
        abort.answers = {'a'};
        std::vector<std::string> lines;
        RunSummary r = RunWith(Collect(paths), s, abort, &lines,
                               [&](const std::string& a, const std::string& src, bool) {
                                   if (src.find("bad") != std::string::npos)
                                       std::ofstream(failedMark).put('x');
                                   else if (src.find("f00") != std::string::npos)
                                       for (int ms = 0; ms < 2000 && !fs::exists(failedMark); ++ms)
                                           usleep(1000);
                                   else
                                       usleep(80000);
                                   return FakePack(a, src);
                               });
        EXPECT_TRUE(r.stopped);
        EXPECT_EQ(1u, r.failed);
        EXPECT_EQ(policy == ErrorPolicy::Ask ? 1u : 0u, abort.questions.size());
        // f00, and at most the one file each worker had begun by then.
        EXPECT_GE(r.packed, 1u);
        EXPECT_LE(r.packed, 3u);
        EXPECT_EQ(20u, r.packed + r.failed + r.skipped);
        EXPECT_EQ(r.packed, ArchivesIn(t.root + "/src", ".zip"));
        EXPECT_TRUE(fs::exists(t.root + "/src/f00.zip"));
        ASSERT_GE(lines.size(), 2u);
        EXPECT_NE(std::string::npos, lines[1].find("f01bad")) << lines[1];
    }
}

std::atomic<bool> gCtrlC{false};

// Ctrl-C with full queues: the file that was running is finished and
// reported, the queued files are not begun and count as skipped, and the
// archives left are exactly those reported.
TEST(PackRun, CtrlCWithQueuedFilesLeavesOnlyTheArchivesItReports) {
    Tree t;
    std::vector<std::string> paths;
    for (int i = 0; i < 30; ++i) paths.push_back(t.Make("f" + std::to_string(100 + i) + ".txt"));
    struct sigaction sa {
    }, old{};
    sa.sa_handler = [](int) { gCtrlC = true; };
    sigemptyset(&sa.sa_mask);
    ASSERT_EQ(0, sigaction(SIGINT, &sa, &old));
    gCtrlC = false;
    RunSettings s = Settings(kt::atLha, 2);
    Script none;
    std::vector<std::string> lines;
    const pid_t parent = getpid();
    RunSummary r = RunPack(
        Collect(paths), s,
        [&](const std::string& a, const std::string& src, bool) {
            // The signal reaches the parent only, as a kill of its pid does.
            if (src.find("f104") != std::string::npos) kill(parent, SIGINT);
            usleep(20000);
            return FakePack(a, src);
        },
        none.Fn(), gCtrlC, [&](const std::string& l, LineKind) { lines.push_back(l); });
    sigaction(SIGINT, &old, nullptr);
    EXPECT_TRUE(r.interrupted);
    EXPECT_EQ(0u, r.failed);
    EXPECT_GE(r.packed, 5u);  // f100 to f104 at least
    EXPECT_LE(r.packed, 8u);  // then what each worker was running
    EXPECT_EQ(30u, r.packed + r.skipped);
    EXPECT_EQ(r.packed, ArchivesIn(t.root, ".lzh"));
    EXPECT_EQ(r.packed, lines.size());
}

TEST(PackRun, ASecondSourceNeverReplacesAnArchiveOfTheSameRun) {
    Tree t;
    kt::TSources plan = Collect({t.Make("a.txt"), t.Make("a.doc")});
    RunSettings s = Settings(kt::atLha);
    for (OverwritePolicy policy : {OverwritePolicy::All, OverwritePolicy::Ask}) {
        for (int jobs : {1, 2}) {
            fs::remove(t.root + "/a.lzh");
            s.overwrite = policy;
            s.jobs = jobs;
            Script script;
            script.answers = {'A'};
            std::vector<std::string> lines;
            RunSummary r = RunWith(plan, s, script, &lines);
            EXPECT_EQ(1u, r.packed) << jobs;
            EXPECT_EQ(1u, r.failed) << jobs;
            EXPECT_TRUE(script.questions.empty()) << "nothing to ask: the archive is the run's own";
            EXPECT_EQ("packed:" + t.root + "/a.txt", Read(t.root + "/a.lzh")) << jobs;
            ASSERT_EQ(2u, lines.size());
            // The failure names both sources.
            EXPECT_NE(std::string::npos, lines[1].find(t.root + "/a.doc")) << lines[1];
            EXPECT_NE(std::string::npos, lines[1].find(t.root + "/a.txt")) << lines[1];
        }
    }
}

// A file named twice is packed once, also when a worker still packs it as
// its second naming comes up; a failed first packing is tried again.
TEST(PackRun, AFileNamedTwiceIsPackedOnceAndCountsAsDone) {
    for (int jobs : {1, 2}) {
        Tree t;
        const std::string a = t.Make("a.txt"), b = t.Make("b.txt"), bad = t.Make("bad.txt");
        const std::string counter = t.root + "/calls";
        RunSettings s = Settings(kt::atZip, jobs);
        Script none;
        std::vector<std::string> lines;
        RunSummary r = RunWith(Collect({a, b, a, bad, bad}), s, none, &lines,
                               [&](const std::string& archive, const std::string& src, bool fresh) {
                                   std::ofstream(counter, std::ios::app) << src << "\n";
                                   usleep(20000);
                                   return FakePack(archive, src, fresh);
                               });
        EXPECT_EQ(3u, r.packed) << jobs;
        EXPECT_EQ(2u, r.failed) << jobs;
        EXPECT_EQ(0u, r.skipped) << jobs;
        // Workers may pack a and b in either order.
        std::vector<std::string> packed;
        std::istringstream in(Read(counter));
        for (std::string line; std::getline(in, line);) packed.push_back(line);
        std::sort(packed.begin(), packed.end());
        EXPECT_EQ(packed, (std::vector<std::string>{a, b, bad, bad})) << jobs;
        ASSERT_EQ(5u, lines.size());
        EXPECT_EQ(lines[0], lines[2]);  // the second naming says where its archive is
    }
}

// A folder packed a second time holds the archives of the first: each such
// archive would be packed into itself and is passed over, counted as
// skipped, with its own reason.
TEST(PackRun, ASourceThatIsItsOwnArchiveIsPassedOverWithItsReason) {
    for (kt::TArchiverType type : {kt::atZip, kt::atLha}) {
        Tree t;
        const std::string ext = type == kt::atZip ? ".zip" : ".lzh";
        const std::string a = t.Make("d/a.txt");
        const std::string own = t.Make("d/a" + ext, "the first run's archive");
        RunSettings s = Settings(type);
        s.overwrite = OverwritePolicy::All;
        Script none;
        std::vector<std::string> lines;
        RunSummary r = RunWith(Collect({t.root + "/d"}), s, none, &lines);
        EXPECT_EQ(1u, r.packed);
        EXPECT_EQ(1u, r.skipped);
        EXPECT_EQ(0u, r.failed);
        EXPECT_EQ("packed:" + a, Read(own));
        ASSERT_EQ(2u, lines.size());
        // In name order: a.lzh before a.txt, a.zip after it.
        const std::string& said = lines[type == kt::atZip ? 1 : 0];
        EXPECT_NE(std::string::npos, said.find(own + " is the archive itself")) << said;
    }
}

TEST(PackRun, OnClashRenamePicksTheNextFreeNumberAndAnOldArchiveStillMeetsThePolicy) {
    Tree t;
    const std::string a = t.Make("a.txt"), b = t.Make("a.dat"), c = t.Make("a");
    t.Make("a (2).zip", "old");
    kt::TSources plan = Collect({a, b, c});
    RunSettings s = Settings(kt::atZip);
    s.renameOnClash = true;
    s.overwrite = OverwritePolicy::None;
    Script none;
    RunSummary r = RunWith(plan, s, none);
    EXPECT_EQ(2u, r.packed);
    EXPECT_EQ(1u, r.skipped);  // "a (2).zip" existed before the run
    EXPECT_EQ("packed:" + a, Read(t.root + "/a.zip"));
    EXPECT_EQ("old", Read(t.root + "/a (2).zip"));
    EXPECT_EQ("packed:" + c, Read(t.root + "/a (3).zip"));

    s.overwrite = OverwritePolicy::All;  // the same command again replaces what it made
    r = RunWith(plan, s, none);
    EXPECT_EQ(3u, r.packed);
    EXPECT_EQ("packed:" + b, Read(t.root + "/a (2).zip"));
    EXPECT_EQ("packed:" + c, Read(t.root + "/a (3).zip"));
}

TEST(PackRun, QuotesAndLineBreaksPackAndAFolderInTheArchivesPlaceFailsOnlyItsEntry) {
    Tree t;
    const std::string quote = t.Make("say \"hi\".txt"), newline = t.Make("two\nlines.txt");
    const std::string blocked = t.Make("blocked.txt"), fine = t.Make("fine.txt");
    fs::create_directories(t.root + "/blocked.zip");
    kt::TSources plan = Collect({quote, newline, blocked, fine});
    RunSettings s = Settings(kt::atZip);
    s.overwrite = OverwritePolicy::All;
    Script none;
    std::vector<std::string> lines;
    RunSummary r = RunWith(plan, s, none, &lines);
    EXPECT_EQ(3u, r.packed);
    EXPECT_EQ(1u, r.failed);
    ASSERT_EQ(4u, lines.size());
    EXPECT_NE(std::string::npos, lines[2].find("folder named " + t.root + "/blocked.zip"))
        << lines[2];
    EXPECT_TRUE(fs::is_directory(t.root + "/blocked.zip"));
    EXPECT_EQ("packed:" + quote, Read(t.root + "/say \"hi\".zip"));
    EXPECT_EQ("packed:" + newline, Read(t.root + "/two\nlines.zip"));
    EXPECT_EQ("packed:" + fine, Read(t.root + "/fine.zip"));
}

TEST(PackRun, ParallelWorkersGiveTheSameArchivesAndReportInInputOrder) {
    Tree t;
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i)
        paths.push_back(t.Make("f" + std::to_string(100 + i) + (i % 7 == 3 ? "bad" : "") + ".txt"));
    kt::TSources plan = Collect(paths);
    RunSettings s = Settings(kt::atZip, 4);
    Script none;
    std::vector<std::string> lines;
    RunSummary r = RunWith(plan, s, none, &lines);
    EXPECT_EQ(34u, r.packed);
    EXPECT_EQ(6u, r.failed);
    ASSERT_EQ(40u, lines.size());
    for (int i = 0; i < 40; ++i) EXPECT_NE(std::string::npos, lines[i].find(paths[i])) << i;
    EXPECT_EQ("packed:" + paths[5], Read(t.root + "/f105.zip"));
}

TEST(PackRun, AWorkerThatDiesFailsOnlyItsItem) {
    Tree t;
    kt::TSources plan = Collect({t.Make("a.txt"), t.Make("crash.txt"), t.Make("c.txt")});
    RunSettings s = Settings(kt::atLha, 2);
    Script none;
    RunSummary r =
        RunWith(plan, s, none, nullptr, [](const std::string& a, const std::string& src, bool) {
            if (src.find("crash") != std::string::npos) _exit(3);
            return FakePack(a, src);
        });
    EXPECT_EQ(2u, r.packed);
    EXPECT_EQ(1u, r.failed);
}

TEST(PackRun, OnceEveryWorkerHasDiedTheRemainingItemsFail) {
    Tree t;
    std::vector<std::string> paths;
    for (int i = 0; i < 8; ++i) paths.push_back(t.Make("crash" + std::to_string(i) + ".txt"));
    RunSettings s = Settings(kt::atLha, 2);
    Script none;
    RunSummary r =
        RunWith(Collect(paths), s, none, nullptr,
                [](const std::string&, const std::string&, bool) -> kt::JobResult { _exit(3); });
    EXPECT_EQ(8u, r.failed);
    EXPECT_EQ(kt::CoreCount(), kt::FreeCores());
}

TEST(PackRun, EveryFileBeingPackedHoldsOneCoreAndTheRunGivesThemAllBack) {
    // What a packer sees free is what its in-file threads may use: the file
    // itself always holds one core, and a worker that dies gives its core
    // back through the parent.
    Tree t;
    std::vector<std::string> paths;
    for (int i = 0; i < 6; ++i) paths.push_back(t.Make("f" + std::to_string(i) + ".txt"));
    const int cores = kt::CoreCount();
    auto record = [](const std::string& a, const std::string& src, bool) {
        if (src.find("crash") != std::string::npos) _exit(3);
        std::ofstream(a) << kt::FreeCores();
        return kt::JobResult{};
    };
    Script none;
    RunSettings s = Settings(kt::atZip);
    RunWith(Collect(paths), s, none, nullptr, record);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(cores - 1, std::stoi(Read(t.root + "/f" + std::to_string(i) + ".zip")));
    EXPECT_EQ(cores, kt::FreeCores());

    paths.push_back(t.Make("crash.txt"));
    s.jobs = 2;
    RunSummary r = RunWith(Collect(paths), s, none, nullptr, record);
    EXPECT_EQ(1u, r.failed);
    for (int i = 0; i < 6; ++i)
        EXPECT_GE(cores - 1, std::stoi(Read(t.root + "/f" + std::to_string(i) + ".zip")));
    EXPECT_EQ(cores, kt::FreeCores());
}

// The packer learns which archives the run found missing (it may then make
// them under their own names) and which it replaces, in this process and
// through the workers alike.
TEST(PackRun, ThePackerLearnsWhichArchivesAreNewAndWhichAreReplaced) {
    for (int jobs : {1, 2}) {
        Tree t;
        kt::TSources plan = Collect({t.Make("old.txt"), t.Make("new.txt")});
        t.Make("old.zip", "before");
        RunSettings s = Settings(kt::atZip, jobs);
        s.overwrite = OverwritePolicy::All;
        Script none;
        RunSummary r = RunWith(plan, s, none, nullptr,
                               [](const std::string& a, const std::string&, bool fresh) {
                                   std::ofstream(a) << (fresh ? "new" : "replaced");
                                   return kt::JobResult{};
                               });
        EXPECT_EQ(2u, r.packed) << jobs;
        EXPECT_EQ("replaced", Read(t.root + "/old.zip")) << jobs;
        EXPECT_EQ("new", Read(t.root + "/new.zip")) << jobs;
    }
}

}  // namespace
