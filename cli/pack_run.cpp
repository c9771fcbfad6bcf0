#include "pack_run.h"

#include <sys/stat.h>

#include <memory>

#include "answer_keys.h"
#include "archive/batch_loop.h"
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
std::string TargetText(const kt::TBatchRun::TPlan& plan) {
    return (plan.NewArchive ? "n" : "r") + plan.Archive;
}

// NotReached: handed to a worker, but the run stopped before it began.
enum class Outcome { Pending, Packed, Failed, Skipped, NotReached };

struct Slot {
    Outcome outcome = Outcome::Pending;
    bool finishes = false;  // its outcome goes to the run's Finish when printed
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
            case OverwritePolicy::All:
                return kt::TBatchAnswer::Yes;
            case OverwritePolicy::None:
                return kt::TBatchAnswer::No;
            default:
                break;
        }
        return AnswerOfKey(
            ask_(Text(s_.lang, Msg::ArchiveExists, archive), Text(s_.lang, Msg::AnswerFive)));
    }

    kt::TBatchAnswer PackFailed(const kt::TEntryOutcome&) override {
        switch (s_.onError) {
            case ErrorPolicy::Stop:
                return kt::TBatchAnswer::Abort;
            case ErrorPolicy::Continue:
                return kt::TBatchAnswer::YesToAll;
            default:
                break;
        }
        // This question offers no "no".
        const kt::TBatchAnswer a = AnswerOfKey(
            ask_(Text(s_.lang, Msg::PackFailedContinue), Text(s_.lang, Msg::AnswerFailure)));
        return a == kt::TBatchAnswer::No ? kt::TBatchAnswer::Abort : a;
    }

private:
    const RunSettings& s_;
    AskNow ask_;
};

kt::TEntryOutcome OutcomeOf(const kt::JobResult& r, const kt::TBatchRun::TPlan& plan) {
    kt::TEntryOutcome o;
    o.Source = plan.Source;
    o.Archive = plan.Archive;
    o.Code = r.code;
    o.Report = r.output;
    if (r.fault != 0)
        o.Fault = static_cast<kt::TEntryFault>(r.fault);
    else if (r.code != 0)
        o.Fault = kt::TEntryFault::Library;
    return o;
}

// The library's report as indented lines under the failure, without its last line break.
std::string ReportLines(std::string detail) {
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
    return detail.empty() ? "" : "\n  " + detail;
}

std::string FailureText(Lang lang, const kt::TEntryOutcome& o) {
    switch (o.Fault) {
        case kt::TEntryFault::SameArchive:
            return Text(lang, Msg::SameArchive, o.Source, o.Archive, o.Other);
        case kt::TEntryFault::ArchiveIsFolder:
            return Text(lang, Msg::ArchiveIsFolder, o.Source, o.Archive);
        case kt::TEntryFault::SourceMissing:
            return Text(lang, Msg::SourceVanished, o.Source);
        case kt::TEntryFault::Layer:
            return Text(lang, Msg::Failed, o.Source, o.Report);
        case kt::TEntryFault::ArchiveInFolder:
            return Text(lang, Msg::ArchiveInFolder, o.Source, o.Archive);
        case kt::TEntryFault::TestFailed:
            return Text(lang, Msg::TestAfterPackFailed, o.Source, o.Archive,
                        ErrorCodeText(lang, o.Code)) +
                   ReportLines(o.Report);
        default:
            break;
    }
    return Text(lang, Msg::Failed, o.Source, ErrorCodeText(lang, o.Code)) + ReportLines(o.Report);
}

// The line about a source the user asked to remove; empty when not asked.
std::string FateText(Lang lang, SourceFate fate, const std::string& source,
                     const std::string& detail) {
    switch (fate) {
        case SourceFate::Trashed:
            return Text(lang, Msg::SourceTrashed, source);
        case SourceFate::Deleted:
            return Text(lang, Msg::SourceDeleted, source);
        case SourceFate::KeptInterrupted:
            return Text(lang, Msg::SourceKeptInterrupted, source);
        case SourceFate::KeptChanged:
            return Text(lang, Msg::SourceKeptChanged, source);
        case SourceFate::KeptNotFlushed:
            return Text(lang, Msg::SourceKeptNotFlushed, source, detail);
        case SourceFate::KeptNotRemoved:
            return Text(lang, Msg::SourceKeptNotRemoved, source, detail);
        default:
            return {};
    }
}

// The --json record of one file.
std::string FileRecord(const RunSettings& settings, const kt::TSourceFile& item, const Slot& s) {
    Json j;
    j["type"] = "file";
    j["source"] = item.Path;
    j["archive"] = s.plan.Archive;
    j["result"] = s.outcome == Outcome::Packed    ? "packed"
                  : s.outcome == Outcome::Skipped ? "skipped"
                                                  : "failed";
    j["size"] = item.Size;
    if (s.outcome == Outcome::Packed) {
        struct stat st {};
        if (stat(s.plan.Archive.c_str(), &st) == 0)
            j["packed"] = static_cast<std::uint64_t>(st.st_size);
        j["tested"] = settings.test;
        if (s.fate != SourceFate::NotAsked)
            j[SourceKept(s.fate) ? "source_kept" : "source_removed"] = FateWord(s.fate);
        if (!s.fateDetail.empty()) j["source_detail"] = s.fateDetail;
    } else if (s.outcome == Outcome::Failed) {
        j["code"] = s.result.Code;
        j["error"] = FailureText(Lang::En, s.result);
    }
    return JsonLine(j);
}

