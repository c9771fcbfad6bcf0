// Worker processes for `kaltri pack --jobs N`. The archive layer keeps
// process-wide state (current folder, per-class library state), so parallel
// packing runs in forked processes, each with its own copy of that state,
// instead of threads. The parent hands out item numbers and reads back each
// result; a worker that dies is reported as a failure of its items.
//
// A worker may be handed a second small item while it packs a small one: it
// then starts it at once instead of idling for the parent's answer (a round
// trip through two pipes and two wake-ups costs about as much as packing a
// small file). Large items never wait behind another item: an idle worker
// could have had them.
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
#include <string>
#include <vector>

namespace kaltri {

struct JobResult {
    std::size_t index = 0;
    int code = 0;
    std::string output;
    int fault = 0;  // a kt::TEntryFault, for faults the run found itself
    int fate = 0;   // a SourceFate: what became of a source to be removed
    std::string fateDetail;
    bool started = true;  // false: handed out, but the run stopped before it began
};

class WorkerPool {
public:
    // The item's number and the text the parent decided for it after the
    // workers were forked (the archive path).
    using Work = std::function<JobResult(std::size_t index, const std::string& text)>;

    // Forks `workers` processes that run `work` for each item they receive.
    WorkerPool(int workers, Work work);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Items of at most this many bytes may wait in a worker behind another one.
    static constexpr std::uint64_t kQueueableBytes = 1u << 20;

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
    JobResult WaitOne();
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
        bool alive = false;
        std::deque<std::size_t> items;  // in the order the worker takes them
        bool queueable = false;          // the item it runs is small: one may wait behind it
        bool holdsCore = false;
        std::string pending;  // read from fromWorker, not taken yet
    };
    static void WorkerLoop(int in, int out, const Work& work, const std::atomic<bool>& cancelled);
    // Takes the worker's oldest item off its queue; its result, or its
    // failure when `result` is null (the worker is gone).
    JobResult Done(Worker& w, JobResult* result);
    // Reads the worker's next result (its failure when the pipe ends first).
    JobResult Receive(Worker& w);
    std::vector<Worker> workers_;
    std::atomic<bool>* cancelled_;  // shared with the workers
    int busy_ = 0;
    const std::atomic<bool>* interrupted_ = nullptr;
    bool forwarded_ = false;
};

}  // namespace kaltri
