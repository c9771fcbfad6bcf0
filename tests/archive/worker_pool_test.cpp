// The worker processes' queues: which items may wait behind another, the
// core each busy worker holds (one, however many items it holds, kept
// between items until released), items that wait when the run stops, and
// results the parent must hear of at once.
#include "archive/worker_pool.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/core_budget.h"
#include "tests/support/temp_folder.h"

using namespace kt;

namespace {

constexpr std::uint64_t kSmall = WorkerPool::kQueueableBytes,
                        kLarge = WorkerPool::kQueueableBytes + 1;

// Item 0 says it began (`gate`.began), then waits until `gate` exists, so
// that the parent can act while the worker is known to run it; every item
// reports the free cores it saw.
WorkerPool::Work GatedWork(const std::string& gate) {
    return [gate](std::size_t index, const std::string&) {
        if (index == 0) std::ofstream(gate + ".began").put('x');
        while (index == 0 && !std::filesystem::exists(gate)) usleep(1000);
        JobResult r;
        r.code = kt::FreeCores();
        return r;
    };
}

TEST(WorkerPool, OnlySmallItemsWaitBehindASmallOneAndAWorkerHoldsOneCore) {
    kt::test::TempFolder dir;
    const std::string gate = dir.Path() + "/gate";
    const int cores = kt::CoreCount();
    {
        WorkerPool pool(1, GatedWork(gate));
        ASSERT_TRUE(pool.HasRoom(kLarge));
        pool.Submit(0, "", kSmall);
        EXPECT_FALSE(pool.HasRoom(kLarge));  // an idle worker could come free for it sooner
        ASSERT_TRUE(pool.HasRoom(kSmall));
        pool.Submit(1, "", kSmall);
        EXPECT_FALSE(pool.HasRoom(kSmall));  // the bytes waiting are bounded
        EXPECT_EQ(cores - 1, kt::FreeCores());
        std::ofstream(gate).put('x');
        JobResult first = pool.WaitOne(), second = pool.WaitOne();
        EXPECT_EQ(0u, first.index);
        EXPECT_EQ(1u, second.index);
        EXPECT_TRUE(first.started && second.started);
        // The queued item ran on the core the first one held.
        EXPECT_EQ(cores - 1, second.code);
        // The idle worker keeps it until nothing more is handed out: no
        // neighbour's in-file pool can take it in between.
        EXPECT_EQ(cores - 1, kt::FreeCores());
        pool.ReleaseIdleCores();
        EXPECT_EQ(cores, kt::FreeCores());

        std::filesystem::remove(gate);
        pool.Submit(2, "", kLarge);
        EXPECT_FALSE(pool.HasRoom(kSmall));  // nothing waits behind a large item
        std::ofstream(gate).put('x');
        EXPECT_EQ(2u, pool.WaitOne().index);
        EXPECT_EQ(cores - 1, kt::FreeCores());
    }  // the pool gives back what its idle workers held
    EXPECT_EQ(cores, kt::FreeCores());
}

// A worker takes small items up to the count bound. When the run stops
// while it holds them, the one it runs is finished and the rest are not
// begun; either way they come back in order.
TEST(WorkerPool, SmallItemsQueueUpToTheCountBoundAndThoseWaitingWhenTheRunStopsAreNotBegun) {
    for (bool stop : {false, true}) {
        SCOPED_TRACE(stop ? "stopped" : "run to the end");
        kt::test::TempFolder dir;
        const std::string gate = dir.Path() + "/gate";
        WorkerPool pool(1, GatedWork(gate));
        for (std::size_t i = 0; i < WorkerPool::kMostItems; ++i) {
            ASSERT_TRUE(pool.HasRoom(1)) << i;
            pool.Submit(i, "", 1);
        }
        EXPECT_FALSE(pool.HasRoom(1));
        if (stop) {
            while (!std::filesystem::exists(gate + ".began")) usleep(1000);
            pool.CancelWaiting();
        }
        std::ofstream(gate).put('x');
        for (std::size_t i = 0; i < WorkerPool::kMostItems; ++i) {
            JobResult r = pool.WaitOne();
            EXPECT_EQ(i, r.index);
            EXPECT_EQ(!stop || i == 0, r.started) << i;
        }
        EXPECT_EQ(0, pool.Busy());
        pool.ReleaseIdleCores();
    }
}

// A failure wakes the parent at once, though the worker has items left:
// a question or a stop may follow. The item after it sees the parent's
// answer (the gate) while it still runs; the parent would otherwise sleep
// through it until its next regular look (a tenth of a second).
TEST(WorkerPool, AFailureReachesTheParentWhileTheNextItemRuns) {
    kt::test::TempFolder dir;
    const std::string gate = dir.Path() + "/gate";
    WorkerPool pool(1, [gate](std::size_t index, const std::string&) {
        JobResult r;
        if (index == 0) {
            usleep(20000);  // the other items reach the worker meanwhile
            r.code = 5;
        } else if (index == 1) {
            for (int ms = 0; ms < 50 && !std::filesystem::exists(gate); ++ms) usleep(1000);
            r.code = std::filesystem::exists(gate) ? 0 : 7;
        }
        return r;
    });
    for (std::size_t i = 0; i < 6; ++i) pool.Submit(i, "", 1);
    JobResult failed = pool.WaitOne();
    EXPECT_EQ(0u, failed.index);
    EXPECT_EQ(5, failed.code);
    std::ofstream(gate).put('x');
    JobResult next = pool.WaitOne();
    EXPECT_EQ(1u, next.index);
    EXPECT_EQ(0, next.code) << "the failure came only after the next item";
    while (pool.Busy() > 0) pool.WaitOne();
    pool.ReleaseIdleCores();
}

TEST(WorkerPool, AWorkerThatDiesFailsEveryItemItHeldAndGivesItsCoreBack) {
    const int cores = kt::CoreCount();
    {
        WorkerPool pool(1, [](std::size_t, const std::string&) -> JobResult { _exit(3); });
        pool.Submit(0, "", kSmall);
        pool.Submit(1, "", kSmall);
        JobResult first = pool.WaitOne(), second = pool.WaitOne();
        EXPECT_EQ(0u, first.index);
        EXPECT_EQ(1u, second.index);
        EXPECT_NE(0, first.code);
        EXPECT_NE(0, second.code);
        EXPECT_FALSE(pool.AnyAlive());
        EXPECT_FALSE(pool.HasRoom(kSmall));
        EXPECT_EQ(cores, kt::FreeCores());
    }
}

// Results that reach the parent together, in one read, are each returned
// whole and in order: a wait for the second must not hang on a pipe that
// was already emptied. Texts longer than one read cross both ways intact.
TEST(WorkerPool, ResultsThatArriveTogetherComeBackOneByOne) {
    WorkerPool pool(1, [](std::size_t index, const std::string& text) {
        JobResult r;
        r.output = text + "/" + std::to_string(index);
        r.fateDetail = std::string(index == 2 ? 7000 : 0, 'f');
        return r;
    });
    pool.Submit(0, "a", kSmall);
    pool.Submit(1, "b", kSmall);
    usleep(200000);  // both results are in the pipe before the first wait
    JobResult first = pool.WaitOne(), second = pool.WaitOne();
    EXPECT_EQ(0u, first.index);
    EXPECT_EQ("a/0", first.output);
    EXPECT_EQ(1u, second.index);
    EXPECT_EQ("b/1", second.output);

    const std::string big(40000, 't');
    pool.Submit(2, big, kSmall);
    JobResult third = pool.WaitOne();
    EXPECT_EQ(2u, third.index);
    EXPECT_EQ(big + "/2", third.output);
    EXPECT_EQ(std::string(7000, 'f'), third.fateDetail);
    pool.ReleaseIdleCores();
}

}  // namespace