// kaltri's side of the run: the items handed to workers (or packed here),
// their outcomes printed in input order, each failure meeting its question
// (or policy) once it is printed, and the summary.
class PackEntries : public kt::TBatchEntries {
public:
    PackEntries(const kt::TSources& sources, const RunSettings& settings, const PackFunction& pack,
                const std::atomic<bool>& interrupted, kt::TBatchRun& run, ProgressBar& bar,
                SayFunction show)
        : sources_(sources),
          s_(settings),
          pack_(pack),
          interrupted_(interrupted),
          run_(run),
          bar_(bar),
          show_(std::move(show)),
          slots_(sources.Files.size()) {
        // Workers are forked before the plans are made: the archive path
        // travels with the item (TargetText).
        const std::size_t n = slots_.size();
        if (s_.jobs > 1 && n > 1) {
            const int workers = s_.jobs < static_cast<int>(n) ? s_.jobs : static_cast<int>(n);
            pool_ = std::make_unique<kt::WorkerPool>(
                workers, [this](std::size_t i, const std::string& t) { return Work(i, t); });
            pool_->ForwardInterrupts(&interrupted_);
        }
    }

    std::size_t Count() const override { return slots_.size(); }

    std::optional<std::string> Begin(std::size_t i) override {
        const kt::TSourceFile& item = sources_.Files[i];
        // Hand out only while a worker (or, without workers, this process)
        // is free; and an item whose source an earlier one still packs
        // waits for that one's outcome.
        while (!Halted() && pool_ && pool_->AnyAlive() && pool_->Busy() > 0 &&
               !pool_->HasRoom(item.Size))
            WaitOne();
        while (!Halted() && pool_ && pool_->Busy() > 0 && run_.Unsettled(item.Path)) WaitOne();
        if (interrupted_) run_.Stop();
        if (Halted()) return std::nullopt;
        return item.Path;
    }

    void NotPacked(std::size_t i, const kt::TBatchRun::TPlan& plan) override {
        Slot& s = slots_[i];
        s.plan = plan;
        // Listed twice: done by the first, its archive stands.
        s.outcome = plan.Step == kt::TBatchRun::TStep::Done ? Outcome::Packed : Outcome::Skipped;
        Flush();
    }

    std::optional<kt::TEntryOutcome> Pack(std::size_t i,
                                          const kt::TBatchRun::TPlan& plan) override {
        slots_[i].plan = plan;
        if (pool_ && pool_->AnyAlive()) {
            pool_->Submit(i, TargetText(plan), sources_.Files[i].Size);
        } else if (pool_) {
            // Every worker died: the library crashes; this process must not.
            Finished(kt::WorkerPool::Ended(i));
        } else {
            // This process packs: its in-file threads get the other cores.
            kt::HeldCore core;
            Finished(Work(i, TargetText(plan)));
        }
        Flush();
        return std::nullopt;  // finished in order by Flush
    }

    bool Settle(std::size_t i, const kt::TEntryOutcome& outcome) override {
        Slot& s = slots_[i];
        s.result = outcome;
        s.outcome = Outcome::Failed;
        s.finishes = true;
        ++failuresAhead_;
        Flush();
        return false;  // finished in order by Flush
    }

    RunSummary End() {
        while (pool_ && pool_->Busy() > 0) WaitOne();
        Flush();
        pool_.reset();
        summary_.interrupted = interrupted_;
        summary_.stopped = run_.Stopped() && !summary_.interrupted;
        // Items never reached count as skipped.
        for (std::size_t i = printed_; i < slots_.size(); ++i)
            if (slots_[i].outcome == Outcome::Pending) ++summary_.skipped;
        return summary_;
    }

private:
    bool Halted() const { return run_.Stopped() || interrupted_; }

    kt::JobResult Work(std::size_t i, const std::string& target) {
        // In a worker, an item queued behind one that Ctrl-C stopped.
        if (interrupted_) {
            kt::JobResult r;
            r.index = i;
            r.started = false;
            return r;
        }
        kt::JobResult r = pack_(target.substr(1), sources_.Files[i].Path, target[0] == 'n');
        r.index = i;
        return r;
    }

    // Waits for one result of a worker; a failure the run must decide on
    // first is waited for promptly.
    void WaitOne() {
        pool_->ReleaseIdleCores();  // nothing more to hand out for now
        Finished(pool_->WaitOne(s_.onError != ErrorPolicy::Continue && failuresAhead_ > 0));
        Flush();
    }

