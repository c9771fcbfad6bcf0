// One long input worked on by every thread the caller is granted: items are
// read in order on the calling thread, worked on by it and by helper
// threads, and handed back strictly in order.
//
// Why this shape. The caller reads (a stream reads in order) and hands back
// (the output is written in order); both are short next to the work. Items
// are read ahead of the threads (kAhead), so a thread that finishes finds
// the next item waiting instead of idling until the caller comes back from
// its own item. A helper is asked for (addThread, which draws on the
// core budget) whenever the caller passes through Next with work waiting,
// so a core a neighbour gives back is picked up in the middle of the input.
// Memory stays bounded by the thread count, not by the input's length, and
// the items do not depend on how many threads worked on them.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <new>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace kt {

template <class Item>
class OrderedPool {
public:
    // Reads the next item into `item`, a used one whose buffers may be
    // kept; sets `last` on the final item. False on a failure: the pool stops.
    using Fill = std::function<bool(Item& item, bool& last)>;
    // Works on one item and keeps its own failure in it (it must not
    // throw). `thread` is 0 on the calling thread and 1, 2, ... on the
    // helpers: state kept per thread number is never shared.
    using Process = std::function<void(Item& item, std::size_t thread)>;

    // `most` threads at most, the caller's included; each helper beyond the
    // caller must be granted by `addThread` (no function: all are granted).
    OrderedPool(std::size_t most, std::function<bool()> addThread, Fill fill, Process process)
        : limit_(std::max<std::size_t>(1, most)),
          addThread_(std::move(addThread)),
          fill_(std::move(fill)),
          process_(std::move(process)) {}

    ~OrderedPool() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& t : helpers_) t.join();
    }
    OrderedPool(const OrderedPool&) = delete;
    OrderedPool& operator=(const OrderedPool&) = delete;

    // The next item in input order, worked on; valid until the next call.
    // Null after the last item, or once a Fill failed (then Failed()).
    Item* Next() {
        std::unique_lock lock(mutex_);
        if (handedOut_) free_.push_back(std::exchange(handedOut_, nullptr));
        for (;;) {
            if (failed_) return nullptr;
            if (order_.size() < Threads() + kAhead && !ended_) {
                if (!ReadAhead(lock)) return nullptr;
                continue;
            }
            AddHelperIfUseful();
            if (order_.empty()) return nullptr;
            Slot& head = *order_.front();
            if (head.state == State::Done) {
                order_.pop_front();
                handedOut_ = &head;
                return &head.item;
            }
            if (Slot* slot = Claim())
                Work(lock, *slot, 0);
            else
                changed_.wait(lock);
        }
    }

    bool Failed() const { return failed_; }
    // Threads that have worked on this input, the caller's included.
    std::size_t Threads() const { return helpers_.size() + 1; }

private:
    // Items read beyond one per thread. One is not enough: while the caller
    // works on an item of its own it reads nothing, and a helper that
    // finishes two items in that time (the caller was preempted, or its item
    // was the slower kind) would idle until it comes back.
    static constexpr std::size_t kAhead = 2;
    enum class State { Waiting, Working, Done };
    struct Slot {
        Item item;
        State state = State::Waiting;
    };

    // These run under the lock; ReadAhead and Work leave it while they read
    // or work, so that the other threads go on meanwhile.
    bool ReadAhead(std::unique_lock<std::mutex>& lock) {
        Slot* slot = nullptr;
        if (free_.empty()) {
            slots_.push_back(std::make_unique<Slot>());
            slot = slots_.back().get();
        } else {
            slot = free_.back();
            free_.pop_back();
        }
        lock.unlock();
        bool last = false, ok = false;
        try {
            ok = fill_(slot->item, last);
        } catch (const std::bad_alloc&) {
        }
        lock.lock();
        if (!ok) {
            free_.push_back(slot);
            failed_ = true;
            return false;
        }
        ended_ = last;
        slot->state = State::Waiting;
        order_.push_back(slot);
        changed_.notify_all();
        return true;
    }

    void AddHelperIfUseful() {
        if (Threads() >= limit_ || !Claim(false)) return;
        if (addThread_ && !addThread_()) return;
        try {
            helpers_.emplace_back(&OrderedPool::HelperLoop, this, helpers_.size() + 1);
        } catch (const std::system_error&) {
            // No thread to be had: the work goes on with the threads there are.
        }
    }

    // The oldest item nobody works on yet, marked as taken when `take`.
    Slot* Claim(bool take = true) {
        for (Slot* slot : order_)
            if (slot->state == State::Waiting) {
                if (take) slot->state = State::Working;
                return slot;
            }
        return nullptr;
    }

    void Work(std::unique_lock<std::mutex>& lock, Slot& slot, std::size_t thread) {
        lock.unlock();
        process_(slot.item, thread);
        lock.lock();
        slot.state = State::Done;
        changed_.notify_all();
    }

    void HelperLoop(std::size_t thread) {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            if (Slot* slot = Claim())
                Work(lock, *slot, thread);
            else
                changed_.wait(lock);
        }
    }

    const std::size_t limit_;
    const std::function<bool()> addThread_;
    const Fill fill_;
    const Process process_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    bool failed_ = false;
    bool ended_ = false;
    std::vector<std::unique_ptr<Slot>> slots_;  // every item ever made
    std::vector<Slot*> free_;
    std::deque<Slot*> order_;  // items read and not yet handed back, oldest first
    Slot* handedOut_ = nullptr;
    std::vector<std::thread> helpers_;
};

}  // namespace kt
