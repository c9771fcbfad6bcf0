#include "archive/pack_one.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "platform/archiver_api.h"
#include "platform/file_scan.h"
#include "platform/path_text.h"
#include "platform/temp_name.h"

namespace kt {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// Temporary archives are named ".~kt<pid>_<n><ext>": hidden, recognisable,
// and telling which process made them.
constexpr char kTempPrefix[] = ".~kt";

// A name beside the archive that keeps its extension (the driver follows the
// extension) and cannot meet a user's file.
std::string TemporaryBeside(const std::string& archivePath) {
    static std::atomic<unsigned> counter{0};
    std::string name = NameOf(archivePath);
    std::size_t dot = name.rfind('.');
    std::string ext = (dot == std::string::npos || dot == 0) ? "" : name.substr(dot);
    std::string folder = FolderOf(archivePath);
    return JoinFolder(
        folder.empty() ? "." : folder,
        kTempPrefix + std::to_string(CurrentProcessId()) + "_" + std::to_string(counter++) + ext);
}

// The process id in a temporary name, or 0 when the name is not one.
pid_t TemporaryOwner(const std::string& name) {
    const std::size_t prefix = sizeof kTempPrefix - 1;
    if (name.compare(0, prefix, kTempPrefix) != 0) return 0;
    std::size_t i = prefix, digits = 0;
    while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i, ++digits;
    if (digits == 0 || digits > 9 || i >= name.size() || name[i] != '_') return 0;
    std::size_t j = i + 1;
    while (j < name.size() && name[j] >= '0' && name[j] <= '9') ++j;
    if (j == i + 1) return 0;
    if (j < name.size() && name[j] != '.') return 0;
    return static_cast<pid_t>(std::strtol(name.c_str() + prefix, nullptr, 10));
}

bool ProcessAlive(pid_t pid) { return kill(pid, 0) == 0 || errno == EPERM; }

// When this process started, in seconds since the epoch.
std::time_t ProcessStart() {
    struct stat st {};
    static const std::time_t start =
        stat("/proc/self", &st) == 0 ? st.st_mtime : std::time(nullptr);
    return start;
}

// Sets option a for the one call when the source is hidden and a is unset.
class HiddenSourceOption {
public:
    HiddenSourceOption(TArchiverOptions& options, const std::string& source) : options_(options) {
        std::string name = NameOf(source);
        if (!name.empty() && name[0] == '.' && options_.a == -1) {
            options_.a = 1;
            changed_ = true;
        }
    }
    ~HiddenSourceOption() {
        if (changed_) options_.a = -1;
    }

private:
    TArchiverOptions& options_;
    bool changed_ = false;
};

// A folder packed whole: the library gets the folder's parent as its base
// and the folder's name, walks the tree itself (links to folders not
// entered) and stores every path below the base, so the folder's name is the
// top folder inside. Hidden files and empty folders go in as well: the
// archive holds the folder as it is. The options are the caller's again
// after the call.
class FolderSourceOptions {
public:
    FolderSourceOptions(TArchiverOptions& options, bool folder) : options_(options) {
        if (!folder) return;
        saved_ = options;
        changed_ = true;
        options.r = 1;
        options.x = 1;
        options.a = 2;  // ZIP: -S without -D; LZH: hidden files
        options.PackFilter = pfArchiver;
    }
    ~FolderSourceOptions() {
        if (changed_) options_ = saved_;
    }
    FolderSourceOptions(const FolderSourceOptions&) = delete;
    FolderSourceOptions& operator=(const FolderSourceOptions&) = delete;

private:
    TArchiverOptions& options_;
    TArchiverOptions saved_;
    bool changed_ = false;
};

}  // namespace

void ConfigureForBatchRun(TArchiveFile& Archive) {
    Archive.SetOutputSize(8192);
    TArchiverOptions& o = Archive.Options();
    o.Reset();
    o.n = 1;
    o.x = 0;
    o.ResFileUsage = TResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem};
}

int PlacePacked(const std::string& Temporary, const std::string& ArchivePath) {
    int result = 0;
    if (std::rename(Temporary.c_str(), ArchivePath.c_str()) != 0)
        result = errno == ENOENT ? ERROR_NOT_FIND_FILE : ERROR_CANNOT_WRITE;
    if (result != 0) unlink(Temporary.c_str());
    return result;
}

int PackOneFile(TArchiveFile& Archive, TArchiverType Type, HWND Wnd, const std::string& ArchivePath,
                const std::string& Source, std::string* Temporary, TPackCheck* Check,
                bool NewArchive, bool Place) {
    Archive.SetFileNameOfType(Type, ArchivePath);
    // A check needs the archive under a name nobody takes for the real one,
    // and so does an archive the caller places later.
    const bool direct = NewArchive && Place && (Check == nullptr || !Check->Run) &&
                        Archive.Archiver() != nullptr && Archive.Archiver()->PacksWholeArchives();
    const std::string target = direct ? ArchivePath : TemporaryBeside(ArchivePath);
    if (Temporary != nullptr) *Temporary = direct ? std::string() : target;
    int result = 0;
    try {
        HiddenSourceOption hidden(Archive.Options(), Source);
        const bool folder = TypeOfPath(Source) == PathType::Folder;
        FolderSourceOptions whole(Archive.Options(), folder);
        if (!direct) Archive.SetFileNameOfType(Type, target);
        TStringList files{folder ? NameOf(Source) : Source};
        result = Archive.Pack(Wnd, nullptr, folder ? JoinFolder(FolderOf(Source), "") : "",
                              TFileList{files});
        // The library makes its archive or fails; only a source gone before
        // the call leaves nothing to pack.
        if (direct && result == 0 && Archive.PackedNothing()) result = ERROR_NOT_FIND_FILE;
        const bool check = result == 0 && Check != nullptr && Check->Run;
        if (check && !Exists(target)) result = ERROR_NOT_FIND_FILE;
        if (check && result == 0) {
            result = Check->Run(target);
            Check->Failed = result != 0;
        }
    } catch (...) {
        // A failed library left nothing under the archive's own name; what
        // is there now is not ours to remove.
        if (!direct) unlink(target.c_str());
        throw;
    }
    if (direct) return result;
    // Left for the caller, a pack that made nothing is found when the rename is.
    if (result == 0 && !Place && !Exists(target)) result = ERROR_NOT_FIND_FILE;
    // Without a check, the rename is what finds a pack that made nothing.
    if (result == 0 && Place)
        result = PlacePacked(target, ArchivePath);
    else if (result != 0)
        unlink(target.c_str());
    Archive.SetFileNameOfType(Type, ArchivePath);
    return result;
}

int RemoveStaleTemporaries(const std::string& folder) {
    DIR* d = opendir(folder.empty() ? "." : folder.c_str());
    if (d == nullptr) return 0;
    int removed = 0;
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        const pid_t owner = TemporaryOwner(name);
        if (owner <= 0 || owner == CurrentProcessId() || ProcessAlive(owner)) continue;
        const std::string path = JoinFolder(folder.empty() ? "." : folder, name);
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime >= ProcessStart())
            continue;
        if (unlink(path.c_str()) == 0) ++removed;
    }
    closedir(d);
    // And those of the libraries' own writers.
    return removed + RemoveStaleTempFiles(folder.empty() ? "." : folder);
}

}  // namespace kt
