#include "archive/library_calls.h"

#include "archive/nul_items.h"

#include <filesystem>
#include <system_error>

namespace kt {

std::string ExpandFileName(const std::string& ArcName) {
    std::error_code ec;
    std::filesystem::path path = std::filesystem::absolute(ArcName, ec);
    if (ec) return ArcName;
    return path.lexically_normal().string();
}

namespace {

// The NUL items files a command line names are read by the call and go
// when it returns, whatever it returned.
struct TNulItemsCleanup {
    ~TNulItemsCleanup() { RemoveNulItemsFiles(); }
};

}  // namespace

int CallCommand(ARC_COMMAND_PROC Proc, HWND Wnd, const std::string& CmdLine, std::string& Output) {
    TNulItemsCleanup cleanup;
    return Proc(Wnd, CmdLine.c_str(), Output.empty() ? nullptr : Output.data(),
                static_cast<DWORD>(Output.size()));
}

void* TLibraryCalls::Entry(const char* Suffix, bool LoadFirst) {
    if (LoadFirst) FLoad();
    std::string name = std::string(FPrefix) + Suffix;
    return FState.Proc(name.c_str());
}

int TLibraryCalls::Command(HWND Wnd, const std::string& CmdLine, std::string& Output) {
    auto proc = reinterpret_cast<ARC_COMMAND_PROC>(Entry("", true));
    return CallCommand(proc, Wnd, CmdLine, Output);
}

HARC TLibraryCalls::OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) {
    auto proc = reinterpret_cast<ARC_OPEN_ARCHIVE_PROC>(Entry("OpenArchive", true));
    return proc(Wnd, ArcName.c_str(), Mode);
}

int TLibraryCalls::CloseArchive(HARC Arc) {
    auto proc = reinterpret_cast<ARC_CLOSE_ARCHIVE_PROC>(Entry("CloseArchive", true));
    return proc(Arc);
}

int TLibraryCalls::FindFirst(HARC Arc, const std::string& WildName, INDIVIDUALINFO* Info) {
    auto proc = reinterpret_cast<ARC_FIND_FIRST_PROC>(Entry("FindFirst", true));
    return proc(Arc, WildName.c_str(), Info);
}

int TLibraryCalls::FindNext(HARC Arc, INDIVIDUALINFO* Info) {
    auto proc = reinterpret_cast<ARC_FIND_NEXT_PROC>(Entry("FindNext", false));
    return proc(Arc, Info);
}

int TLibraryCalls::CheckArchive(const std::string& ArcName, int Mode) {
    auto proc = reinterpret_cast<ARC_CHECK_ARCHIVE_PROC>(Entry("CheckArchive", true));
    return proc(ArcName.c_str(), Mode);
}

int TLibraryCalls::ExtractMem(HWND Wnd, const std::string& CmdLine, void* Buffer, DWORD Size,
                              DWORD& WriteSize) {
    auto proc = reinterpret_cast<ARC_EXTRACT_MEM_PROC>(Entry("ExtractMem", false));
    TNulItemsCleanup cleanup;
    return proc(Wnd, CmdLine.c_str(), static_cast<LPBYTE>(Buffer), Size, nullptr, nullptr,
                &WriteSize);
}

bool TLibraryCalls::SetOwnerWindowEx(HWND Wnd, ARCHIVERPROC Proc) {
    auto proc = reinterpret_cast<ARC_SET_OWNER_WINDOW_EX_PROC>(Entry("SetOwnerWindowEx", false));
    // The interface passes the callback's address itself.
    return proc(Wnd, reinterpret_cast<LPARCHIVERPROC>(Proc)) != 0;
}

bool TLibraryCalls::KillOwnerWindowEx(HWND Wnd) {
    auto proc = reinterpret_cast<ARC_KILL_OWNER_WINDOW_EX_PROC>(Entry("KillOwnerWindowEx", false));
    return proc(Wnd) != 0;
}

bool TLibraryCalls::ProbeOpen(const std::string& FileName) {
    try {
        FLoad();
        HARC arc = OpenArchive(nullptr, ExpandFileName(FileName), ProbeOpenMode);
        if (arc != nullptr) CloseArchive(arc);
        return arc != nullptr;
    } catch (...) {
        return false;
    }
}

}  // namespace kt
