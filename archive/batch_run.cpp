#include "archive/batch_run.h"

#include <sys/stat.h>

#include <exception>
#include <filesystem>
#include <system_error>

#include "archive/pack_one.h"
#include "platform/archiver_api.h"
#include "platform/file_scan.h"
#include "platform/path_text.h"

namespace kt {
namespace {

TEntryOutcome Failure(const std::string& source, const std::string& archive, TEntryFault fault) {
    TEntryOutcome o;
    o.Source = source;
    o.Archive = archive;
    o.Fault = fault;
    return o;
}

// "name (n).ext" for "name.ext", keeping the extension rule of archive
// names (a leading dot starts no extension).
std::string NumberedName(const std::string& name, const std::string& extension, int n) {
    std::string stem = name.substr(0, name.size() - extension.size());
    return stem + " (" + std::to_string(n) + ")" + extension;
}

// What one look at a path found. Each entry's source and archive are looked
// at once each: thousands of small entries make the calls count.
struct TLook {
    explicit TLook(const std::string& path) : Seen(stat(path.c_str(), &Stat) == 0) {}
    PathType Type() const {
        if (!Seen) return PathType::Missing;
        if (S_ISREG(Stat.st_mode)) return PathType::File;
        return S_ISDIR(Stat.st_mode) ? PathType::Folder : PathType::Other;
    }
    struct stat Stat {};
    bool Seen;
};

// Whether source is the file archive names: the same path, or the same
// file reached by another one (a chosen folder given through a link).
bool SameFile(const std::string& source, const TLook& sourceLook, const std::string& archive,
              const TLook& archiveLook) {
    if (source == archive) return true;
    return sourceLook.Seen && archiveLook.Seen &&
           sourceLook.Stat.st_dev == archiveLook.Stat.st_dev &&
           sourceLook.Stat.st_ino == archiveLook.Stat.st_ino;
}

}  // namespace

std::string ArchiveExtension(TArchiverType type) { return type == atLha ? ".lzh" : ".zip"; }

std::string PasswordSwitch(TArchiverType type, const std::string& password) {
    if (type != atZip || password.empty()) return {};
    return "-P \"" + password + "\"";
}

TBatchRun::TBatchRun(TBatchSettings settings, TBatchQuestions& questions)
    : FSettings(std::move(settings)), FQuestions(questions) {
    if (!FSettings.NextToSource) {
        FFixedFolder = FSettings.ChosenFolder;
        if (FFixedFolder.size() > 1 && FFixedFolder.back() == '/') FFixedFolder.pop_back();
    }
}

bool PasswordFitsSwitch(const std::string& password) {
    return password.find('"') == std::string::npos;
}

TBatchSetupFault CheckBatchSettings(const TBatchSettings& settings) {
    if (!settings.NextToSource && settings.ChosenFolder.empty())
        return TBatchSetupFault::NoChosenFolder;
    if (!PasswordSwitch(settings.Type, settings.Password).empty() &&
        !PasswordFitsSwitch(settings.Password))
        return TBatchSetupFault::PasswordHasQuote;
    return TBatchSetupFault::None;
}

void ConfigureBatchArchive(TArchiveFile& archive, const TBatchSettings& settings) {
    ConfigureForBatchRun(archive);
    archive.Options().UserOptions = PasswordSwitch(settings.Type, settings.Password);
}

bool TBatchRun::FolderReady(const std::string& folder, TStep& step) {
    auto answered = [&](TBatchAnswer a) {
        if (a == TBatchAnswer::Yes) return true;
        step = a == TBatchAnswer::No ? TStep::Skip : TStep::Stop;
        return false;
    };
    switch (TypeOfPath(folder)) {
        case PathType::Folder:
            FReady.insert(folder);
            return true;
        case PathType::Missing: {
            if (!answered(FQuestions.FolderMissing(folder))) return false;
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            if (TypeOfPath(folder) == PathType::Folder) {
                FReady.insert(folder);
                return true;
            }
            return answered(FQuestions.FolderNotCreated(folder));
        }
        default:
            return answered(FQuestions.FolderIsFile(folder));
    }
}

std::string TBatchRun::ClaimArchive(const std::string& folder, const std::string& name,
                                    std::string& clashWith) {
    std::string archive = JoinFolder(folder, name);
    auto it = FClaimed.find(archive);
    if (it == FClaimed.end()) return archive;
    if (!FSettings.RenameOnClash) {
        clashWith = it->second;
        return archive;
    }
    // Numbers an earlier source of the run already took, or passed over
    // because their archive was to be kept, are not offered again.
    for (int n = 2;; ++n) {
        archive = JoinFolder(folder, NumberedName(name, ArchiveExtension(FSettings.Type), n));
        if (FClaimed.count(archive) == 0 && FKept.count(archive) == 0) return archive;
    }
}

TBatchRun::TPlan TBatchRun::Prepare(const std::string& source) {
    TPlan plan;
    plan.Type = FSettings.Type;
    plan.Source = source;
    plan.Folder = FSettings.NextToSource ? FolderOf(source) : FFixedFolder;
    // A folder's name has no extension to replace: "v1.2" gives "v1.2.zip".
    const TLook sourceLook(source);
    const bool folder = sourceLook.Type() == PathType::Folder;
    if (sourceLook.Type() == PathType::File)
        plan.SourceBytes = static_cast<std::uint64_t>(sourceLook.Stat.st_size);
    const std::string name =
        folder ? NameOf(source) + ArchiveExtension(FSettings.Type)
               : ReplaceExtension(NameOf(source), ArchiveExtension(FSettings.Type));
    auto fail = [&](TEntryFault fault, const std::string& archive) {
        plan.Step = TStep::Fail;
        plan.Archive = archive;
        plan.Failure = Failure(source, archive, fault);
        return plan;
    };

    // A source listed twice was packed the first time: nothing to ask,
    // nothing to make again.
    if (auto done = FPacked.find(source); done != FPacked.end()) {
        plan.Step = TStep::Done;
        plan.Archive = done->second;
        return plan;
    }
    // A folder found (or made) once is not looked at again in this run.
    if (FReady.count(plan.Folder) == 0 && !FolderReady(plan.Folder, plan.Step)) {
        if (plan.Step == TStep::Stop) FStopped = true;
        return plan;
    }
    const std::string named = JoinFolder(plan.Folder, name);
    const TLook namedLook(named);
    if (SameFile(source, sourceLook, named, namedLook)) {
        plan.Step = TStep::PassOver;
        plan.Archive = named;
        return plan;
    }

    // An archive inside the folder it packs would be walked into itself.
    if (folder && (plan.Folder == source ||
                   plan.Folder.compare(0, source.size() + 1, JoinFolder(source, "")) == 0))
        return fail(TEntryFault::ArchiveInFolder, JoinFolder(plan.Folder, name));

    // Temporary archives of an earlier run that was killed go once the run
    // first writes into their folder.
    if (FCleaned.insert(plan.Folder).second) RemoveStaleTemporaries(plan.Folder);

    std::string clashWith;
    plan.Archive = ClaimArchive(plan.Folder, name, clashWith);
    // Another source of this run made that archive: the entry fails with
    // that reason, and no question is asked whose answer could not count.
    if (!clashWith.empty()) {
        plan = fail(TEntryFault::SameArchive, plan.Archive);
        plan.Failure.Other = clashWith;
        return plan;
    }

    const PathType existing = plan.Archive == named ? namedLook.Type() : TypeOfPath(plan.Archive);
    switch (existing) {
        case PathType::Missing:
            break;
        case PathType::Folder:
            return fail(TEntryFault::ArchiveIsFolder, plan.Archive);
        default: {
            if (FOverwriteAnswer != TBatchAnswer::YesToAll &&
                FOverwriteAnswer != TBatchAnswer::NoToAll)
                FOverwriteAnswer = FQuestions.ArchiveExists(plan.Archive);
            switch (FOverwriteAnswer) {
                case TBatchAnswer::Yes:
                case TBatchAnswer::YesToAll:
                    break;
                case TBatchAnswer::No:
                    plan.Step = TStep::Skip;
                    FKept.insert(plan.Archive);
                    return plan;
                case TBatchAnswer::NoToAll:
                    plan.Step = TStep::SkipSilently;
                    FKept.insert(plan.Archive);
                    return plan;
                default:
                    // Abort, and a box closed without an answer.
                    plan.Step = TStep::Stop;
                    FStopped = true;
                    return plan;
            }
        }
    }
    FClaimed[plan.Archive] = source;
    FPending.insert(source);
    plan.Step = TStep::Pack;
    plan.NewArchive = existing == PathType::Missing;
    return plan;
}

void TBatchRun::Abandon(const TPlan& plan) {
    FPending.erase(plan.Source);
    auto it = FClaimed.find(plan.Archive);
    if (it != FClaimed.end() && it->second == plan.Source) FClaimed.erase(it);
}

TEntryOutcome TBatchRun::Pack(TArchiveFile& archive, const TPlan& plan, HWND Wnd, TPackCheck* Check,
                              std::string* Unplaced) {
    TEntryOutcome o = Failure(plan.Source, plan.Archive, TEntryFault::None);
    // A source gone since it was listed is found when the pack fails, below.
    std::string temporary;
    try {
        o.Code = PackOneFile(archive, plan.Type, Wnd, plan.Archive, plan.Source, &temporary, Check,
                             plan.NewArchive, Unplaced == nullptr);
        if (Unplaced != nullptr) *Unplaced = o.Code == 0 ? temporary : std::string();
    } catch (const std::exception& e) {
        o.Fault = TEntryFault::Layer;
        o.Report = e.what();
        return o;
    }
    if (o.Code != 0) {
        const bool testFailed = Check != nullptr && Check->Failed;
        // A source that went away while it was packed is said as such, not
        // as the library's bare code.
        const PathType source = TypeOfPath(plan.Source);
        o.Fault = testFailed ? TEntryFault::TestFailed
                  : source == PathType::File || source == PathType::Folder
                      ? TEntryFault::Library
                      : TEntryFault::SourceMissing;
        // The library wrote about the temporary name it was given; the user
        // knows the archive by its own.
        o.Report = testFailed ? Check->Report : archive.OutputText();
        for (std::size_t at;
             !temporary.empty() && (at = o.Report.find(temporary)) != std::string::npos;)
            o.Report.replace(at, temporary.size(), plan.Archive);
    }
    return o;
}

bool TBatchRun::Finish(const TEntryOutcome& outcome) {
    FPending.erase(outcome.Source);
    if (outcome.Ok()) {
        FPacked.emplace(outcome.Source, outcome.Archive);
        return true;
    }
    // A failed entry made nothing: a later source may use its archive name.
    auto it = FClaimed.find(outcome.Archive);
    if (it != FClaimed.end() && it->second == outcome.Source) FClaimed.erase(it);
    if (FStopped) return false;
    if (FFailureAnswer != TBatchAnswer::YesToAll) FFailureAnswer = FQuestions.PackFailed(outcome);
    if (FFailureAnswer != TBatchAnswer::Yes && FFailureAnswer != TBatchAnswer::YesToAll)
        FStopped = true;
    return !FStopped;
}

}  // namespace kt
