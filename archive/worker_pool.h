// Worker processes for a batch run (kaltri pack --jobs N, the window's run).
// The archive layer keeps process-wide state (current folder, per-class
// library state), so parallel packing runs in forked processes, each with its
// own copy of that state, instead of threads. The parent hands out item numbers and reads back each
// result; a worker that dies is reported as a failure of its items.
//
// Small items queue up in a worker, a few at a time, so that it never idles
// waiting for the parent's answer (a round trip through two pipes and two
// wake-ups costs about as much as packing a small file). Large items never
// wait behind another item: an idle worker could have had them.
//
// A worker sends each result at once, but the parent does not wake for each
// one: it sleeps on a doorbell that a worker rings only when the parent has
// something to do (its queue runs low, an item failed or was not begun) and
// reads the results that came meanwhile when it wakes, or every tenth of a
// second for the progress line. Results never wait in a worker, so one that
// dies takes none of them with it.
//
// A worker that holds items runs one of them and holds one token of the core
// budget, taken and given back here in the parent, so a worker that dies
// cannot take one with it. A worker that finishes keeps its token until the
// parent has handed out what it can (ReleaseIdleCores): given back at once,
// an in-file pool of another worker could take it in the moment before this
// worker's next item, and three threads would run on two cores.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kt {

struct JobResult {
    std::size_t index = 0;
    int code = 0;
    std::string output;
    int fault = 0;  // a TEntryFault, for faults the run found itself
    int fate = 0;   // a SourceFate: what became of a source to be removed
    std::string fateDetail;
    bool started = true;  // false: handed out, but the run stopped before it began
    // Where the archive waits for the parent to put it in place (empty: it
    // is in place already, or was not made).
    std::string temporary;
};

class WorkerPool {
    struct Shared;

public:
    // The item's number and the text the parent decided for it after the
    // workers were forked (the archive path).
    using Work = std::function<JobResult(std::size_t index, const std::string& text)>;

    // Forks `workers` processes that run `work` for each item they receive.
    WorkerPool(int workers, Work work);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Items of at most this many bytes may wait in a worker behind another one,
    static constexpr std::uint64_t kQueueableBytes = 1u << 20;
    // up to this many items in all, with at most this many bytes waiting.
    static constexpr std::size_t kMostItems = 16;
    static constexpr std::uint64_t kWaitingBytes = 1u << 20;
    // A worker rings once this few of its items are left to begin.
    static constexpr std::size_t kLowItems = 2;

    // A worker can take an item of `bytes` now.
    bool HasRoom(std::uint64_t bytes) const;
    // Items handed out whose results have not been returned yet.
    int Busy() const { return busy_; }
    // False once every worker has died.
    bool AnyAlive() const;
    // The result of an item whose worker died with it: a crash is that item's failure.
    static JobResult Ended(std::size_t index);
    // Hands the item to an idle worker, else queues it (HasRoom must be true).
    void Submit(std::size_t index, const std::string& text, std::uint64_t bytes);
    // Blocks until one submitted item is done and returns its result.
    // `prompt`: wake for every result (the caller waits on one to decide),
    // not only when a worker rings.
    JobResult WaitOne(bool prompt = false);
    // Like WaitOne, but gives up after about `ms` milliseconds (false): a
    // caller with a window to keep alive waits in short steps.
    bool WaitFor(JobResult& out, int ms, bool prompt = false);
    // How far the worker has got with an item it runs (0 to 1); nullopt
    // when no worker reports on it.
    std::optional<double> Progress(std::size_t index) const;
    // Called inside `work`: how far the item has got (0 to 1).
    static void ReportProgress(double part);
    // Called inside `work`: the run stopped (CancelWaiting), so the item's
    // result will not be wanted and it may stop half way.
    static bool Cancelled();
    // Items handed out but not begun yet are not begun: they come back with
    // `started` false.
    void CancelWaiting();
    // Gives back the cores of idle workers: call when nothing more can be
    // handed out for now.
    void ReleaseIdleCores();
    // While WaitOne blocks, a signal that sets *flag is passed on to the
    // workers as SIGINT: a signal sent to this process alone (not to its
    // group, as a terminal's Ctrl-C is) must stop their items too.
    void ForwardInterrupts(const std::atomic<bool>* flag) { interrupted_ = flag; }

private:
    struct Worker {
        pid_t pid = -1;
        int toWorker = -1;
        int fromWorker = -1;
        bool alive = false;  // takes items
        bool ended = false;  // its results pipe ended: what it did not send, it never will
        std::deque<std::pair<std::size_t, std::uint64_t>>
            items;                       // number and bytes, in the order the worker takes them
        std::uint64_t waitingBytes = 0;  // of the items behind the first
        bool holdsCore = false;
        std::string pending;       // read from fromWorker, not taken yet
        std::string outbox;        // items for a busy worker, sent before the parent sleeps
        Shared* shared = nullptr;  // what the worker reports on its item
    };
    static void WorkerLoop(int in, int out, int bell, const Work& work,
                           const std::atomic<bool>& cancelled, Shared& shared);
    bool Fits(const Worker& w, std::uint64_t bytes) const;
    // Sends the items kept for busy workers.
    void SendQueued();
    // Reads what each busy worker has sent without waiting; marks a worker
    // whose pipe ended dead.
    void ReadArrived();
    // The next result found complete in what was read, or the failure of an
    // item of a dead worker; false when there is none yet.
    bool TakeArrived(JobResult& out);
    // Takes the worker's oldest item off its queue; its result, or its
    // failure when `result` is null (the worker is gone).
    JobResult Done(Worker& w, JobResult* result);
    std::vector<Worker> workers_;
    std::atomic<bool>* cancelled_;              // shared with the workers
    Shared* shared_ = nullptr;                  // one for each worker, shared with it
    static Shared* reporting_;                  // in a worker: where its reports go
    static const std::atomic<bool>* stopping_;  // in a worker: the pool's cancelled_
    int bell_ = -1;                             // an eventfd the workers ring
    int busy_ = 0;
    const std::atomic<bool>* interrupted_ = nullptr;
    bool forwarded_ = false;
};

}  // namespace kt
