// The core budget: tokens are never handed out twice, always come back, and
// forked workers see the same count as their parent (otherwise kaltri's jobs
// and in-file threads would oversubscribe the machine).
#include "platform/core_budget.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace {

TEST(CoreBudget, TryTakeStopsAtZeroAndEveryTokenComesBack) {
    const int free = kt::FreeCores();
    ASSERT_EQ(free, kt::CoreCount());  // nothing else holds a token in this test program
    int taken = 0;
    while (kt::TryTakeCore()) ++taken;
    EXPECT_EQ(taken, free);
    EXPECT_EQ(kt::FreeCores(), 0);
    for (int i = 0; i < taken; ++i) kt::GiveCore();
    EXPECT_EQ(kt::FreeCores(), free);
}

TEST(CoreBudget, TakeOverdrawsAndTryTakeWaitsForTheDebtToBePaid) {
    const int free = kt::FreeCores();
    for (int i = 0; i <= free; ++i) kt::TakeCore();  // one job more than cores
    EXPECT_EQ(kt::FreeCores(), -1);
    kt::GiveCore();
    EXPECT_FALSE(kt::TryTakeCore());  // back at zero: still nothing free
    for (int i = 0; i < free; ++i) kt::GiveCore();
    EXPECT_EQ(kt::FreeCores(), free);
}

TEST(CoreBudget, ConcurrentTryTakesNeverHandOutMoreThanThereAre) {
    const int free = kt::FreeCores();
    std::atomic<int> won{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                if (!kt::TryTakeCore()) continue;
                int now = ++won;
                EXPECT_LE(now, free);
                --won;
                kt::GiveCore();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(kt::FreeCores(), free);
}

TEST(CoreBudget, ExtraCoresLeaveOneCoreForTheCallerAndGiveBackOnDestruction) {
    const int cores = kt::CoreCount();
    {
        kt::ExtraCores extra(64);
        while (extra.TryAdd()) {
        }
        EXPECT_EQ(extra.Held(), cores - 1);
        EXPECT_EQ(kt::FreeCores(), 1);
    }
    EXPECT_EQ(kt::FreeCores(), cores);
    {
        kt::ExtraCores none(0);
        EXPECT_FALSE(none.TryAdd());
    }
    kt::HeldCore caller;  // a kaltri job holding its token
    {
        kt::ExtraCores extra(64);
        while (extra.TryAdd()) {
        }
        EXPECT_EQ(extra.Held(), cores - 1);
        EXPECT_EQ(kt::FreeCores(), 0);
    }
    EXPECT_EQ(kt::FreeCores(), cores - 1);
}

TEST(CoreBudget, ForkedWorkersDrawOnTheParentsBudget) {
    const int free = kt::FreeCores();
    int toParent[2], toChild[2];
    ASSERT_EQ(pipe(toParent), 0);
    ASSERT_EQ(pipe(toChild), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        char c = 0;
        kt::TakeCore();
        if (write(toParent[1], &c, 1) != 1) _exit(2);
        if (read(toChild[0], &c, 1) != 1) _exit(2);
        kt::GiveCore();
        _exit(0);
    }
    char c = 0;
    ASSERT_EQ(read(toParent[0], &c, 1), 1);
    EXPECT_EQ(kt::FreeCores(), free - 1);  // the child's token is gone here too
    ASSERT_EQ(write(toChild[1], &c, 1), 1);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(kt::FreeCores(), free);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]}) close(fd);
}

TEST(CoreBudget, ALimitLowersTheBudgetButNeverRaisesIt) {
    // In a child: the limit holds for the rest of the process.
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int cores = kt::CoreCount();
        kt::LimitCores(cores + 5);
        bool ok = kt::CoreCount() == cores && kt::FreeCores() == cores;
        kt::LimitCores(1);
        ok = ok && kt::CoreCount() == 1 && kt::FreeCores() == 1;
        kt::HeldCore job;  // kaltri --jobs 1 packing its file
        kt::ExtraCores extra(8);
        ok = ok && !extra.TryAdd() && kt::FreeCores() == 0;
        kt::LimitCores(0);
        ok = ok && kt::CoreCount() == 1;
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
