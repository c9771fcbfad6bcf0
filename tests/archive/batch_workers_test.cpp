// Entries packed in worker processes with the real ZIP libraries of
// build/bin: a made archive waits hidden until it is placed, so nothing
// appears under an archive's name (or replaces an old one) before the
// front end comes to its entry; a failure leaves nothing behind.
#include "archive/batch_workers.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "archive/pack_one.h"
#include "test_folder.h"

namespace fs = std::filesystem;

namespace kt {
namespace {

std::map<std::size_t, TWorkerOutcome> WaitAll(TBatchWorkers& workers) {
    std::map<std::size_t, TWorkerOutcome> done;
    while (workers.Busy() > 0)
        if (std::optional<TWorkerOutcome> r = workers.Wait(50)) done[r->Index] = std::move(*r);
    return done;
}

TEST(BatchWorkers, ArchivesWaitHiddenUntilPlacedAndAFailureLeavesNothing) {
    ASSERT_TRUE(fs::exists(std::string(KT_BIN_DIR) + "/ZIP32J.DLL")) << "ZIP32J.DLL not built";
    test::TempFolder dir;
    TBatchSettings settings;
    settings.Type = atZip;
    TBatchWorkers workers(2, settings);
    auto plan = [&](const std::string& name, bool fresh) {
        TBatchRun::TPlan p;
        p.Type = atZip;
        p.Source = dir / (name + ".txt");
        p.Archive = dir / (name + ".zip");
        p.NewArchive = fresh;
        return p;
    };
    dir.Write("a.txt", "alpha");
    dir.Write("b.txt", "bravo");
    dir.Write("b.zip", "old b");
    // c.txt does not exist.
    workers.Hand(0, plan("a", true), 5);
    workers.Hand(1, plan("b", false), 5);
    workers.Hand(2, plan("c", true), 0);
    std::map<std::size_t, TWorkerOutcome> done = WaitAll(workers);
    ASSERT_EQ(done.size(), 3u);

    EXPECT_FALSE(fs::exists(dir / "a.zip"));
    EXPECT_EQ(test::ReadAll(dir / "b.zip"), "old b");
    for (std::size_t i : {0, 1}) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(done[i].Outcome.Ok());
        ASSERT_FALSE(done[i].Temporary.empty());
        EXPECT_EQ(fs::path(done[i].Temporary).parent_path(), fs::path(dir.Path()));
        EXPECT_EQ(fs::path(done[i].Temporary).filename().string()[0], '.');
    }
    EXPECT_EQ(done[2].Outcome.Fault, TEntryFault::SourceMissing);
    EXPECT_TRUE(done[2].Temporary.empty());

    EXPECT_EQ(PlacePacked(done[0].Temporary, dir / "a.zip"), 0);
    EXPECT_EQ(PlacePacked(done[1].Temporary, dir / "b.zip"), 0);
    EXPECT_EQ(std::system(("unzip -p '" + dir / "a.zip" + "' | grep -qx alpha").c_str()), 0);
    EXPECT_EQ(std::system(("unzip -p '" + dir / "b.zip" + "' | grep -qx bravo").c_str()), 0);
    std::size_t files = 0;
    for (auto& e : fs::directory_iterator(dir.Path())) files += e.is_regular_file();
    EXPECT_EQ(files, 4u);  // the sources and their archives, nothing else
}

// A stopped run wants no more outcomes: an entry half packed stops at the
// library's next progress report and leaves nothing behind.
TEST(BatchWorkers, StoppingAbortsAnEntryHalfPackedAndLeavesNothing) {
    test::TempFolder dir;
    std::string bytes(64 << 20, '\0');
    std::uint32_t x = 5;
    for (char& c : bytes) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
    const std::string source = dir.Write("big.bin", bytes);
    TBatchSettings settings;
    TBatchWorkers workers(2, settings);
    TBatchRun::TPlan plan;
    plan.Source = source;
    plan.Archive = dir / "big.zip";
    plan.NewArchive = true;
    workers.Hand(0, plan, bytes.size());
    std::optional<TWorkerOutcome> r;
    while (!r && workers.Progress(0).value_or(0) == 0) r = workers.Wait(5);
    ASSERT_FALSE(r) << "packed before the first progress report";
    workers.StopHanding();
    while (!r) r = workers.Wait(50);
    EXPECT_TRUE(r->Started);
    EXPECT_FALSE(r->Outcome.Ok());
    EXPECT_TRUE(r->Temporary.empty());
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir.Path())) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"big.bin"});
}

}  // namespace
}  // namespace kt
