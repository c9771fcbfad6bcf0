#include "core_budget.h"

#include <sched.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <new>

namespace kt {
namespace {

// Lock-free, so it works the same for processes sharing the page.
static_assert(std::atomic<int>::is_always_lock_free);

struct Budget {
    std::atomic<int> cores;
    std::atomic<int> free;
};

int AffinityCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    int n = 0;
    if (sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
    if (n < 1) n = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    return std::max(n, 1);
}

Budget& Shared() {
    static Budget* budget = [] {
        int cores = AffinityCores();
        void* page = mmap(nullptr, sizeof(Budget), PROT_READ | PROT_WRITE,
                          MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        // Without a shared page the budget still holds within this process.
        if (page == MAP_FAILED) page = ::operator new(sizeof(Budget));
        return new (page) Budget{cores, {cores}};
    }();
    return *budget;
}

}  // namespace

int CoreCount() { return Shared().cores.load(std::memory_order_relaxed); }

void LimitCores(int n) {
    Budget& b = Shared();
    n = std::max(n, 1);
    int now = b.cores.load(std::memory_order_relaxed);
    while (n < now) {
        if (b.cores.compare_exchange_weak(now, n, std::memory_order_acq_rel)) {
            b.free.fetch_sub(now - n, std::memory_order_acq_rel);
            return;
        }
    }
}

int FreeCores() { return Shared().free.load(std::memory_order_relaxed); }

void TakeCore() { Shared().free.fetch_sub(1, std::memory_order_acq_rel); }

bool TryTakeCore() {
    std::atomic<int>& free = Shared().free;
    int now = free.load(std::memory_order_relaxed);
    while (now > 0)
        if (free.compare_exchange_weak(now, now - 1, std::memory_order_acq_rel)) return true;
    return false;
}

void GiveCore() { Shared().free.fetch_add(1, std::memory_order_acq_rel); }

ExtraCores::ExtraCores(int most) : most_(std::min(most, CoreCount() - 1)) {}

ExtraCores::~ExtraCores() {
    for (; held_ > 0; --held_) GiveCore();
}

bool ExtraCores::TryAdd() {
    if (held_ >= most_ || !TryTakeCore()) return false;
    ++held_;
    return true;
}

}  // namespace kt
