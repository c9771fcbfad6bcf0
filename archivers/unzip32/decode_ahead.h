// A second core for a command over several large members. A helper thread
// decodes members from the back of the command's list while the command's own
// thread works from the front, so the two meet wherever the members' sizes
// put the middle, with no plan made in advance. The helper only decodes (into
// a file not yet under its name, or into nothing for a test); everything a
// caller sees (progress, report lines, keeping or replacing a file, the
// rename, the result) still happens on the command's thread, in member order.
//
// The helper runs only on a core the core budget can spare, only when the
// command has at least two members worth it, and never holds more than a few
// finished members the command's thread has not reached yet. While it runs,
// the command's thread holds a token of its own too: a member is decoded on
// either thread by code that may split it over helpers of its own
// (bzip2 blocks), and those must find both cores taken, not one.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/core_budget.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::unzip32 {

// One member as the helper left it.
struct AheadResult {
    AheadResult() = default;
    AheadResult(AheadResult&&) noexcept;
    AheadResult& operator=(AheadResult&&) noexcept;
    ~AheadResult();

    bool done = false;  // false: passed over; the command's thread decodes it itself
    kt::zip::ZipStatus status = kt::zip::ZipStatus::Ok;
    int writeError = 0;                    // errno of a failed write, 0 when none
    std::unique_ptr<kt::AtomicFile> file;  // extraction: the decoded, uncommitted file
    int dirFd = -1;                        // the folder file lives in, open until the file goes
};

class DecodeAhead {
public:
    // Decodes member `index` into `out` (leaving out.done false to pass it
    // over); it stops early when `stop` becomes true and counts the bytes it
    // has written in `written`.
    using DecodeFn =
        std::function<void(size_t index, AheadResult& out, const std::atomic<bool>& stop,
                           std::atomic<uint64_t>& written)>;

    // `packedSizes`: the compressed size of each member the command handles,
    // in its order, 0 for those the helper must leave alone (folders).
    DecodeAhead(std::vector<uint64_t> packedSizes, DecodeFn decode);
    ~DecodeAhead();  // Stop()
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The command's thread is about to handle member `index`. False: it is
    // the caller's to decode; true: the helper has it, collect it with Take.
    bool Claimed(size_t index);
    // Waits for member `index` of the helper. `tick(written)` is called about
    // ten times a second meanwhile; when it returns true the wait ends and
    // the result is not done.
    AheadResult Take(size_t index, const std::function<bool(uint64_t)>& tick);
    // Ends the helper and drops what it holds (uncommitted files go away).
    void Stop();

private:
    enum class Owner : uint8_t { Nobody, Caller, Helper };
    void StartIfWorth();
    void Loop();

    const std::vector<uint64_t> packed_;
    const DecodeFn decode_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Owner> owner_;
    std::vector<AheadResult> results_;
    std::vector<bool> finished_;
    size_t held_ = 0;  // finished members not yet taken
    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> written_{0};
    const bool worth_;
    bool started_ = false;
    std::optional<ExtraCores> core_;  // the helper's token, given back as it ends
    bool callerHeld_ = false;         // the command thread's token, given back by Stop
    std::thread helper_;
};

}  // namespace kt::unzip32
