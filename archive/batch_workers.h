// The packing of a batch run in worker processes, for a front end that keeps
// every question, state and message in its own process and in list order
// (the window). Each worker packs with an archive component of its own,
// configured as the run configures the front end's. A made archive waits
// under a hidden temporary name until the front end reaches its entry and
// places it: so no archive of a later entry appears while the front end asks
// about an earlier one, and an answer that stops the run leaves none behind.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "archive/batch_run.h"
#include "archive/worker_pool.h"

namespace kt {

class TArchiveFile;

// The outcome of one entry handed to a worker.
struct TWorkerOutcome {
    std::size_t Index = 0;
    // False: handed out, but the run stopped before a worker began it.
    bool Started = true;
    TEntryOutcome Outcome;
    // Where the made archive waits (empty when nothing was made).
    std::string Temporary;
};

class TBatchWorkers {
public:
    // Forks `workers` processes. The process forking may hold threads (a
    // window's): a worker only packs, through the archive layer, and ends
    // with _exit, touching nothing else of its parent.
    TBatchWorkers(int workers, const TBatchSettings& settings);
    ~TBatchWorkers();
    TBatchWorkers(const TBatchWorkers&) = delete;
    TBatchWorkers& operator=(const TBatchWorkers&) = delete;

    // A worker can take a source of `bytes` now.
    bool HasRoom(std::uint64_t bytes) const { return FPool->HasRoom(bytes); }
    // Entries handed out whose outcomes have not been taken.
    int Busy() const { return FPool->Busy(); }
    bool AnyAlive() const { return FPool->AnyAlive(); }
    int Count() const { return FCount; }
    // Hands entry `index` (a plan with step Pack) to a worker.
    void Hand(std::size_t index, const TBatchRun::TPlan& plan, std::uint64_t bytes);
    // The next outcome that comes within about `ms` milliseconds.
    std::optional<TWorkerOutcome> Wait(int ms);
    // How far a worker has got with entry `index` (0 to 1), if it runs it.
    std::optional<double> Progress(std::size_t index) const { return FPool->Progress(index); }
    // Entries handed out but not begun are not begun, and those running
    // stop at the library's next progress report: their outcomes are
    // wanted no more.
    void StopHanding() { FPool->CancelWaiting(); }
    // Nothing more can be handed out for now: idle workers give their
    // cores back, for the threads of an entry still packing.
    void ReleaseIdleCores() { FPool->ReleaseIdleCores(); }

private:
    JobResult Work(const std::string& item);

    TBatchSettings FSettings;
    int FCount;
    // A worker's own component, made in the worker when it first packs.
    std::unique_ptr<TArchiveFile> FArchive;
    std::unique_ptr<WorkerPool> FPool;
};

}  // namespace kt
