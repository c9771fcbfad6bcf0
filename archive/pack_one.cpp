#include "archive/pack_one.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/archiver_api.h"
#include "platform/path_text.h"

namespace kt {
namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// A name beside the archive that keeps its extension (the driver follows the
// extension) and cannot meet a user's file.
std::string TemporaryBeside(const std::string& archivePath) {
    static std::atomic<unsigned> counter{0};
    std::string name = NameOf(archivePath);
    std::size_t dot = name.rfind('.');
    std::string ext = (dot == std::string::npos || dot == 0) ? "" : name.substr(dot);
    std::string folder = FolderOf(archivePath);
    return JoinFolder(folder.empty() ? "." : folder,
                      ".~kt" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ext);
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

}  // namespace

void ConfigureForBatchRun(TArchiveFile& Archive) {
    Archive.SetOutputSize(8192);
    TArchiverOptions& o = Archive.Options();
    o.Reset();
    o.n = 1;
    o.x = 0;
    o.ResFileUsage = TResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem};
}

int PackOneFile(TArchiveFile& Archive, HWND Wnd, const std::string& ArchivePath,
                const std::string& Source) {
    const bool replacing = Exists(ArchivePath);
    const std::string target = replacing ? TemporaryBeside(ArchivePath) : ArchivePath;
    int result = 0;
    try {
        HiddenSourceOption hidden(Archive.Options(), Source);
        Archive.SetFileName(target);
        TStringList files{Source};
        result = Archive.Pack(Wnd, nullptr, "", TFileList{files});
        if (result == 0 && !Exists(target)) result = ERROR_NOT_FIND_FILE;
    } catch (...) {
        if (replacing) unlink(target.c_str());
        throw;
    }
    if (replacing) {
        if (result == 0 && std::rename(target.c_str(), ArchivePath.c_str()) != 0)
            result = ERROR_CANNOT_WRITE;
        if (result != 0) unlink(target.c_str());
        // Same extension, same driver class: this only renames.
        Archive.SetFileName(ArchivePath);
    }
    return result;
}

}  // namespace kt
