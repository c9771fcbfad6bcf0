// The batch run's rules, once for every front end: for each source file,
// where its archive goes, what to ask about a missing folder, an existing
// archive and a failure, and how the answers "all" and "none" carry over to
// later entries. The window answers the questions with its message boxes,
// kaltri with its terminal or its policies; the engine itself shows nothing.
//
// One entry takes three steps, so that kaltri can pack in worker processes
// while the questions stay in input order in the parent:
//   Prepare  (asks the folder and overwrite questions, claims the archive),
//   Pack     (makes the archive; needs no questions, may run in a worker),
//   Finish   (records the result and asks the failure question).
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "archive/archive_file.h"
#include "archive/pack_one.h"

namespace kt {

// The answers a question can get; which ones a question offers is fixed per
// question (see TBatchQuestions).
enum class TBatchAnswer { Yes, No, Abort, NoToAll, YesToAll };

// Why an entry failed (the numbers travel from kaltri's workers).
enum class TEntryFault {
    None,
    Library,          // the library returned a non-zero code (Code, Report)
    Layer,            // the archive layer raised an error (Report holds its text)
    SameArchive,      // an earlier source of this run made this archive (Other)
    ArchiveIsFolder,  // a folder already has the archive's name
    SourceMissing,    // the source is no longer there, or is no regular file
    TestFailed,       // the archive was made but failed its test (Code, Report); nothing replaced
    ArchiveInFolder,  // a folder packed whole would hold its own archive
};

// What the run knows of one entry once it has been dealt with.
struct TEntryOutcome {
    std::string Source;
    std::string Archive;
    TEntryFault Fault = TEntryFault::None;
    int Code = 0;        // the library's code, for TEntryFault::Library
    std::string Report;  // the library's report text, or the layer's message
    std::string Other;   // for SameArchive: the source that made the archive
    bool Ok() const { return Fault == TEntryFault::None; }
};

// The questions of a run. Each returns one of the answers its prompt
// offers; any other value counts as Abort.
class TBatchQuestions {
public:
    virtual ~TBatchQuestions() = default;
    // Yes (create it), No (skip the entry), Abort.
    virtual TBatchAnswer FolderMissing(const std::string& folder) = 0;
    // Yes (go on with the entry), No (skip), Abort.
    virtual TBatchAnswer FolderNotCreated(const std::string& folder) = 0;
    // Yes (go on; packing then fails), No (skip), Abort.
    virtual TBatchAnswer FolderIsFile(const std::string& folder) = 0;
    // Yes, No, Abort, NoToAll, YesToAll.
    virtual TBatchAnswer ArchiveExists(const std::string& archive) = 0;
    // Yes (go on), Abort, YesToAll (go on without asking again).
    virtual TBatchAnswer PackFailed(const TEntryOutcome& outcome) = 0;
};

// Settings of one run.
struct TBatchSettings {
    TArchiverType Type = atZip;  // atLha or atZip
    bool NextToSource = true;    // false: every archive into ChosenFolder
    std::string ChosenFolder;    // as typed or given
    std::string Password;        // ZIP only; empty for none
    // When a source would get the archive that an earlier source of the run
    // made: false fails the entry, true picks "name (2).ext" and so on.
    bool RenameOnClash = false;
};

// The extension a run gives its archives: ".lzh" for atLha, else ".zip".
std::string ArchiveExtension(TArchiverType type);

// What the settings say before anything is asked.
enum class TBatchSetupFault { None, NoChosenFolder, PasswordHasQuote };

// The text of the password switch for ZIP (-P "password"), empty for none:
// the one place that builds it.
std::string PasswordSwitch(TArchiverType type, const std::string& password);

// Whether a password can travel inside the -P "..." switch, which has no
// escape: a double quote would end the quoting early and the archive would
// get another password than the one given.
bool PasswordFitsSwitch(const std::string& password);

// What is wrong with the settings as such.
TBatchSetupFault CheckBatchSettings(const TBatchSettings& settings);

// The component's settings for a run: the batch run's options and the
// password switch.
void ConfigureBatchArchive(TArchiveFile& archive, const TBatchSettings& settings);

class TBatchRun {
public:
    TBatchRun(TBatchSettings settings, TBatchQuestions& questions);

