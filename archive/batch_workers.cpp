#include "archive/batch_workers.h"

#include <exception>

#include "archive/archive_file.h"
#include "platform/archiver_api.h"

namespace kt {
namespace {

// An item travels as one letter for whether the run found no archive there
// ('n') or one to replace ('r'), the archive path, a NUL and the source
// (paths hold no NUL).
std::string ItemText(const TBatchRun::TPlan& plan) {
    return (plan.NewArchive ? "n" : "r") + plan.Archive + '\0' + plan.Source;
}

}  // namespace

TBatchWorkers::TBatchWorkers(int workers, const TBatchSettings& settings)
    : FSettings(settings), FCount(workers) {
    FPool = std::make_unique<WorkerPool>(
        workers, [this](std::size_t, const std::string& item) { return Work(item); });
}

TBatchWorkers::~TBatchWorkers() = default;

JobResult TBatchWorkers::Work(const std::string& item) {
    JobResult r;
    const std::size_t nul = item.find('\0');
    TBatchRun::TPlan plan;
    plan.Type = FSettings.Type;
    plan.NewArchive = item[0] == 'n';
    plan.Archive = item.substr(1, nul - 1);
    plan.Source = item.substr(nul + 1);
    try {
        if (!FArchive) {
            FArchive = std::make_unique<TArchiveFile>();
            ConfigureBatchArchive(*FArchive, FSettings);
            // The window's bar moves inside a long entry: the worker says
            // how far the library has got. Once the run has stopped, an
            // entry still packing is wanted no more: the library stops it
            // (and its temporary archive goes).
            FArchive->OnProgress = [](TArchiveFile*, int, EXTRACTINGINFOEX* eis, bool& abort) {
                if (eis != nullptr && eis->exinfo.dwFileSize > 0)
                    WorkerPool::ReportProgress(double(eis->exinfo.dwWriteSize) /
                                               eis->exinfo.dwFileSize);
                if (WorkerPool::Cancelled()) abort = true;
            };
        }
        const TEntryOutcome o = TBatchRun::Pack(*FArchive, plan, nullptr, nullptr, &r.temporary);
        r.code = o.Code;
        r.fault = static_cast<int>(o.Fault);
        r.output = o.Report;
    } catch (const std::exception& e) {
        r.fault = static_cast<int>(TEntryFault::Layer);
        r.output = e.what();
    }
    return r;
}

void TBatchWorkers::Hand(std::size_t index, const TBatchRun::TPlan& plan, std::uint64_t bytes) {
    FPool->Submit(index, ItemText(plan), bytes);
}

std::optional<TWorkerOutcome> TBatchWorkers::Wait(int ms) {
    JobResult r;
    if (!FPool->WaitFor(r, ms)) return std::nullopt;
    TWorkerOutcome w;
    w.Index = r.index;
    w.Started = r.started;
    w.Temporary = r.temporary;
    w.Outcome.Code = r.code;
    w.Outcome.Report = r.output;
    w.Outcome.Fault = static_cast<TEntryFault>(r.fault);
    // A worker that died with the entry: the library crashed on it.
    if (w.Outcome.Fault == TEntryFault::None && r.code != 0) w.Outcome.Fault = TEntryFault::Library;
    return w;
}

}  // namespace kt
