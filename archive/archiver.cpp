#include "archive/archiver.h"

#include "archive/file_list.h"
#include "platform/library_loader.h"

namespace kt {
namespace {

[[noreturn]] void Unsupported(const char* message) { throw EArchiver(message); }

void AbstractLoadDLL() { throw EArchiver("Abstract method 'TArchiver.LoadDLL' was called"); }
void AbstractFreeDLL() { throw EArchiver("Abstract method 'TArchiver.FreeDLL' was called"); }

}  // namespace

// ----- TLibraryState -------------------------------------------------------

bool TLibraryState::Load(const char* LibraryName) {
    if (Module == nullptr && !Missed) Module = LoadLibrary(LibraryName);
    return Module != nullptr;
}

void TLibraryState::Free() {
    Procs.clear();
    Missed = false;
    if (Module != nullptr) {
        FreeLibrary(Module);
        Module = nullptr;
    }
}

void* TLibraryState::Proc(const char* Name) {
    auto it = Procs.find(Name);
    if (it != Procs.end()) return it->second;
    void* address = TArchiver::GetDLLProc(Module, Name);
    Procs.emplace(Name, address);
    return address;
}

// ----- TArchiver -------------------------------------------------------------

const TArchiverClass TArchiver::ClassInfo = {"TArchiver", AbstractLoadDLL, AbstractFreeDLL};

TArchiver::TArchiver(const TArchiverClass& Class) : FClass(&Class) { FClass->LoadDLL(); }

HARC TArchiver::OpenArchive(HWND, const std::string&, DWORD) { return nullptr; }

int TArchiver::FindFirst(HARC, INDIVIDUALINFO*, const std::string&) { return -1; }

int TArchiver::FindNext(HARC, INDIVIDUALINFO*) { return -1; }

int TArchiver::CloseArchive(HARC) { return 0; }

int TArchiver::Pack(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                    const TFileList&, bool, std::string&) {
    Unsupported("この形式では書庫ファイルの作成をサポートしておりません。");
}

int TArchiver::RemoveItem(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                          const TFileList&, bool, std::string&) {
    Unsupported("この形式の書庫ではファイルの削除をサポートしておりません。");
}

int TArchiver::Update(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                      const TFileList&, bool, std::string&) {
    Unsupported("この形式の書庫では書庫の更新をサポートしておりません。");
}

int TArchiver::MakeSfx(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                       std::string&) {
    Unsupported("この形式では自己解凍書庫の作成をサポートしておりません。");
}

int TArchiver::UnpackToMemory(HWND, const std::string&, const TArchiverOptions&, const std::string&,
                              void*, DWORD, DWORD&) {
    Unsupported("この形式ではメモリへの展開をサポートしておりません。");
}

int TArchiver::TestMembers(HWND, const std::string&, const TArchiverOptions&, std::string&) {
    return ERROR_NOT_SUPPORT;
}

bool TArchiver::FoundSizes(HARC, uint64_t&, uint64_t&) { return false; }

bool TArchiver::CallFoundSizes(void* OriginalEntry, void* CompressedEntry, HARC Arc,
                               uint64_t& Original, uint64_t& Compressed) {
    auto original = reinterpret_cast<ARC_GET_SIZE_EX_PROC>(OriginalEntry);
    auto compressed = reinterpret_cast<ARC_GET_SIZE_EX_PROC>(CompressedEntry);
    int64_t o = 0, c = 0;
    if (!original || !compressed || !original(Arc, &o) || !compressed(Arc, &c)) return false;
    Original = static_cast<uint64_t>(o);
    Compressed = static_cast<uint64_t>(c);
    return true;
}

int TArchiver::CheckArchive(const std::string&, int, int) {
    Unsupported("この形式では書庫チェック機能をサポートしておりません。");
}

bool TArchiver::SetOwnerWindow(HWND Wnd, ARCHIVERPROC) {
    OwnerWindow = Wnd;
    return false;
}

bool TArchiver::KillOwnerWindow(HWND) {
    OwnerWindow = nullptr;
    return false;
}

void TArchiver::CheckPackDLL() { LoadDLL(); }

void TArchiver::AddArcAndDir(TCmdOpt& Cmd, const std::string& ArcName, const std::string& BaseDir) {
    Cmd.AddName("", ArcName);
    Cmd.AddDirName("", BaseDir);
}

void TArchiver::AddFileList(TCmdOpt& Cmd, const TArchiverOptions& Options, bool UseResFile,
                            const TFileList& Files) {
    if (UseResFile && !Options.ResFileName.empty() && !IsUnset(Options.ResFileName)) {
        Cmd.AddListFile(Files, Options.ResFileName);
    } else {
        Cmd.AddFileNames("", Files);
    }
    Cmd.AddText(Options.UserFileList);
}

void* TArchiver::GetDLLProc(HMODULE Module, const char* Name) {
    void* address = GetProcAddress(Module, Name);
    if (address == nullptr) {
        throw EArchiver(GetModuleFileName(Module) + " に " + Name +
                        " のエントリが見つかりません。");
    }
    return address;
}

}  // namespace kt
