// The exported entry points of UNLHA32.DLL.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/common/file_time.h"
#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "archivers/common/safe_path.h"
#include "commands.h"
#include "lzh_archive.h"
#include "platform/archiver_api.h"
#include "platform/wildcard.h"

#define KT_EXPORT extern "C" __attribute__((visibility("default")))

namespace kt::unlha {
namespace {

constexpr WORD kVersion = 100;  // 1.00

kt::arc::OwnerWindow& Owner() {
    static kt::arc::OwnerWindow owner;
    return owner;
}

std::atomic<int> gRunning{0};

// Marks the library busy for one call; a second call meanwhile is refused.
class Busy {
public:
    Busy() : ok_(gRunning.fetch_add(1) == 0) {}
    ~Busy() { gRunning.fetch_sub(1); }
    bool Ok() const { return ok_; }

private:
    bool ok_;
};

struct ArcHandle {
    FileReader file;
    Listing listing;
    std::string pattern;
    std::size_t next = 0;
    bool searching = false;
};

std::mutex gHandlesMutex;
std::set<ArcHandle*> gHandles;

ArcHandle* Lookup(HARC arc) {
    std::lock_guard lock(gHandlesMutex);
    auto* h = reinterpret_cast<ArcHandle*>(arc);
    return gHandles.count(h) ? h : nullptr;
}

bool Matches(const std::string& pattern, const MemberHeader& m) {
    if (pattern.empty() || pattern == "*" || pattern == "*.*") return true;
    if (kt::WildcardMatch(pattern, m.name)) return true;
    std::size_t slash = m.name.rfind('/');
    return pattern.find('/') == std::string::npos && slash != std::string::npos &&
           kt::WildcardMatch(pattern, m.name.substr(slash + 1));
}

void Fill(const MemberHeader& m, INDIVIDUALINFO* info) {
    std::memset(info, 0, sizeof *info);
    info->dwOriginalSize = static_cast<DWORD>(m.originalSize > 0xFFFFFFFFull ? 0xFFFFFFFFull : m.originalSize);
    info->dwCompressedSize = static_cast<DWORD>(m.packedSize > 0xFFFFFFFFull ? 0xFFFFFFFFull : m.packedSize);
    info->dwCRC = m.crc;
    info->uOSType = static_cast<unsigned char>(m.osId);
    info->wRatio = RatioPerMille(m.packedSize, m.originalSize);
    uint32_t dos = kt::arc::UnixToDosDateTime(m.mtime);
    info->wDate = static_cast<WORD>(dos >> 16);
    info->wTime = static_cast<WORD>(dos & 0xFFFF);
    kt::arc::CopyFixed(info->szFileName, m.IsDirectory() ? m.name + "/" : m.name);
    kt::arc::CopyFixed(info->szAttribute, AttributeText(m));
    kt::arc::CopyFixed(info->szMode, m.method);
}

int FindFrom(ArcHandle* h, INDIVIDUALINFO* info) {
    while (h->next < h->listing.members.size()) {
        const MemberHeader& m = h->listing.members[h->next++];
        if (Matches(h->pattern, m)) {
            if (info) Fill(m, info);
            return 0;
        }
    }
    return -1;
}

int Run(LPCSTR cmdLine, bool commandless, LPSTR output, DWORD outputSize,
        int (*body)(RunContext&, void*), void* extra) {
    kt::arc::Report report;
    Busy busy;
    int result;
    if (!busy.Ok()) {
        report.Line("the library is already running a command");
        result = ERROR_ALREADY_RUNNING;
    } else {
        LhaCommand cmd;
        std::string message;
        result = ParseLhaCommand(cmdLine ? cmdLine : "", commandless, &cmd, &message);
        if (result) {
            report.Line(message);
        } else {
            RunContext ctx(cmd, report, Owner());
            result = body(ctx, extra);
        }
    }
    report.CopyTo(output, outputSize);
    return result;
}

int RunCommand(RunContext& ctx, void*) {
    switch (ctx.cmd.command) {
        case 'a':
        case 'u':
        case 'f':
        case 'd':
            return RunPack(ctx);
        case 'x':
        case 'e':
        case 't':
            return RunExtract(ctx);
        case 'l':
        case 'v':
            return RunList(ctx);
        case 's':
            ctx.report.Line("self-extracting archives are not made on this system");
            return ERROR_NOT_SUPPORT;
        default:
            ctx.report.Line("unknown command");
            return ERROR_COMMAND_NAME;
    }
}

struct MemArgs {
    LPBYTE buffer;
    DWORD size;
    time_t* time;
    LPWORD attr;
    LPDWORD written;
};

int RunMem(RunContext& ctx, void* p) {
    auto* a = static_cast<MemArgs*>(p);
    return RunExtractToMemory(ctx, a->buffer, a->size, a->time, a->attr, a->written);
}

}  // namespace
}  // namespace kt::unlha

