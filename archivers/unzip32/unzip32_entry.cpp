// Exported entry points of UNZIP32.DLL.
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>

#include "archivers/common/file_time.h"
#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "archivers/common/safe_path.h"
#include "opened_archive.h"
#include "platform/cp932.h"
#include "unzip_command.h"
#include "unzip_run.h"
#include "zip_error_code.h"
#include "zip_extract.h"

#define KT_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using namespace kt::unzip32;
using namespace kt::zip;

kt::arc::OwnerWindow g_owner;
std::atomic<bool> g_running{false};

// An archive opened by UnZipOpenArchive, with its search state.
struct SearchHandle {
    OpenedArchive archive;
    std::vector<std::string> patterns;
    size_t next = 0;
    bool searching = false;
};

std::mutex g_handlesMutex;
std::set<SearchHandle*> g_handles;

SearchHandle* Lookup(HARC harc) {
    std::lock_guard lock(g_handlesMutex);
    auto* h = reinterpret_cast<SearchHandle*>(harc);
    return g_handles.count(h) ? h : nullptr;
}

class RunningGuard {
public:
    RunningGuard() : busy_(g_running.exchange(true)) {}
    ~RunningGuard() {
        if (!busy_) g_running = false;
    }
    bool Busy() const { return busy_; }

private:
    bool busy_;
};

template <class F>
int Guarded(F&& f) {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return ERROR_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_UNKNOWN;
    }
}

int FindFrom(SearchHandle* h, INDIVIDUALINFO* info) {
    const auto& entries = h->archive.Directory().entries;
    while (h->next < entries.size()) {
        const ZipEntry& e = entries[h->next++];
        if (!MatchesAny(h->patterns, e.name)) continue;
        if (info) FillIndividualInfo(e, *info);
        return 0;
    }
    return -1;
}

// Copies decoded bytes into the caller's buffer, counting all of them.
class BufferSink : public ZipSink {
public:
    BufferSink(LPBYTE buffer, DWORD size) : buffer_(buffer), size_(size) {}
    bool Write(const uint8_t* data, size_t n) override {
        if (total + n > size_) return false;
        std::memcpy(buffer_ + total, data, n);
        total += n;
        return true;
    }
    uint64_t total = 0;

private:
    LPBYTE buffer_;
    DWORD size_;
};

}  // namespace

KT_EXPORT int UnZip(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    RunningGuard guard;
    if (guard.Busy()) return ERROR_ALREADY_RUNNING;
    kt::arc::Report report;
    int rc = Guarded([&] {
        UnzipCommand cmd;
        std::string error;
        int code = 0;
        if (!ParseUnzipCommand(cmdLine ? cmdLine : "", cmd, error, code)) {
            report.Line("unzip error: " + error);
            return code;
        }
        return RunUnzip(cmd, g_owner, report);
    });
    report.CopyTo(output, outputSize);
    return rc;
}

KT_EXPORT int UnZipExtractMem(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize, time_t* time,
                              LPWORD attr, LPDWORD written) {
    RunningGuard guard;
    if (guard.Busy()) return ERROR_ALREADY_RUNNING;
    if (written) *written = 0;
    return Guarded([&] {
        UnzipCommand cmd;
        std::string error;
        int code = 0;
        if (!ParseUnzipCommand(cmdLine ? cmdLine : "", cmd, error, code)) return code;
        OpenedArchive archive;
        if (int rc = archive.Open(cmd.archive, error)) return rc;
        for (const ZipEntry& e : archive.Directory().entries) {
            if (e.IsDirectory() || !MatchesAny(cmd.names, e.name)) continue;
            if (e.uncompressedSize > bufferSize) return static_cast<int>(ERROR_ENOUGH_MEMORY);
            BufferSink sink(buffer, bufferSize);
            std::string key = cmd.hasPassword ? kt::Utf8ToCp932(cmd.password) : std::string();
            ZipStatus st = ExtractEntry(archive.Source(), e, key, sink);
            if (st != ZipStatus::Ok) {
                if (e.IsEncrypted() && (st == ZipStatus::Broken || st == ZipStatus::CrcMismatch))
                    return static_cast<int>(ERROR_PASSWORD_FILE);
                return ErrorCodeOf(st);
            }
            if (written) *written = static_cast<DWORD>(sink.total);
            if (time)
                *time = e.mtime ? static_cast<time_t>(*e.mtime)
                                : static_cast<time_t>(kt::arc::DosDateTimeToUnix(
                                      (static_cast<uint32_t>(e.dosDate) << 16) | e.dosTime));
            if (attr) *attr = static_cast<WORD>(AttributeText(e)[0] == 'R' ? 0x21 : 0x20);
            return 0;
        }
        return static_cast<int>(ERROR_NOT_FIND_FILE);
    });
}

