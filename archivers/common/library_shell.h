// The part every archiver library has alike, whatever its format: the
// running flag (one command at a time), the owner window, the report text
// handed to the caller's buffer, the table of archives opened for searching
// (OpenArchive / FindFirst / FindNext / CloseArchive) and the barrier that
// keeps every C++ exception on this side of the C entry points.
//
// A library holds one LibraryShell, writes its format-specific entries
// (command function, OpenArchive, CheckArchive, ExtractMem) over its
// helpers, and gets the remaining entries from the export macros below.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <unordered_map>

#include "archivers/common/owner_window.h"
#include "archivers/common/report.h"
#include "platform/archiver_api.h"

namespace kt::arc {

// The members of one archive opened with OpenArchive, visited in stored
// order by FindFirst / FindNext.
class MemberListing {
public:
    virtual ~MemberListing() = default;
    virtual std::size_t Count() const = 0;
    // Whether member i answers the FindFirst wildcard; "" stands for all.
    virtual bool Matches(std::size_t i, const std::string& wildName) const = 0;
    virtual void Fill(std::size_t i, INDIVIDUALINFO& info) const = 0;
    // Member i's sizes in full (INDIVIDUALINFO holds 32 bits); false when
    // the format does not know them.
    virtual bool Sizes(std::size_t i, uint64_t* original, uint64_t* compressed) const {
        (void)i, (void)original, (void)compressed;
        return false;
    }
};

// Runs body and turns whatever it throws into the library's answer for
// failure: ERROR_ENOUGH_MEMORY for std::bad_alloc, `failed` otherwise.
template <class R, class F>
R Barrier(R outOfMemory, R failed, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return outOfMemory;
    } catch (...) {
        return failed;
    }
}

class LibraryShell {
public:
    explicit LibraryShell(WORD version) : version_(version) {}
    LibraryShell(const LibraryShell&) = delete;
    LibraryShell& operator=(const LibraryShell&) = delete;

    // One command function call: refused while another runs, body(report)
    // behind the barrier, then the report copied to output (cut to
    // outputSize, always terminated).
    template <class F>
    int Command(LPSTR output, DWORD outputSize, F&& body) noexcept {
        Report report;
        int rc = Exclusive([&] { return body(report); }, &report);
        report.CopyTo(output, outputSize);
        return rc;
    }

    // A call without report text (ExtractMem and the like): the running
    // flag and the barrier only.
    template <class F>
    int Run(F&& body) noexcept {
        return Exclusive(std::forward<F>(body), nullptr);
    }

    // OpenArchive: open() gives the listing or null; null also when it
    // throws.
    template <class F>
    HARC Open(F&& open) noexcept {
        return Barrier<HARC>(nullptr, nullptr, [&]() -> HARC {
            std::unique_ptr<MemberListing> listing = open();
            return listing ? Add(std::move(listing)) : nullptr;
        });
    }

    int Close(HARC arc) noexcept;
    int FindFirst(HARC arc, LPCSTR wildName, INDIVIDUALINFO* info) noexcept;
    int FindNext(HARC arc, INDIVIDUALINFO* info) noexcept;
    // The full sizes of the member the last FindFirst / FindNext gave:
    // GetOriginalSizeEx and GetCompressedSizeEx. FALSE without one.
    BOOL SizeOfFound(HARC arc, bool original, int64_t* size) noexcept;

    // CheckArchive and GetFileCount style entries: a null path and any
    // exception give `failed`.
    template <class R, class F>
    static R Query(LPCSTR arcFile, R failed, F&& body) noexcept {
        if (!arcFile) return failed;
        return Barrier<R>(failed, failed, [&] { return body(std::string(arcFile)); });
    }

    OwnerWindow& Owner() { return owner_; }
    BOOL SetOwner(HWND wnd) { return owner_.Set(wnd) ? TRUE : FALSE; }
    BOOL KillOwner(HWND wnd) { return owner_.Kill(wnd) ? TRUE : FALSE; }
    BOOL Running() const { return running_.load() ? TRUE : FALSE; }
    WORD Version() const { return version_; }

private:
    struct Search;

    template <class F>
    int Exclusive(F&& body, Report* report) noexcept {
        if (running_.exchange(true)) {
            if (report) report->Line("the library is already running a command");
            return ERROR_ALREADY_RUNNING;
        }
        int rc = Barrier<int>(ERROR_ENOUGH_MEMORY, ERROR_UNKNOWN, std::forward<F>(body));
        running_ = false;
        return rc;
    }

    HARC Add(std::unique_ptr<MemberListing> listing);
    std::shared_ptr<Search> Find(HARC arc);
    static int Next(Search& s, INDIVIDUALINFO* info);

    const WORD version_;
    OwnerWindow owner_;
    std::atomic<bool> running_{false};
    std::mutex handlesMutex_;
    std::unordered_map<HARC, std::shared_ptr<Search>> handles_;
};

}  // namespace kt::arc

#define KT_EXPORT extern "C" __attribute__((visibility("default")))

// GetVersion, GetRunning and the owner-window pair of a library whose entry
// names begin with `Prefix`, answered by the LibraryShell `shell`.
#define KT_SHELL_OWNER_EXPORTS(Prefix, shell)                             \
    KT_EXPORT WORD Prefix##GetVersion(void) { return (shell).Version(); } \
    KT_EXPORT BOOL Prefix##GetRunning(void) { return (shell).Running(); } \
    KT_EXPORT BOOL Prefix##SetOwnerWindowEx(HWND wnd, LPARCHIVERPROC) {   \
        return (shell).SetOwner(wnd);                                     \
    }                                                                     \
    KT_EXPORT BOOL Prefix##KillOwnerWindowEx(HWND wnd) { return (shell).KillOwner(wnd); }

// The search entries over the shell's handle table (OpenArchive itself is
// the library's, through LibraryShell::Open).
#define KT_SHELL_SEARCH_EXPORTS(Prefix, shell)                                         \
    KT_EXPORT int Prefix##CloseArchive(HARC arc) { return (shell).Close(arc); }        \
    KT_EXPORT int Prefix##FindFirst(HARC arc, LPCSTR wildName, INDIVIDUALINFO* info) { \
        return (shell).FindFirst(arc, wildName, info);                                 \
    }                                                                                  \
    KT_EXPORT int Prefix##FindNext(HARC arc, INDIVIDUALINFO* info) {                   \
        return (shell).FindNext(arc, info);                                            \
    }                                                                                  \
    KT_EXPORT BOOL Prefix##GetOriginalSizeEx(HARC arc, int64_t* size) {                \
        return (shell).SizeOfFound(arc, true, size);                                   \
    }                                                                                  \
    KT_EXPORT BOOL Prefix##GetCompressedSizeEx(HARC arc, int64_t* size) {              \
        return (shell).SizeOfFound(arc, false, size);                                  \
    }
