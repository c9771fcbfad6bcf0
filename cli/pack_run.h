// The batch run of `kaltri pack`: one archive per source, in input order,
// with the window run's questions (existing archive, failure) answered by
// policy or on the terminal, and several sources packed at once when asked.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "messages.h"
#include "options.h"
#include "archive/archiver_types.h"
#include "archive/source_paths.h"
#include "archive/worker_pool.h"

namespace kaltri {

// Packs source into archive (an existing archive is replaced only once the
// new one is complete); newArchive: the run found no archive there. Returns
// the library's code (0: made), its report text and, when the run itself
// found the fault, which one.
using PackFunction = std::function<kt::JobResult(const std::string& archive,
                                                 const std::string& source, bool newArchive)>;

// Shows a question with its answer hint and returns the first key typed;
// nullopt at end of input or when interrupted.
using AskFunction =
    std::function<std::optional<char>(const std::string& question, const std::string& hint)>;

struct RunSettings {
    kt::TArchiverType type = kt::atZip;  // atLha or atZip
    std::string outDir;                  // empty: next to each source
    OverwritePolicy overwrite = OverwritePolicy::None;
    ErrorPolicy onError = ErrorPolicy::Continue;
    // A second source that would get an archive made earlier in the run:
    // false fails it, true names its archive "name (2).ext".
    bool renameOnClash = false;
    int jobs = 1;
    bool progress = false;
    Lang lang = Lang::En;
    bool test = false;  // archives are tested before they take their place
    // Each file's outcome goes to `say` as one JSON object (json_lines.h)
    // instead of a line of text.
    bool json = false;
    // Quiet: only errors are said (and kept sources, which fail the run);
    // Verbose: each packed line with its sizes and, for a folder packed
    // whole, a line for every member of its archive, from membersOf.
    Verbosity verbosity = Verbosity::Normal;
    std::function<std::vector<std::string>(const std::string& archive)> membersOf;
};

struct RunSummary {
    std::size_t packed = 0, skipped = 0, failed = 0;
    std::size_t sourcesKept = 0;  // sources to be removed that had to stay
    bool stopped = false;
    bool interrupted = false;
};

// How kaltri turns its paths into sources: a missing path is named.
inline constexpr kt::TSourceRules kPackRules{kt::TMissingPaths::Refuse, true, true};

// What a line of the run says: progress and data (a file packed, a JSON
// record), or a warning (a file skipped, a source kept) or an error (a file
// failed), which a terminal front end keeps apart from the data.
enum class LineKind { Progress, Warning, Error };
using SayFunction = std::function<void(const std::string&, LineKind)>;

// `interrupted` is polled between items (set from a signal handler).
RunSummary RunPack(const kt::TSources& sources, const RunSettings& settings,
                   const PackFunction& pack, const AskFunction& ask,
                   const std::atomic<bool>& interrupted, const SayFunction& say);

}  // namespace kaltri