KT_EXPORT HARC UnZipOpenArchive(HWND, LPCSTR arcFile, DWORD) {
    if (!arcFile) return nullptr;
    try {
        auto h = std::make_unique<SearchHandle>();
        std::string error;
        if (h->archive.Open(arcFile, error) != 0) return nullptr;
        std::lock_guard lock(g_handlesMutex);
        g_handles.insert(h.get());
        return reinterpret_cast<HARC>(h.release());
    } catch (...) {
        return nullptr;
    }
}

KT_EXPORT int UnZipCloseArchive(HARC harc) {
    std::lock_guard lock(g_handlesMutex);
    auto* h = reinterpret_cast<SearchHandle*>(harc);
    if (!g_handles.erase(h)) return ERROR_HARC_ISNOT_OPENED;
    delete h;
    return 0;
}

KT_EXPORT int UnZipFindFirst(HARC harc, LPCSTR wildName, INDIVIDUALINFO* info) {
    SearchHandle* h = Lookup(harc);
    if (!h) return ERROR_HARC_ISNOT_OPENED;
    h->patterns.clear();
    std::string wild = wildName ? wildName : "";
    if (!wild.empty() && wild != "*" && wild != "*.*") h->patterns.push_back(wild);
    h->next = 0;
    h->searching = true;
    return FindFrom(h, info);
}

KT_EXPORT int UnZipFindNext(HARC harc, INDIVIDUALINFO* info) {
    SearchHandle* h = Lookup(harc);
    if (!h) return ERROR_HARC_ISNOT_OPENED;
    if (!h->searching) return ERROR_NOT_SEARCH_MODE;
    return FindFrom(h, info);
}

KT_EXPORT BOOL UnZipCheckArchive(LPCSTR arcFile, int mode) {
    if (!arcFile) return FALSE;
    try {
        OpenedArchive archive;
        std::string error;
        if (archive.Open(arcFile, error) != 0) return FALSE;
        const int level = mode & 3;
        for (const ZipEntry& e : archive.Directory().entries) {
            uint64_t dataAt = 0;
            if (LocateEntryData(archive.Source(), e, dataAt) != ZipStatus::Ok) return FALSE;
            if (level == CHECKARCHIVE_FULLCRC) {
                // With no password an encrypted entry cannot be checked, and
                // an unchecked entry is never called sound.
                if (!kt::arc::SafeRelativePath(e.name) || (!e.IsDirectory() && e.IsEncrypted())) return FALSE;
                struct NullSink : ZipSink {
                    bool Write(const uint8_t*, size_t) override { return true; }
                } sink;
                if (!e.IsDirectory() && ExtractEntry(archive.Source(), e, {}, sink) != ZipStatus::Ok) return FALSE;
            }
        }
        if ((mode & CHECKARCHIVE_SFX) && archive.Directory().prefixSize == 0) return FALSE;
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

KT_EXPORT int UnZipGetFileCount(LPCSTR arcFile) {
    if (!arcFile) return -1;
    OpenedArchive archive;
    std::string error;
    if (archive.Open(arcFile, error) != 0) return -1;
    return static_cast<int>(archive.Directory().entries.size());
}

KT_EXPORT BOOL UnZipSetOwnerWindowEx(HWND wnd, LPARCHIVERPROC) {
    return g_owner.Set(wnd) ? TRUE : FALSE;
}
KT_EXPORT BOOL UnZipKillOwnerWindowEx(HWND wnd) { return g_owner.Kill(wnd) ? TRUE : FALSE; }
// The registered owner window (null when none). ZIP32J.DLL asks for it, so a
// window registered once with the family's UnZipSetOwnerWindowEx also gets
// the progress of the commands that create archives.
KT_EXPORT HWND UnZipGetOwnerWindow(void) { return g_owner.Window(); }
KT_EXPORT WORD UnZipGetVersion(void) { return 100; }
KT_EXPORT BOOL UnZipGetRunning(void) { return g_running ? TRUE : FALSE; }