    // Checked before the run starts.
    TBatchSetupFault SetupFault() const { return CheckBatchSettings(FSettings); }

    // The fixed target folder: the chosen folder with one trailing "/"
    // removed ("/" itself stays "/"). Empty when archives go next to their
    // sources.
    const std::string& FixedFolder() const { return FFixedFolder; }

    // Skip: the answers keep the existing archive (the front end says so);
    // SkipSilently: likewise after "no to all"; PassOver: the source is
    // itself the archive it would get (an archive of an earlier run lying
    // among its sources), so packing it would pack the archive into itself;
    // Done: the same source was packed earlier in this run (listed twice),
    // its archive stands and is not made again.
    enum class TStep { Pack, Skip, SkipSilently, PassOver, Done, Fail, Stop };
    struct TPlan {
        TStep Step = TStep::Pack;
        TArchiverType Type = atZip;
        std::string Source;
        std::string Folder;   // target folder
        std::string Archive;  // archive path
        // For Pack: no archive was there, so no question was asked and the
        // library may make it under its own name (see PackOneFile).
        bool NewArchive = false;
        std::uint64_t SourceBytes = 0;  // a file's size when planned
        TEntryOutcome Failure;          // for Fail
    };

    // Asks what must be asked for source (a full path, taken byte for byte)
    // and decides the entry. A planned archive is claimed for the rest of the
    // run, so no later source of the run replaces it.
    TPlan Prepare(const std::string& source);

    // The component's settings for this run; call once before the first Pack.
    void Configure(TArchiveFile& archive) const { ConfigureBatchArchive(archive, FSettings); }

    // Makes the archive of a plan with step Pack. Safe to call in a worker
    // process; asks nothing.
    // Wnd is the owner window handed to the library. Check (may be null)
    // tests the new archive before it takes its place. With Unplaced, a
    // made archive stays under the temporary name put there, for the
    // caller to place (PlacePacked) once the run has come to it.
    static TEntryOutcome Pack(TArchiveFile& archive, const TPlan& plan, HWND Wnd = nullptr,
                              TPackCheck* Check = nullptr, std::string* Unplaced = nullptr);

    // Gives up a planned entry without packing it (the front end dropped
    // it): its archive name is free again.
    void Abandon(const TPlan& plan);

    // Records the outcome; after a failure asks the failure question unless
    // "yes to all" was answered. False when the run is to stop.
    bool Finish(const TEntryOutcome& outcome);

    // Whether source is being packed and its outcome is not finished yet
    // (with workers, an earlier entry of the same source may still run).
    bool Unsettled(const std::string& source) const { return FPending.count(source) != 0; }

    // The front end ends the run (its window closes, its layer failed).
    void Stop() { FStopped = true; }
    bool Stopped() const { return FStopped; }

private:
    bool FolderReady(const std::string& folder, TStep& step);
    std::string ClaimArchive(const std::string& folder, const std::string& name,
                             std::string& clashWith);

    TBatchSettings FSettings;
    TBatchQuestions& FQuestions;
    std::string FFixedFolder;
    TBatchAnswer FOverwriteAnswer = TBatchAnswer::Yes;
    TBatchAnswer FFailureAnswer = TBatchAnswer::Yes;
    // Archives of this run and the source each was planned for.
    std::map<std::string, std::string> FClaimed;
    std::set<std::string> FCleaned;  // folders cleared of stale temporaries
    std::set<std::string> FReady;    // folders found or made, not looked at again
    std::set<std::string> FKept;     // existing archives the answers kept
    std::set<std::string> FPending;  // sources planned for packing, not finished
    // Sources packed in this run and their archives.
    std::map<std::string, std::string> FPacked;
    bool FStopped = false;
};

}  // namespace kt
