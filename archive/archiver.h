// TArchiver: the abstract base of the per-format drivers. A driver turns
// the archive operations into calls of one archiver library of the common
// archiver interface (platform/archiver_api.h).
//
// Library state belongs to the driver class, not to an instance: see
// TLibraryState and TArchiverClass below, and archive/README.md.
#pragma once

#include <string>
#include <unordered_map>

#include "archive/archiver_options.h"
#include "archive/archiver_types.h"
#include "archive/cmd_opt.h"
#include "archive/earchiver.h"
#include "platform/archiver_api.h"

namespace kt {

// The library state of one driver class: the module handle (null while the
// library is not loaded) and the table of entry-point addresses, each
// looked up on first use. One static object per driver class, shared by all
// its instances (and by TTgz32/TBZ232 with TTar32). Single-threaded by
// design: no lock.
struct TLibraryState {
    HMODULE Module = nullptr;
    std::unordered_map<std::string, void*> Procs;
    // Set by RememberMiss: the library is not looked for again until Free.
    bool Missed = false;

    // Loads the library when no handle is held; true when one is held
    // afterwards. Loading twice is a no-op.
    bool Load(const char* LibraryName);
    // A class that has more than one library calls this once it is usable:
    // a library it still lacks (LMZIP32.DLL beside ZIP32J.DLL) is then not
    // searched for along PATH again for every archive.
    void RememberMiss() { Missed = Module == nullptr; }
    // Empties the entry-point table, then frees the library when loaded.
    void Free();
    // The entry's address, looked up through GetDLLProc in the handle held
    // now on first use and kept in the table.
    void* Proc(const char* Name);
    template <class F>
    F ProcAs(const char* Name) {
        return reinterpret_cast<F>(Proc(Name));
    }
};

// The class-level operations of one driver class: they act on that class's
// library state and need no instance. Each driver class defines one static
// TArchiverClass and hands it to its base's constructor, so construction
// and CheckPackDLL reach the actual class's LoadDLL.
struct TArchiverClass {
    const char* ClassName;
    void (*LoadDLL)();
    void (*FreeDLL)();
};

class TArchiver {
public:
    virtual ~TArchiver() = default;
    TArchiver(const TArchiver&) = delete;
    TArchiver& operator=(const TArchiver&) = delete;

    // The descriptor of the abstract base: both operations raise
    // "Abstract method 'TArchiver.LoadDLL' was called" (or FreeDLL).
    static const TArchiverClass ClassInfo;

    // Window registered for progress messages; null when none.
    HWND OwnerWindow = nullptr;
    // The complete command line the last command operation handed to the
    // library.
    std::string CommandLine;

    // The actual class of this driver.
    const TArchiverClass& Class() const { return *FClass; }

    // Slots 0 and 1: class-level, chosen by the actual class.
    void LoadDLL() { FClass->LoadDLL(); }
    void FreeDLL() { FClass->FreeDLL(); }

    // Slots 2 to 15, in slot order.
    virtual HARC OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode);
    virtual int FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName);
    virtual int FindNext(HARC Arc, INDIVIDUALINFO* Info);
    virtual int CloseArchive(HARC Arc);
    virtual int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                       const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                       std::string& Output) = 0;
    virtual int Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                     const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                     std::string& Output);
    virtual int RemoveItem(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                           const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                           std::string& Output);
    virtual int Update(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                       const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                       std::string& Output);
    virtual int MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                        const std::string& OutDir, std::string& Output);
    virtual int UnpackToMemory(HWND Wnd, const std::string& ArcName,
                               const TArchiverOptions& Options, const std::string& FileName,
                               void* Buffer, DWORD Size, DWORD& WriteSize);
    virtual int CheckArchive(const std::string& ArcName, int Mode, int ExtraMode);
    virtual bool SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc);
    virtual bool KillOwnerWindow(HWND Wnd);
    virtual void CheckPackDLL();
    // Whether Pack's library makes a new archive whole under a name of its
    // own and gives it the archive's name only when complete, never over a
    // file that appeared there meanwhile: the project's own libraries do.
    // A caller then needs no temporary name of its own for a new archive.
    virtual bool PacksWholeArchives() const { return false; }

    // Not one of the library slots: tests every member through the
    // library's own test command, so the report names each member and its
    // fault (CheckArchive answers only yes or no). ERROR_NOT_SUPPORT where
    // the driver has no such command.
    virtual int TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                            std::string& Output);
    // Not a library slot either: the full sizes of the member the last
    // FindFirst / FindNext gave, through the library's GetOriginalSizeEx and
    // GetCompressedSizeEx (INDIVIDUALINFO holds only 32 bits). False where
    // the library has no such entries or does not know the sizes.
    virtual bool FoundSizes(HARC Arc, uint64_t& Original, uint64_t& Compressed);

    // True while a progress window is registered.
    bool HasOwnerWindow() const { return OwnerWindow != nullptr; }

    // The quoted archive name, then the quoted base folder with a trailing
    // "/" (nothing for an empty or unset folder).
    static void AddArcAndDir(TCmdOpt& Cmd, const std::string& ArcName, const std::string& BaseDir);
    // The names through the response file when UseResFile is true and
    // Options.ResFileName is neither empty nor unset, else on the command
    // line; then Options.UserFileList (a lone blank when it is empty).
    static void AddFileList(TCmdOpt& Cmd, const TArchiverOptions& Options, bool UseResFile,
                            const TFileList& Files);

    // The entry's address; raises EArchiver "<library path> に <Name> の
    // エントリが見つかりません。" when the library has no such entry.
    static void* GetDLLProc(HMODULE Module, const char* Name);

protected:
    // FoundSizes over a library's two entries (either may be null).
    static bool CallFoundSizes(void* OriginalEntry, void* CompressedEntry, HARC Arc,
                               uint64_t& Original, uint64_t& Compressed);

    // Runs the actual class's LoadDLL; a failure leaves the construction.
    explicit TArchiver(const TArchiverClass& Class);

private:
    const TArchiverClass* FClass;
};

}  // namespace kt
