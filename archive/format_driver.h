// TFormatDriver: the base of every one-library driver (LHA, CAB, TAR, RAR,
// BGA; ARJ through LHA). It fills the listing, check and owner-window slots
// alike from its library's entries (OpenArchive with an absolute archive
// path, FindFirst/FindNext, CloseArchive, CheckArchive with Mode +
// ExtraMode), and runs every command operation the same way: the driver's
// MakeCmdLine with the word, archive, folder, files and response-file answer
// its TDriverCommands give, then the library's command function. A driver
// states only its builder, its command table and what really differs.
#pragma once

#include <string>

#include "archive/archiver.h"
#include "archive/library_calls.h"

namespace kt {

// Where a command operation takes its response-file answer from.
enum class TResFileFrom : std::uint8_t {
    Options,  // the operation's member of Options.ResFileUsage; the caller's flag is ignored
    Caller,   // the caller's UseResFile, unchanged
    Never,    // names always go on the command line
};

// How one command operation is made. A null Word: the format does not
// support the operation, and the base's error is raised before anything
// else happens.
struct TCommandRule {
    const char* Word = nullptr;
    // Whether the line names the folder (BaseDir, or OutDir for MakeSfx).
    bool NamesFolder = true;
    TResFileFrom ResFile = TResFileFrom::Options;
    // Whether the archive is named as an absolute path rather than as given.
    bool AbsoluteArchive = false;
};

// The command operations of one driver (UnpackToMemory always uses an
// empty word, no folder, the one name and no response file).
struct TDriverCommands {
    TCommandRule Unpack{};
    TCommandRule Pack{};
    TCommandRule RemoveItem{};
    TCommandRule Update{};
    TCommandRule MakeSfx{};
    // The library's own test command (TestMembers): no folder, no files.
    TCommandRule TestMembers{};
    bool UnpacksToMemory = false;
};

class TFormatDriver : public TArchiver {
public:
    HARC OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) override;
    int FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) override;
    int FindNext(HARC Arc, INDIVIDUALINFO* Info) override;
    int CloseArchive(HARC Arc) override;
    int CheckArchive(const std::string& ArcName, int Mode, int ExtraMode) override;
    bool FoundSizes(HARC Arc, uint64_t& Original, uint64_t& Compressed) override;
    // Records OwnerWindow first, then registers with the library; true when
    // the library accepted it.
    bool SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) override;
    // Unregisters with the library first, then clears OwnerWindow; true
    // when the library accepted it.
    bool KillOwnerWindow(HWND Wnd) override;

    // The command operations, made by the driver's TDriverCommands.
    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;
    int Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
             const std::string& BaseDir, const TFileList& Files, bool UseResFile,
             std::string& Output) override;
    int RemoveItem(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) override;
    int Update(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;
    int MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                const std::string& OutDir, std::string& Output) override;
    int UnpackToMemory(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                       const std::string& FileName, void* Buffer, DWORD Size,
                       DWORD& WriteSize) override;
    int TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                    std::string& Output) override;

    // The format's command line: the command word followed by the
    // builder's text (which begins with a blank).
    virtual std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                    const TArchiverOptions& Options, const std::string& Folder,
                                    const TFileList& Files, bool UseResFile) const = 0;

    // The driver's command table.
    const TDriverCommands& Commands() const { return FCommands; }

protected:
    TFormatDriver(const TArchiverClass& Class, const TLibraryCalls& Library,
                  const TDriverCommands& Commands)
        : TArchiver(Class), FLibrary(Library), FCommands(Commands) {}

    // The command line of Rule (Use: the operation's ResFileUsage member;
    // Folder: BaseDir, or OutDir for MakeSfx).
    std::string LineFor(const TCommandRule& Rule, TResFileUse Use, const std::string& ArcName,
                        const TArchiverOptions& Options, const std::string& Folder,
                        const TFileList& Files, bool UseResFile) const;
    // Stores the line in CommandLine, then runs it through the command
    // function; a driver that must do more around every command (TAR)
    // overrides it.
    virtual int Exec(HWND Wnd, const std::string& Line, std::string& Output);
    // Stores the line, then extracts one entry through ExtractMem.
    int ExecToMemory(HWND Wnd, const std::string& Line, void* Buffer, DWORD Size, DWORD& WriteSize);

    TLibraryCalls FLibrary;

private:
    const TDriverCommands& FCommands;
};

}  // namespace kt