    void Finished(const kt::JobResult& r) {
        Slot& s = slots_[r.index];
        if (!r.started) {
            s.outcome = Outcome::NotReached;
            return;
        }
        s.result = OutcomeOf(r, s.plan);
        s.outcome = s.result.Ok() ? Outcome::Packed : Outcome::Failed;
        s.finishes = true;
        if (s.outcome == Outcome::Failed) ++failuresAhead_;
        s.fate = static_cast<SourceFate>(r.fate);
        s.fateDetail = r.fateDetail;
    }

    // The line of a packed item; with -v its sizes and, for a folder, its members.
    void ShowPacked(const kt::TSourceFile& item, const Slot& s) {
        if (s_.verbosity != Verbosity::Verbose || s.outcome != Outcome::Packed) {
            show_(Text(s_.lang, Msg::Packed, item.Path, s.plan.Archive), LineKind::Progress);
            return;
        }
        struct stat st {};
        const std::string written =
            stat(s.plan.Archive.c_str(), &st) == 0 ? std::to_string(st.st_size) : "?";
        show_(Text(s_.lang, Msg::PackedSizes, item.Path, s.plan.Archive, std::to_string(item.Size),
                   written),
              LineKind::Progress);
        if (item.Folder && s_.membersOf)
            for (const std::string& member : s_.membersOf(s.plan.Archive))
                show_("  " + member, LineKind::Progress);
    }

    // Prints finished items in input order; a failure meets the failure
    // question (or its policy) once it is printed.
    void Flush() {
        while (printed_ < slots_.size() && slots_[printed_].outcome != Outcome::Pending) {
            Slot& s = slots_[printed_];
            const kt::TSourceFile& item = sources_.Files[printed_];
            if (s_.json) show_(FileRecord(s_, item, s), LineKind::Progress);
            switch (s.outcome) {
                case Outcome::Packed:
                    ++summary_.packed;
                    if (!s_.json) {
                        ShowPacked(item, s);
                        // A source that had to stay fails the run: said as an error.
                        if (s.fate != SourceFate::NotAsked)
                            show_(FateText(s_.lang, s.fate, item.Path, s.fateDetail),
                                  SourceKept(s.fate) ? LineKind::Error : LineKind::Progress);
                    }
                    if (SourceKept(s.fate)) ++summary_.sourcesKept;
                    bar_.Advance(1, item.Size);
                    if (s.finishes && !Halted()) run_.Finish(s.result);
                    break;
                case Outcome::Skipped: {
                    const bool itself = s.plan.Step == kt::TBatchRun::TStep::PassOver;
                    ++summary_.skipped;
                    if (!s_.json)
                        show_(Text(s_.lang, itself ? Msg::PassedOver : Msg::Skipped, item.Path),
                              LineKind::Warning);
                    break;
                }
                case Outcome::NotReached:
                    ++summary_.skipped;  // like the items never handed out
                    break;
                default:
                    ++summary_.failed;
                    --failuresAhead_;
                    if (!s_.json) show_(FailureText(s_.lang, s.result), LineKind::Error);
                    bar_.Advance(1, item.Size);
                    if (!Halted()) run_.Finish(s.result);
                    break;
            }
            ++printed_;
        }
        // Items waiting in a worker are not begun once the run stops.
        if (run_.Stopped() && pool_) pool_->CancelWaiting();
    }

    const kt::TSources& sources_;
    const RunSettings& s_;
    const PackFunction& pack_;
    const std::atomic<bool>& interrupted_;
    kt::TBatchRun& run_;
    ProgressBar& bar_;
    SayFunction show_;
    std::vector<Slot> slots_;
    std::unique_ptr<kt::WorkerPool> pool_;
    std::size_t printed_ = 0;
    // Failures known but not printed yet: with a question or a stop to
    // come, the run waits on the results before them one by one.
    std::size_t failuresAhead_ = 0;
    RunSummary summary_;
};

}  // namespace

RunSummary RunPack(const kt::TSources& sources, const RunSettings& settings,
                   const PackFunction& pack, const AskFunction& ask,
                   const std::atomic<bool>& interrupted, const SayFunction& say) {
    ProgressBar bar(settings.progress, sources.Files.size(), sources.TotalBytes);
    auto show = [&](const std::string& text, LineKind kind) {
        bar.Clear();
        say(text, kind);
        bar.Redraw();
    };
    auto askNow = [&](const std::string& q, const std::string& hint) {
        bar.Clear();
        std::optional<char> a = ask(q, hint);
        bar.Redraw();
        return a;
    };

    kt::TBatchSettings batch;
    batch.Type = settings.type;
    batch.NextToSource = settings.outDir.empty();
    batch.ChosenFolder = settings.outDir;
    batch.RenameOnClash = settings.renameOnClash;
    PolicyQuestions questions(settings, askNow);
    kt::TBatchRun run(batch, questions);

    PackEntries entries(sources, settings, pack, interrupted, run, bar, show);
    kt::RunBatch(run, entries);
    RunSummary summary = entries.End();
    bar.Clear();
    return summary;
}

}  // namespace kaltri
