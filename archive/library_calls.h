// Calls of one archiver library of the common interface, shared by the
// drivers whose library follows the one-prefix pattern (LHA, ARJ, CAB, TAR,
// RAR, BGA). Each entry is looked up by prefix + suffix in the driver
// class's library state on first use. The command function and the entries
// that take an archive (OpenArchive, CloseArchive, FindFirst, CheckArchive)
// run the class's loading step first; FindNext, ExtractMem and the two
// owner-window entries use the handle held now, so with no library loaded
// their lookup fails with the missing-entry error.
#pragma once

#include <string>

#include "archive/archiver.h"

namespace kt {

class TLibraryCalls {
public:
    TLibraryCalls(TLibraryState& State, void (*Load)(), const char* Prefix)
        : FState(State), FLoad(Load), FPrefix(Prefix) {}

    // The command function with the Output buffer (null when it is empty)
    // and its length.
    int Command(HWND Wnd, const std::string& CmdLine, std::string& Output);
    HARC OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode);
    int CloseArchive(HARC Arc);
    int FindFirst(HARC Arc, const std::string& WildName, INDIVIDUALINFO* Info);
    int FindNext(HARC Arc, INDIVIDUALINFO* Info);
    int CheckArchive(const std::string& ArcName, int Mode);
    int ExtractMem(HWND Wnd, const std::string& CmdLine, void* Buffer, DWORD Size,
                   DWORD& WriteSize);
    bool SetOwnerWindowEx(HWND Wnd, ARCHIVERPROC Proc);
    bool KillOwnerWindowEx(HWND Wnd);

    // Format probe: loads the library, opens the file (as an absolute path)
    // as the probes do (owner 0, mode 0x800002) and closes it again; true
    // exactly when a handle came back. Never raises: any failure is false.
    bool ProbeOpen(const std::string& FileName);

    // The entry prefix + Suffix, after the loading step when LoadFirst.
    void* Entry(const char* Suffix, bool LoadFirst);

private:
    TLibraryState& FState;
    void (*FLoad)();
    const char* FPrefix;
};

// The mode the format probes open an archive with.
constexpr DWORD ProbeOpenMode = M_ERROR_MESSAGE_OFF | M_REGARDLESS_INIT_FILE;  // 0x800002

// ArcName made absolute against the current folder, with "." and ".."
// parts resolved as text and doubled "/" removed (unlike kt::AbsolutePath,
// which keeps "..": a library is handed one plain path).
std::string ExpandFileName(const std::string& ArcName);

// Calls a command entry with the Output buffer (null when empty) and its
// length.
int CallCommand(ARC_COMMAND_PROC Proc, HWND Wnd, const std::string& CmdLine, std::string& Output);

}  // namespace kt
