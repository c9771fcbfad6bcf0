#include "archive/batch_loop.h"

namespace kt {

bool RunBatch(TBatchRun& run, TBatchEntries& entries) {
    for (std::size_t i = 0; i < entries.Count() && !run.Stopped(); ++i) {
        const std::optional<std::string> source = entries.Begin(i);
        if (!source || run.Stopped()) continue;
        const TBatchRun::TPlan plan = run.Prepare(*source);
        TEntryOutcome outcome;
        switch (plan.Step) {
            case TBatchRun::TStep::Stop:
                continue;
            case TBatchRun::TStep::Skip:
            case TBatchRun::TStep::SkipSilently:
            case TBatchRun::TStep::PassOver:
            case TBatchRun::TStep::Done:
                entries.NotPacked(i, plan);
                continue;
            case TBatchRun::TStep::Fail:
                outcome = plan.Failure;
                break;
            case TBatchRun::TStep::Pack: {
                std::optional<TEntryOutcome> packed = entries.Pack(i, plan);
                if (!packed) continue;
                outcome = std::move(*packed);
                break;
            }
        }
        if (entries.Settle(i, outcome) && run.Finish(outcome)) entries.Over(i);
    }
    return !run.Stopped();
}

}  // namespace kt