using namespace kt::unlha;

KT_EXPORT int Unlha(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return Run(cmdLine, false, output, outputSize, RunCommand, nullptr);
}

KT_EXPORT int UnlhaExtractMem(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize, time_t* time,
                              LPWORD attr, LPDWORD written) {
    MemArgs args{buffer, bufferSize, time, attr, written};
    return Run(cmdLine, true, nullptr, 0, RunMem, &args);
}

KT_EXPORT HARC UnlhaOpenArchive(HWND, LPCSTR arcFile, DWORD) {
    if (!arcFile) return nullptr;
    auto h = std::make_unique<ArcHandle>();
    if (!h->file.Open(arcFile)) return nullptr;
    if (ReadListing(h->file, &h->listing) != 0) return nullptr;
    std::lock_guard lock(gHandlesMutex);
    ArcHandle* raw = h.release();
    gHandles.insert(raw);
    return reinterpret_cast<HARC>(raw);
}

KT_EXPORT int UnlhaCloseArchive(HARC arc) {
    std::lock_guard lock(gHandlesMutex);
    auto* h = reinterpret_cast<ArcHandle*>(arc);
    if (!gHandles.erase(h)) return ERROR_HARC_ISNOT_OPENED;
    delete h;
    return 0;
}

KT_EXPORT int UnlhaFindFirst(HARC arc, LPCSTR wildName, INDIVIDUALINFO* info) {
    ArcHandle* h = Lookup(arc);
    if (!h) return ERROR_HARC_ISNOT_OPENED;
    h->pattern = wildName ? wildName : "";
    h->next = 0;
    h->searching = true;
    return FindFrom(h, info);
}

KT_EXPORT int UnlhaFindNext(HARC arc, INDIVIDUALINFO* info) {
    ArcHandle* h = Lookup(arc);
    if (!h) return ERROR_HARC_ISNOT_OPENED;
    if (!h->searching) return ERROR_NOT_SEARCH_MODE;
    return FindFrom(h, info);
}

KT_EXPORT BOOL UnlhaCheckArchive(LPCSTR arcFile, int mode) {
    if (!arcFile) return FALSE;
    FileReader file;
    Listing listing;
    if (!file.Open(arcFile) || ReadListing(file, &listing) != 0 || listing.members.empty()) return FALSE;
    if (mode & CHECKARCHIVE_FULLCRC) {
        for (const MemberHeader& m : listing.members) {
            auto method = kt::lzh::FindMethod(m.method);
            if (!method) return FALSE;
            struct NullSink : kt::lzh::Sink {
                bool Write(const uint8_t*, std::size_t) override { return true; }
            } sink;
            MemberSource src(file, m);
            auto r = kt::lzh::DecodeMember(*method, src, sink, m.originalSize);
            if (r.status != kt::lzh::Status::kOk || r.crc != m.crc) return FALSE;
            if (!kt::arc::SafeRelativePath(m.name)) return FALSE;
        }
    }
    return TRUE;
}

KT_EXPORT int UnlhaGetFileCount(LPCSTR arcFile) {
    if (!arcFile) return -1;
    FileReader file;
    Listing listing;
    if (!file.Open(arcFile) || ReadListing(file, &listing) != 0) return -1;
    return static_cast<int>(listing.members.size());
}

KT_EXPORT BOOL UnlhaSetOwnerWindowEx(HWND wnd, LPARCHIVERPROC) { return Owner().Set(wnd) ? TRUE : FALSE; }

KT_EXPORT BOOL UnlhaKillOwnerWindowEx(HWND wnd) { return Owner().Kill(wnd) ? TRUE : FALSE; }

KT_EXPORT WORD UnlhaGetVersion(void) { return kVersion; }

KT_EXPORT BOOL UnlhaGetRunning(void) { return gRunning.load() > 0 ? TRUE : FALSE; }
