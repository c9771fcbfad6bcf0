// Worker processes for `kaltri pack --jobs N`. The archive layer keeps
// process-wide state (current folder, per-class library state), so parallel
// packing runs in forked processes, each with its own copy of that state,
// instead of threads. The parent hands out item numbers and reads back each
// result; a worker that dies is reported as a failure of its item. Each item
// in a worker's hands holds one token of the core budget, taken and given
// back here in the parent, so a worker that dies cannot take one with it.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
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

    bool HasIdleWorker() const;
    int Busy() const { return busy_; }
    // Hands the item to an idle worker (HasIdleWorker must be true).
    void Submit(std::size_t index, const std::string& text);
    // Blocks until one submitted item is done and returns its result.
    JobResult WaitOne();
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
        bool busy = false;
        std::size_t item = 0;
    };
    static void WorkerLoop(int in, int out, const Work& work);
    std::vector<Worker> workers_;
    int busy_ = 0;
    const std::atomic<bool>* interrupted_ = nullptr;
    bool forwarded_ = false;
};

}  // namespace kaltri
