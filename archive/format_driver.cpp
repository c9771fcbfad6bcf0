#include "archive/format_driver.h"

namespace kt {

HARC TFormatDriver::OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) {
    return FLibrary.OpenArchive(Wnd, ExpandFileName(ArcName), Mode);
}

int TFormatDriver::FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) {
    return FLibrary.FindFirst(Arc, WildName, Info);
}

int TFormatDriver::FindNext(HARC Arc, INDIVIDUALINFO* Info) { return FLibrary.FindNext(Arc, Info); }

int TFormatDriver::CloseArchive(HARC Arc) { return FLibrary.CloseArchive(Arc); }

int TFormatDriver::CheckArchive(const std::string& ArcName, int Mode, int ExtraMode) {
    return FLibrary.CheckArchive(ArcName, Mode + ExtraMode);
}

bool TFormatDriver::FoundSizes(HARC Arc, uint64_t& Original, uint64_t& Compressed) {
    try {
        return CallFoundSizes(FLibrary.Entry("GetOriginalSizeEx", false), FLibrary.Entry("GetCompressedSizeEx", false),
                              Arc, Original, Compressed);
    } catch (const std::exception&) {
        return false;  // an older library without the entries
    }
}

bool TFormatDriver::SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) {
    TArchiver::SetOwnerWindow(Wnd, Proc);
    return FLibrary.SetOwnerWindowEx(Wnd, Proc);
}

bool TFormatDriver::KillOwnerWindow(HWND Wnd) {
    bool accepted = FLibrary.KillOwnerWindowEx(Wnd);
    TArchiver::KillOwnerWindow(Wnd);
    return accepted;
}

int TFormatDriver::Exec(HWND Wnd, const std::string& Line, std::string& Output) {
    CommandLine = Line;
    return FLibrary.Command(Wnd, CommandLine, Output);
}

int TFormatDriver::ExecToMemory(HWND Wnd, const std::string& Line, void* Buffer, DWORD Size,
                                DWORD& WriteSize) {
    CommandLine = Line;
    return FLibrary.ExtractMem(Wnd, CommandLine, Buffer, Size, WriteSize);
}

}  // namespace kt
