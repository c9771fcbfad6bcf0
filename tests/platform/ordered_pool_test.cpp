// The ordered pool: items come back in input order however many threads
// worked on them, a helper granted in the middle of the input joins in, and
// a failed read or a consumer that stops early ends the helpers cleanly.
#include "platform/ordered_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>

namespace {

struct Item {
    int seq = -1;
    int square = 0;
    std::size_t thread = 0;
};

struct Counter {
    int next = 0, count = 0, failAt = -1;
    bool Fill(Item& item, bool& last) {
        if (next == failAt) return false;
        item.seq = next++;
        last = next == count;
        return true;
    }
};

void Square(Item& item, std::size_t thread) {
    item.square = item.seq * item.seq;
    item.thread = thread;
}

TEST(OrderedPool, ItemsComeBackInOrderAndAHelperGrantedMidInputJoins) {
    Counter input;
    input.count = 40;
    std::atomic<int> asked{0};
    // The first asks are refused, as while a neighbour holds the other cores.
    auto addThread = [&asked] { return ++asked > 3; };
    std::set<std::size_t> threads;
    {
        kt::OrderedPool<Item> pool(
            2, addThread, [&](Item& i, bool& last) { return input.Fill(i, last); }, Square);
        for (int expect = 0; expect < 40; ++expect) {
            Item* item = pool.Next();
            ASSERT_NE(item, nullptr) << expect;
            EXPECT_EQ(item->seq, expect);
            EXPECT_EQ(item->square, expect * expect);
            threads.insert(item->thread);
        }
        EXPECT_EQ(pool.Next(), nullptr);
        EXPECT_FALSE(pool.Failed());
        EXPECT_EQ(pool.Threads(), 2u);
    }
    EXPECT_EQ(asked.load(), 4);  // asked until granted, never beyond the limit
    EXPECT_TRUE(threads.count(0) == 1 && threads.size() <= 2 && *threads.rbegin() <= 1);
}

TEST(OrderedPool, AFailedReadOrAnEarlyStopEndsTheHelpers) {
    Counter input;
    input.count = 100;
    input.failAt = 7;
    {
        kt::OrderedPool<Item> pool(
            4, nullptr, [&](Item& i, bool& last) { return input.Fill(i, last); }, Square);
        int got = 0;
        while (Item* item = pool.Next()) EXPECT_EQ(item->seq, got++);
        EXPECT_TRUE(pool.Failed());
        EXPECT_LE(got, 7);  // nothing at or after the failed read
    }
    Counter more;
    more.count = 100;
    {
        kt::OrderedPool<Item> pool(
            4, nullptr, [&](Item& i, bool& last) { return more.Fill(i, last); }, Square);
        ASSERT_NE(pool.Next(), nullptr);
        ASSERT_NE(pool.Next(), nullptr);
    }                           // helpers busy or waiting: the destructor stops them
    EXPECT_LT(more.next, 100);  // read ahead a little, not to the end
}

}  // namespace
