#include "decode_ahead.h"

#include <unistd.h>

#include <chrono>
#include <system_error>
#include <utility>

namespace kt::unzip32 {
namespace {

// Members below this are quicker to decode than to hand over.
constexpr uint64_t kMemberWorth = 256u << 10;
// Below this much work in such members a second thread does not pay for itself.
constexpr uint64_t kCommandWorth = 4u << 20;
// Finished members the helper may hold before the command's thread takes
// them: each is an open file.
constexpr size_t kMostHeld = 4;

bool WorthIt(const std::vector<uint64_t>& packed) {
    uint64_t total = 0;
    size_t members = 0;
    for (uint64_t n : packed) {
        if (n < kMemberWorth) continue;
        total += n;
        ++members;
    }
    return members >= 2 && total >= kCommandWorth;
}

}  // namespace

AheadResult::AheadResult(AheadResult&& o) noexcept { *this = std::move(o); }

AheadResult& AheadResult::operator=(AheadResult&& o) noexcept {
    if (this == &o) return *this;
    file.reset();
    if (dirFd >= 0) ::close(dirFd);
    done = o.done;
    status = o.status;
    writeError = o.writeError;
    file = std::move(o.file);
    dirFd = std::exchange(o.dirFd, -1);
    return *this;
}

AheadResult::~AheadResult() {
    file.reset();  // its temporary file is named relative to the folder
    if (dirFd >= 0) ::close(dirFd);
}

DecodeAhead::DecodeAhead(std::vector<uint64_t> packedSizes, DecodeFn decode)
    : packed_(std::move(packedSizes)),
      decode_(std::move(decode)),
      owner_(packed_.size(), Owner::Nobody),
      results_(packed_.size()),
      finished_(packed_.size(), false),
      worth_(WorthIt(packed_)) {}

DecodeAhead::~DecodeAhead() { Stop(); }

void DecodeAhead::StartIfWorth() {
    // Asked again at every member: a core a neighbour gives back is taken up.
    if (started_ || !worth_) return;
    if (!core_) core_.emplace(1);
    if (!core_->TryAdd()) return;
    TakeCore();
    callerHeld_ = true;
    try {
        helper_ = std::thread(&DecodeAhead::Loop, this);
        started_ = true;
    } catch (const std::system_error&) {
        core_.reset();  // no thread to be had: the command runs alone
        GiveCore();
        callerHeld_ = false;
    }
}

bool DecodeAhead::Claimed(size_t index) {
    StartIfWorth();
    std::lock_guard lock(mutex_);
    if (owner_[index] == Owner::Helper) return true;
    owner_[index] = Owner::Caller;
    changed_.notify_all();
    return false;
}

AheadResult DecodeAhead::Take(size_t index, const std::function<bool(uint64_t)>& tick) {
    std::unique_lock lock(mutex_);
    // A waiting thread needs no core: the helper's own helpers may use it.
    const bool lend = callerHeld_ && !finished_[index];
    if (lend) GiveCore();
    struct Back {
        bool lend;
        ~Back() {
            if (lend) TakeCore();
        }
    } back{lend};
    while (!finished_[index]) {
        if (changed_.wait_for(lock, std::chrono::milliseconds(100)) != std::cv_status::timeout)
            continue;
        // The member still being decoded is always the one waited for: the
        // helper works down from the back, one member at a time.
        const uint64_t written = written_.load(std::memory_order_relaxed);
        lock.unlock();
        const bool cancel = tick(written);
        lock.lock();
        if (cancel) return AheadResult();
    }
    finished_[index] = false;
    --held_;
    changed_.notify_all();
    return std::move(results_[index]);
}

void DecodeAhead::Stop() {
    stop_ = true;
    {
        std::lock_guard lock(mutex_);
        changed_.notify_all();
    }
    if (helper_.joinable()) helper_.join();
    if (std::exchange(callerHeld_, false)) GiveCore();
    results_.clear();
    results_.resize(packed_.size());
}

void DecodeAhead::Loop() {
    std::unique_lock lock(mutex_);
    for (size_t j = packed_.size(); j-- > 0;) {
        if (stop_ || owner_[j] == Owner::Caller) break;
        if (packed_[j] < kMemberWorth) continue;  // left to the command's thread
        changed_.wait(lock,
                      [&] { return stop_ || held_ < kMostHeld || owner_[j] == Owner::Caller; });
        if (stop_ || owner_[j] != Owner::Nobody) break;
        owner_[j] = Owner::Helper;
        written_ = 0;
        lock.unlock();
        AheadResult r;
        try {
            decode_(j, r, stop_, written_);
        } catch (...) {
            r = AheadResult();  // not done: the command's thread tries it itself
        }
        lock.lock();
        results_[j] = std::move(r);
        finished_[j] = true;
        ++held_;
        changed_.notify_all();
    }
    core_.reset();
}

}  // namespace kt::unzip32
