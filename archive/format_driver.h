// TFormatDriver: the slots that every one-library driver (LHA, CAB, TAR,
// RAR, BGA; ARJ through LHA) fills alike from its library's entries:
// OpenArchive with an absolute archive path, FindFirst/FindNext,
// CloseArchive, CheckArchive with Mode + ExtraMode, and the owner-window
// registration. The command operations stay with each driver.
#pragma once

#include <string>

#include "archive/archiver.h"
#include "archive/library_calls.h"

namespace kt {

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

protected:
    TFormatDriver(const TArchiverClass& Class, const TLibraryCalls& Library)
        : TArchiver(Class), FLibrary(Library) {}

    // Stores the line in CommandLine, then runs it through the command
    // function.
    int Exec(HWND Wnd, const std::string& Line, std::string& Output);
    // Stores the line, then extracts one entry through ExtractMem.
    int ExecToMemory(HWND Wnd, const std::string& Line, void* Buffer, DWORD Size, DWORD& WriteSize);

    TLibraryCalls FLibrary;
};

// The response-file question of the LHA-family drivers: decided from the
// option set alone (the operation's ResFileUsage member and a set
// ResFileName are both needed; AddFileList checks the latter).
inline bool ResFileWanted(const TArchiverOptions& Options, TResFileUse Use) {
    return Options.ResFileUsage.Contains(Use);
}

}  // namespace kt
