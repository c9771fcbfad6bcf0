#include "pack_run.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <set>

#include "progress_bar.h"

namespace kaltri {
namespace {

enum class Outcome { Pending, Packed, Failed, Skipped };

struct Slot {
    Outcome outcome = Outcome::Pending;
    std::string archive;
    JobResult result;
};

bool FileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

}  // namespace

RunSummary RunPack(const PackPlan& plan, const RunSettings& settings, const PackFunction& pack,
                   const AskFunction& ask, const std::atomic<bool>& interrupted,
                   const std::function<void(const std::string&)>& say) {
    RunSummary summary;
    const std::size_t n = plan.items.size();
    std::vector<Slot> slots(n);
    for (std::size_t i = 0; i < n; ++i)
        slots[i].archive = ArchivePathFor(plan.items[i], settings.outDir, settings.ext);

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

    auto work = [&](std::size_t i, bool replace) {
        JobResult r = pack(slots[i].archive, plan.items[i].source, replace);
        r.index = i;
        return r;
    };
    std::vector<bool> replaceOf(n, false);
    std::unique_ptr<WorkerPool> pool;
    if (settings.jobs > 1 && n > 1) {
        int workers = settings.jobs < static_cast<int>(n) ? settings.jobs : static_cast<int>(n);
        // Workers read replaceOf from their own copy, so it must be decided
        // before the item is handed out: the parent sends "replace" items
        // with the high bit set.
        pool = std::make_unique<WorkerPool>(workers, [&](std::size_t coded) {
            constexpr std::size_t kReplace = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
            return work(coded & ~kReplace, (coded & kReplace) != 0);
        });
    }

    char overwriteAnswer = 'y';  // 'o' no to all, 'A' yes to all
    bool failureYesToAll = false;
    bool stop = false;
    std::size_t next = 0, printed = 0;
    std::set<std::string> inFlight;

    // Prints finished items in input order and applies the failure policy.
    auto flush = [&]() {
        while (printed < n && slots[printed].outcome != Outcome::Pending) {
            Slot& s = slots[printed];
            const PackItem& item = plan.items[printed];
            if (s.outcome == Outcome::Packed) {
                ++summary.packed;
                show(Text(settings.lang, Msg::Packed, item.source, s.archive));
                bar.Advance(1, item.size);
            } else if (s.outcome == Outcome::Skipped) {
                ++summary.skipped;
                show(Text(settings.lang, Msg::Skipped, item.source));
            } else {
                ++summary.failed;
                std::string detail = s.result.output;
                while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r')) detail.pop_back();
                show(Text(settings.lang, Msg::Failed, item.source, std::to_string(s.result.code)) +
                     (detail.empty() ? "" : "\n  " + detail));
                bar.Advance(1, item.size);
                if (!stop && !interrupted) {
                    if (settings.onError == ErrorPolicy::Stop) {
                        stop = true;
                    } else if (settings.onError == ErrorPolicy::Ask && !failureYesToAll) {
                        std::optional<char> a = askNow(Text(settings.lang, Msg::PackFailedContinue),
                                                       Text(settings.lang, Msg::AnswerFailure));
                        if (a == 'A') failureYesToAll = true;
                        else if (a != 'y' && a != 'Y') stop = true;
                    }
                }
            }
            ++printed;
        }
    };
    auto finish = [&](const JobResult& r) {
        Slot& s = slots[r.index];
        s.result = r;
        s.outcome = r.code == 0 ? Outcome::Packed : Outcome::Failed;
        inFlight.erase(s.archive);
    };

    while (true) {
        // Hand out items while a worker (or, without workers, this process) is free.
        while (!stop && !interrupted && next < n && (!pool || pool->HasIdleWorker())) {
            Slot& s = slots[next];
            // Two sources that map to one archive: the second waits for the
            // first, then meets the existing archive like any other.
            if (inFlight.count(s.archive) != 0) break;
            bool replace = false;
            if (FileExists(s.archive)) {
                char answer = 'n';
                if (settings.overwrite == OverwritePolicy::All || overwriteAnswer == 'A') {
                    answer = 'y';
                } else if (settings.overwrite == OverwritePolicy::None || overwriteAnswer == 'o') {
                    answer = 'n';
                } else {
                    std::optional<char> a = askNow(Text(settings.lang, Msg::ArchiveExists, s.archive),
                                                   Text(settings.lang, Msg::AnswerFive));
                    answer = a.value_or('a');
                    if (answer == 'A' || answer == 'o') overwriteAnswer = answer;
                    if (answer == 'Y') answer = 'y';
                    if (answer == 'N') answer = 'n';
                    if (answer == 'o') answer = 'n';
                    if (answer == 'A') answer = 'y';
                }
                if (answer != 'y' && answer != 'n') {
                    stop = true;
                    break;
                }
                if (answer == 'n') {
                    s.outcome = Outcome::Skipped;
                    ++next;
                    flush();
                    continue;
                }
                replace = true;
            }
            replaceOf[next] = replace;
            if (pool) {
                constexpr std::size_t kReplace = std::size_t{1} << (sizeof(std::size_t) * 8 - 1);
                inFlight.insert(s.archive);
                pool->Submit(next | (replace ? kReplace : 0));
            } else {
                finish(work(next, replace));
            }
            ++next;
            flush();
        }
        if (pool && pool->Busy() > 0) {
            finish(pool->WaitOne());
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
