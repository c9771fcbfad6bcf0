#include "pack_run.h"

#include <sys/stat.h>

#include <memory>

#include "archive/batch_run.h"
#include "json_lines.h"
#include "platform/core_budget.h"
#include "progress_bar.h"
#include "source_removal.h"

namespace kaltri {
namespace {

// What an item travels with to the one who packs it: one letter for whether
// the run found no archive there ('n') or one to replace ('r'), then the
// archive path.
std::string TargetText(const kt::TBatchRun::TPlan& plan) { return (plan.NewArchive ? "n" : "r") + plan.Archive; }

// NotReached: handed to a worker, but the run stopped before it began.
enum class Outcome { Pending, Packed, Failed, Skipped, NotReached };

struct Slot {
    Outcome outcome = Outcome::Pending;
    kt::TBatchRun::TPlan plan;
    kt::TEntryOutcome result;
    SourceFate fate = SourceFate::NotAsked;
    std::string fateDetail;
};

using AskNow = std::function<std::optional<char>(const std::string&, const std::string&)>;

// The run's questions, answered by the policies or, for "ask", on the
// terminal. A target folder is made up front (see CreateOutFolder), so one
// missing now went away during the run: it is made again.
class PolicyQuestions : public kt::TBatchQuestions {
public:
    PolicyQuestions(const RunSettings& settings, AskNow ask) : s_(settings), ask_(std::move(ask)) {}

    kt::TBatchAnswer FolderMissing(const std::string&) override { return kt::TBatchAnswer::Yes; }
    kt::TBatchAnswer FolderNotCreated(const std::string&) override { return kt::TBatchAnswer::No; }
    kt::TBatchAnswer FolderIsFile(const std::string&) override { return kt::TBatchAnswer::No; }

    kt::TBatchAnswer ArchiveExists(const std::string& archive) override {
        switch (s_.overwrite) {
            case OverwritePolicy::All: return kt::TBatchAnswer::Yes;
            case OverwritePolicy::None: return kt::TBatchAnswer::No;
            default: break;
        }
        switch (ask_(Text(s_.lang, Msg::ArchiveExists, archive), Text(s_.lang, Msg::AnswerFive)).value_or('a')) {
            case 'y': case 'Y': return kt::TBatchAnswer::Yes;
            case 'n': case 'N': return kt::TBatchAnswer::No;
            case 'o': return kt::TBatchAnswer::NoToAll;
            case 'A': return kt::TBatchAnswer::YesToAll;
            default: return kt::TBatchAnswer::Abort;
        }
    }

