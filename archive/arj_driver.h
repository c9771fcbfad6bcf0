// TArj32: the driver for ARJ archives over UNARJ32J.DLL (prefix "Unarj").
// It derives from TLha32: it reuses the LHA command-line builder, and the
// operations it inherits (Pack, RemoveItem, Update, MakeSfx,
// UnpackToMemory) run through UNLHA32.DLL and its state, loaded on demand.
#pragma once

#include "archive/lha_driver.h"

namespace kt {

class TArj32 : public TLha32 {
    // UNARJ32J.DLL, with a state separate from UNLHA32.DLL's.
    using ArjLib = TDriverLibrary<"UNARJ32J.DLL", "Unarj",
                                  "ARJ 形式書庫を扱うには UNARJ32J.DLL が 必要です。">;

public:
    static constexpr TArchiverClass ClassInfo = ArjLib::ClassFor("TArj32");
    static bool IsArchive(const std::string& FileName) { return ArjLib::ProbeOpen(FileName); }

    TArj32() : TLha32(ClassInfo) {}

    HARC OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) override;
    int FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) override;
    int FindNext(HARC Arc, INDIVIDUALINFO* Info) override;
    int CloseArchive(HARC Arc) override;
    // Extraction and testing run through UNARJ32J.DLL with the LHA builder;
    // extraction follows the caller's UseResFile.
    static constexpr TCommandRule UnpackRule = {.Word = "x", .ResFile = TResFileFrom::Caller};
    static constexpr TCommandRule TestRule = {
        .Word = "t", .NamesFolder = false, .ResFile = TResFileFrom::Never};
    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;
    int CheckArchive(const std::string& ArcName, int Mode, int ExtraMode) override;
    bool SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) override;
    bool KillOwnerWindow(HWND Wnd) override;
    // UNARJ32J.DLL's own test command (the inherited one would hand an ARJ
    // archive to UNLHA32.DLL).
    int TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                    std::string& Output) override;

private:
    static TLibraryCalls ArjLibrary() { return ArjLib::Calls(); }
};

}  // namespace kt
