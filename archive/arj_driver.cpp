#include "archive/arj_driver.h"

namespace kt {

HARC TArj32::OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) {
    return ArjLibrary().OpenArchive(Wnd, ExpandFileName(ArcName), Mode);
}

int TArj32::FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) {
    return ArjLibrary().FindFirst(Arc, WildName, Info);
}

int TArj32::FindNext(HARC Arc, INDIVIDUALINFO* Info) { return ArjLibrary().FindNext(Arc, Info); }

int TArj32::CloseArchive(HARC Arc) { return ArjLibrary().CloseArchive(Arc); }

int TArj32::Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) {
    CommandLine = LineFor(UnpackRule, ruOnUnpack, ArcName, Options, BaseDir, Files, UseResFile);
    return ArjLibrary().Command(Wnd, CommandLine, Output);
}

int TArj32::TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                        std::string& Output) {
    CommandLine = LineFor(TestRule, ruOnUnpack, ArcName, Options, "", {}, false);
    return ArjLibrary().Command(Wnd, CommandLine, Output);
}

int TArj32::CheckArchive(const std::string& ArcName, int Mode, int ExtraMode) {
    return ArjLibrary().CheckArchive(ArcName, Mode + ExtraMode);
}

// The LHA registration comes first (the inherited operations report
// through UNLHA32.DLL); when it fails, the ARJ one is not attempted.
bool TArj32::SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) {
    TLha32::SetOwnerWindow(Wnd, Proc);
    return ArjLibrary().SetOwnerWindowEx(Wnd, Proc);
}

bool TArj32::KillOwnerWindow(HWND Wnd) {
    bool accepted = ArjLibrary().KillOwnerWindowEx(Wnd);
    TLha32::KillOwnerWindow(Wnd);
    return accepted;
}

}  // namespace kt
