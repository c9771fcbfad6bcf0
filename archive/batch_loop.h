// The step loop of a batch run, once for every front end: each entry in
// order is prepared (its questions asked), packed and finished (the failure
// question), and the run ends when an answer or the front end stops it. The
// front end says which source an entry stands for and shows what became of
// it; it never decides an entry's fate itself.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "archive/batch_run.h"

namespace kt {

class TBatchEntries {
public:
    virtual ~TBatchEntries() = default;
    virtual std::size_t Count() const = 0;
    // The source of entry i, or nothing to pass the entry over without a
    // word (the window: a row removed or no longer waiting). May wait for
    // room or pump messages; may stop the run (TBatchRun::Stop).
    virtual std::optional<std::string> Begin(std::size_t i) = 0;
    // Entry i is not packed; plan.Step tells why (Skip, SkipSilently,
    // PassOver, Done).
    virtual void NotPacked(std::size_t i, const TBatchRun::TPlan& plan) = 0;
    // Entry i is to be packed: its outcome, or nothing when there is none
    // to finish now (the front end dropped the entry, or a worker packs it
    // and the front end finishes it in order itself).
    virtual std::optional<TEntryOutcome> Pack(std::size_t i, const TBatchRun::TPlan& plan) = 0;
    // The outcome of entry i, a failure the run found or a pack's, shown
    // before the failure question. False: the loop does not finish it (the
    // front end does, later, or the entry is gone).
    virtual bool Settle(std::size_t i, const TEntryOutcome& outcome) = 0;
    // Entry i is over and the run goes on.
    virtual void Over(std::size_t i) { (void)i; }
};

// Runs every entry; false when the run was stopped.
bool RunBatch(TBatchRun& run, TBatchEntries& entries);

}  // namespace kt
