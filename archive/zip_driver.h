// TZip32: the driver for ZIP archives. It works with three libraries at
// once: ZIP32J.DLL creates and changes archives (command function "Zip"),
// UNZIP32.DLL extracts and lists them (prefix "UnZip"), and LMZIP32.DLL can
// stand in for either. Which library answers an entry is decided at its
// first lookup (FindZipProc) and kept until FreeDLL.
#pragma once

#include <initializer_list>
#include <string>
#include <unordered_map>

#include "archive/archiver.h"

namespace kt {

class TZip32 : public TArchiver {
public:
    // The three libraries and the one entry table they share (an address is
    // cached under its entry name, whichever library supplied it).
    struct TZipState {
        TLibraryState Unzip;   // UNZIP32.DLL
        TLibraryState Zip32j;  // ZIP32J.DLL
        TLibraryState Lmzip;   // LMZIP32.DLL
        std::unordered_map<std::string, void*> Procs;
    };
    static TZipState& State();

    static const TArchiverClass ClassInfo;
    // Probe for the format detection; never raises (any failure is false).
    static bool IsArchive(const std::string& FileName);

    TZip32() : TArchiver(ClassInfo) {}

    HARC OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) override;
    int FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) override;
    int FindNext(HARC Arc, INDIVIDUALINFO* Info) override;
    int CloseArchive(HARC Arc) override;
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
    int CheckArchive(const std::string& ArcName, int Mode, int ExtraMode) override;
    bool FoundSizes(HARC Arc, uint64_t& Original, uint64_t& Compressed) override;
    int TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                    std::string& Output) override;
    bool SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) override;
    bool KillOwnerWindow(HWND Wnd) override;
    // Through ZIP32J.DLL only: LMZIP32.DLL's way of writing is not ours.
    bool PacksWholeArchives() const override;
    void CheckPackDLL() override;

    // The file-name converter of the ZIP32J and extraction builders: every
    // "[" becomes "[[]", so the library takes it literally and not as the
    // start of a character class. On this platform "/" already separates
    // folders and "\" is an ordinary name character, so both stay.
    static std::string EscapeZipName(const std::string& Name);

    // The three command lines (command word followed by the builder's text).
    std::string MakeZipCmdLine(const std::string& Command, const std::string& ArcName,
                               const TArchiverOptions& Options, const std::string& BaseDir,
                               const TFileList& Files, bool UseResFile) const;
    std::string MakeUnzipCmdLine(const std::string& Command, const std::string& ArcName,
                                 const TArchiverOptions& Options, const std::string& BaseDir,
                                 const TFileList& Files, bool UseResFile) const;
    std::string MakeLmzipCmdLine(const std::string& Command, const std::string& ArcName,
                                 const TArchiverOptions& Options, const std::string& BaseDir,
                                 const TFileList& Files, bool UseResFile) const;

private:
    enum TZipLibrary { zlUnzip, zlZip32j, zlLmzip };

    // The entry from the first library of Order that has it (LMZIP32.DLL is
    // asked with the third letter "Z" lowered); raises "<Name> のエントリが
    // 見つかりません。" when none has.
    static void* FindZipProc(const char* Name, std::initializer_list<TZipLibrary> Order);
    // Looked up in UNZIP32.DLL alone, through GetDLLProc.
    static void* UnzipOnlyProc(const char* Name);

    // Run CommandLine through "Zip" (creating) or "UnZip" (extracting).
    int ExecZip(HWND Wnd, std::string& Output);
    int ExecUnzip(HWND Wnd, std::string& Output);
};

}  // namespace kt