    kt::TBatchAnswer PackFailed(const kt::TEntryOutcome&) override {
        switch (s_.onError) {
            case ErrorPolicy::Stop: return kt::TBatchAnswer::Abort;
            case ErrorPolicy::Continue: return kt::TBatchAnswer::YesToAll;
            default: break;
        }
        switch (ask_(Text(s_.lang, Msg::PackFailedContinue), Text(s_.lang, Msg::AnswerFailure)).value_or('a')) {
            case 'y': case 'Y': return kt::TBatchAnswer::Yes;
            case 'A': return kt::TBatchAnswer::YesToAll;
            default: return kt::TBatchAnswer::Abort;
        }
    }

private:
    const RunSettings& s_;
    AskNow ask_;
};

kt::TEntryOutcome OutcomeOf(const JobResult& r, const kt::TBatchRun::TPlan& plan) {
    kt::TEntryOutcome o;
    o.Source = plan.Source;
    o.Archive = plan.Archive;
    o.Code = r.code;
    o.Report = r.output;
    if (r.fault != 0) o.Fault = static_cast<kt::TEntryFault>(r.fault);
    else if (r.code != 0) o.Fault = kt::TEntryFault::Library;
    return o;
}

// The library's report as indented lines under the failure, without its last line break.
std::string ReportLines(std::string detail) {
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
    return detail.empty() ? "" : "\n  " + detail;
}

std::string FailureText(Lang lang, const kt::TEntryOutcome& o) {
    switch (o.Fault) {
        case kt::TEntryFault::UnsafeName: return Text(lang, Msg::NameUnsafe, o.Source);
        case kt::TEntryFault::SameArchive: return Text(lang, Msg::SameArchive, o.Source, o.Archive, o.Other);
        case kt::TEntryFault::ArchiveIsFolder: return Text(lang, Msg::ArchiveIsFolder, o.Source, o.Archive);
        case kt::TEntryFault::SourceMissing: return Text(lang, Msg::SourceVanished, o.Source);
        case kt::TEntryFault::Layer: return Text(lang, Msg::Failed, o.Source, o.Report);
        case kt::TEntryFault::TestFailed:
            return Text(lang, Msg::TestAfterPackFailed, o.Source, o.Archive, ErrorCodeText(lang, o.Code)) +
                   ReportLines(o.Report);
        default: break;
    }
    return Text(lang, Msg::Failed, o.Source, ErrorCodeText(lang, o.Code)) + ReportLines(o.Report);
}

// The line about a source the user asked to remove; empty when not asked.
std::string FateText(Lang lang, SourceFate fate, const std::string& source, const std::string& detail) {
    switch (fate) {
        case SourceFate::Trashed: return Text(lang, Msg::SourceTrashed, source);
        case SourceFate::Deleted: return Text(lang, Msg::SourceDeleted, source);
        case SourceFate::KeptInterrupted: return Text(lang, Msg::SourceKeptInterrupted, source);
        case SourceFate::KeptChanged: return Text(lang, Msg::SourceKeptChanged, source);
        case SourceFate::KeptNotFlushed: return Text(lang, Msg::SourceKeptNotFlushed, source, detail);
        case SourceFate::KeptNotRemoved: return Text(lang, Msg::SourceKeptNotRemoved, source, detail);
        default: return {};
    }
}


// The --json record of one file.
std::string FileRecord(const RunSettings& settings, const PackItem& item, const Slot& s) {
    Json j;
    j["type"] = "file";
    j["source"] = item.source;
    j["archive"] = s.plan.Archive;
    j["result"] = s.outcome == Outcome::Packed ? "packed" : s.outcome == Outcome::Skipped ? "skipped" : "failed";
    j["size"] = item.size;
    if (s.outcome == Outcome::Packed) {
        struct stat st {};
        if (stat(s.plan.Archive.c_str(), &st) == 0) j["packed"] = static_cast<std::uint64_t>(st.st_size);
        j["tested"] = settings.test;
        if (s.fate != SourceFate::NotAsked) j[SourceKept(s.fate) ? "source_kept" : "source_removed"] = FateWord(s.fate);
        if (!s.fateDetail.empty()) j["source_detail"] = s.fateDetail;
    } else if (s.outcome == Outcome::Failed) {
        j["code"] = s.result.Code;
        j["error"] = FailureText(Lang::En, s.result);
    }
    return JsonLine(j);
}

}  // namespace

RunSummary RunPack(const PackPlan& plan, const RunSettings& settings, const PackFunction& pack,
                   const AskFunction& ask, const std::atomic<bool>& interrupted,
                   const std::function<void(const std::string&)>& say) {
    RunSummary summary;
    const std::size_t n = plan.items.size();
    std::vector<Slot> slots(n);

    ProgressBar bar(settings.progress, n, plan.totalBytes);
    auto show = [&](const std::string& text) {
        bar.Clear();
        say(text);
        bar.Redraw();
    };
    auto askNow = [&](const std::string& q, const std::string& hint) {
        bar.Clear();
        std::optional<char> a = ask(q, hint);
        bar.Redraw();
        return a;
    };

    kt::TBatchSettings batch;
    batch.Extension = settings.ext;
    batch.NextToSource = settings.outDir.empty();
    batch.ChosenFolder = settings.outDir;
    batch.RenameOnClash = settings.renameOnClash;
    PolicyQuestions questions(settings, askNow);
    kt::TBatchRun run(batch, questions);

    // Workers are forked before the plans are made: the archive path travels
    // with the item (TargetText).
    auto work = [&](std::size_t i, const std::string& target) {
        // In a worker, an item queued behind one that Ctrl-C stopped.
        if (interrupted) {
            JobResult r;
            r.index = i;
            r.started = false;
            return r;
        }
        JobResult r = pack(target.substr(1), plan.items[i].source, target[0] == 'n');
        r.index = i;
        return r;
    };
    std::unique_ptr<WorkerPool> pool;
    if (settings.jobs > 1 && n > 1) {
        int workers = settings.jobs < static_cast<int>(n) ? settings.jobs : static_cast<int>(n);
        pool = std::make_unique<WorkerPool>(workers, work);
        pool->ForwardInterrupts(&interrupted);
    }

    bool stop = false;
    std::size_t next = 0, printed = 0;
    // Failures known but not printed yet: with a question or a stop to come,
    // the run waits on the results before them one by one.
    std::size_t failuresAhead = 0;
    const bool failureDecides = settings.onError != ErrorPolicy::Continue;

    // Prints finished items in input order; a failure meets the failure
    // question (or its policy) once it is printed.
    auto flush = [&]() {
        while (printed < n && slots[printed].outcome != Outcome::Pending) {
            Slot& s = slots[printed];
            const PackItem& item = plan.items[printed];
            if (settings.json) show(FileRecord(settings, item, s));
            if (s.outcome == Outcome::Packed) {
                ++summary.packed;
                if (!settings.json) {
                    show(Text(settings.lang, Msg::Packed, item.source, s.plan.Archive));
                    if (s.fate != SourceFate::NotAsked) show(FateText(settings.lang, s.fate, item.source, s.fateDetail));
                }
                if (SourceKept(s.fate)) ++summary.sourcesKept;
                bar.Advance(1, item.size);
            } else if (s.outcome == Outcome::Skipped) {
                ++summary.skipped;
                if (!settings.json) show(Text(settings.lang, Msg::Skipped, item.source));
            } else if (s.outcome == Outcome::NotReached) {
                ++summary.skipped;  // like the items never handed out
            } else {
                ++summary.failed;
                --failuresAhead;
                if (!settings.json) show(FailureText(settings.lang, s.result));
                bar.Advance(1, item.size);
                if (!stop && !interrupted && !run.Finish(s.result)) stop = true;
            }
            ++printed;
        }
        // Items waiting in a worker are not begun once the run stops.
        if (stop && pool) pool->CancelWaiting();
    };
    auto finish = [&](const JobResult& r) {
        Slot& s = slots[r.index];
        if (!r.started) {
            s.outcome = Outcome::NotReached;
            return;
        }
        s.result = OutcomeOf(r, s.plan);
        s.outcome = s.result.Ok() ? Outcome::Packed : Outcome::Failed;
        if (s.outcome == Outcome::Failed) ++failuresAhead;
        s.fate = static_cast<SourceFate>(r.fate);
        s.fateDetail = r.fateDetail;
    };

    while (true) {
        // Hand out items while a worker (or, without workers, this process) is free.
        while (!stop && !interrupted && next < n && (!pool || !pool->AnyAlive() || pool->HasRoom(plan.items[next].size))) {
            Slot& s = slots[next];
            s.plan = run.Prepare(plan.items[next].source);
            switch (s.plan.Step) {
                case kt::TBatchRun::TStep::Stop:
                    stop = true;
                    continue;
                case kt::TBatchRun::TStep::Skip:
                case kt::TBatchRun::TStep::SkipSilently:
                    s.outcome = Outcome::Skipped;
                    break;
                case kt::TBatchRun::TStep::Fail:
                    s.result = s.plan.Failure;
                    s.outcome = Outcome::Failed;
                    ++failuresAhead;
                    break;
                case kt::TBatchRun::TStep::Pack:
                    if (pool && pool->AnyAlive()) {
                        pool->Submit(next, TargetText(s.plan), plan.items[next].size);
                    } else if (pool) {
                        // Every worker died: the library crashes; this process must not.
                        finish(WorkerPool::Ended(next));
                    } else {
                        // This process packs: its in-file threads get the other cores.
                        kt::HeldCore core;
                        finish(work(next, TargetText(s.plan)));
                    }
                    break;
            }
            ++next;
            flush();
        }
        if (pool) pool->ReleaseIdleCores();  // nothing more to hand out for now
        if (pool && pool->Busy() > 0) {
            finish(pool->WaitOne(failureDecides && failuresAhead > 0));
            flush();
            continue;
        }
        if (stop || interrupted || next >= n) break;
    }
    flush();
    pool.reset();
    bar.Clear();
    summary.stopped = stop;
    summary.interrupted = interrupted;
    // Items never reached count as skipped.
    for (std::size_t i = printed; i < n; ++i)
        if (slots[i].outcome == Outcome::Pending) ++summary.skipped;
    return summary;
}

}  // namespace kaltri
