#include "archive/zip_driver.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "archive/library_calls.h"
#include "archive/sfx_program.h"
#include "platform/file_scan.h"
#include "platform/library_loader.h"
#include "platform/path_text.h"
#include "platform/fault_injection.h"

namespace kt {
namespace {

const char* const PackLibraryMissing =
    "ZIP 形式書庫の作成には ZIP32J.DLL または LMZIP32.DLL が必要です。";
const char* const UnpackLibraryMissing =
    "ZIP 形式書庫の解凍には UNZIP32.DLL または LMZIP32.DLL が必要です。";

void LoadZip() {
    TZip32::TZipState& state = TZip32::State();
    state.Unzip.Load("UNZIP32.DLL");
    state.Zip32j.Load("ZIP32J.DLL");
    state.Lmzip.Load("LMZIP32.DLL");
    if (!state.Unzip.Module && !state.Zip32j.Module && !state.Lmzip.Module)
        throw EArchiver(
            "ZIP 形式書庫を解凍するには UNZIP32.DLL が、作成するには ZIP32J.DLL が必要です。");
    state.Unzip.RememberMiss();
    state.Zip32j.RememberMiss();
    state.Lmzip.RememberMiss();
}

void FreeZip() {
    TZip32::TZipState& state = TZip32::State();
    // Free only the modules: each TLibraryState's own table stays empty, the
    // shared table is cleared afterwards.
    state.Unzip.Free();
    state.Lmzip.Free();
    state.Zip32j.Free();
    state.Procs.clear();
}

bool IsFile(const std::string& path) { return TypeOfPath(path) == PathType::File; }

// An existing archive moved aside for a run that must start a new archive,
// and put back when the run does not succeed, so that a failed run never
// costs the user the archive they had.
class TArchiveSetAside {
public:
    explicit TArchiveSetAside(const std::string& ArcName) : arc_(ArcName) {
        struct stat st {};
        if (::lstat(ArcName.c_str(), &st) != 0) return;  // nothing to keep
        std::string folder = FolderOf(ArcName);
        backup_ = (folder.empty() ? std::string() : JoinFolder(folder, "")) + "." +
                  NameOf(ArcName) + ".XXXXXX";
        int fd = ::mkstemp(backup_.data());
        if (fd < 0 || ::close(fd) != 0 || fault::Rename(ArcName.c_str(), backup_.c_str()) != 0) {
            if (fd >= 0) ::unlink(backup_.c_str());
            throw EFCreateError("Cannot delete file \"" + ArcName + "\".");
        }
        held_ = true;
    }
    ~TArchiveSetAside() {
        if (held_) ::rename(backup_.c_str(), arc_.c_str());
    }
    TArchiveSetAside(const TArchiveSetAside&) = delete;
    TArchiveSetAside& operator=(const TArchiveSetAside&) = delete;

    // The run succeeded: the old archive is no longer needed.
    void Drop() {
        if (held_) ::unlink(backup_.c_str());
        held_ = false;
    }

private:
    std::string arc_;
    std::string backup_;
    bool held_ = false;
};

}  // namespace

const TArchiverClass TZip32::ClassInfo = {"TZip32", LoadZip, FreeZip};

TZip32::TZipState& TZip32::State() {
    static TZipState state;
    return state;
}

// ----- entry lookup ----------------------------------------------------------

void* TZip32::FindZipProc(const char* Name, std::initializer_list<TZipLibrary> Order) {
    TZipState& state = State();
    auto cached = state.Procs.find(Name);
    if (cached != state.Procs.end()) return cached->second;
    for (TZipLibrary library : Order) {
        HMODULE module = library == zlUnzip    ? state.Unzip.Module
                         : library == zlZip32j ? state.Zip32j.Module
                                               : state.Lmzip.Module;
        if (module == nullptr) continue;
        std::string name = Name;
        // LMZIP32.DLL spells the extraction prefix "Unzip".
        if (library == zlLmzip && name.size() > 2 && name[2] == 'Z') name[2] = 'z';
        void* address = GetProcAddress(module, name.c_str());
        if (address != nullptr) {
            state.Procs.emplace(Name, address);
            return address;
        }
    }
    throw EArchiver(std::string(Name) + " のエントリが見つかりません。");
}

void* TZip32::UnzipOnlyProc(const char* Name) {
    TZipState& state = State();
    auto cached = state.Procs.find(Name);
    if (cached != state.Procs.end()) return cached->second;
    void* address = GetDLLProc(state.Unzip.Module, Name);
    state.Procs.emplace(Name, address);
    return address;
}

int TZip32::ExecZip(HWND Wnd, std::string& Output) {
    LoadDLL();
    TZipState& state = State();
    if (!state.Procs.count("Zip") && !state.Zip32j.Module && !state.Lmzip.Module)
        throw EArchiver(PackLibraryMissing);
    auto proc = reinterpret_cast<ARC_COMMAND_PROC>(FindZipProc("Zip", {zlZip32j, zlLmzip}));
    return CallCommand(proc, Wnd, CommandLine, Output);
}

int TZip32::ExecUnzip(HWND Wnd, std::string& Output) {
    LoadDLL();
    TZipState& state = State();
    if (!state.Procs.count("UnZip") && !state.Unzip.Module && !state.Lmzip.Module)
        throw EArchiver(UnpackLibraryMissing);
    auto proc = reinterpret_cast<ARC_COMMAND_PROC>(FindZipProc("UnZip", {zlUnzip, zlLmzip}));
    return CallCommand(proc, Wnd, CommandLine, Output);
}

// ----- command lines ---------------------------------------------------------

std::string TZip32::EscapeZipName(const std::string& Name) {
    std::string out;
    out.reserve(Name.size() + 4);
    for (char c : Name) {
        if (c == '[')
            out += "[[]";
        else
            out += c;
    }
    return out;
}

std::string TZip32::MakeZipCmdLine(const std::string& Command, const std::string& ArcName,
                                   const TArchiverOptions& Options, const std::string& BaseDir,
                                   const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    cmd.OnConvertName = EscapeZipName;
    if (Options.a > 0) cmd.AddText("-S");
    if (Options.a < 2) cmd.AddText("-D");
    if (Options.l > 0) cmd.AddText("-v");
    if (Options.n > 0) cmd.AddText("-q");
    if (Options.r > 0) cmd.AddText("-r");
    if (Options.n > 0) cmd.AddText("-o");
    if (Options.u > 0) cmd.AddText("-u");
    if (Options.x == 0) cmd.AddText("-j");
    if (Options.jc > 0) cmd.AddText("-FF");
    if (Options.ji > 0) cmd.AddText("-k");
    cmd.AddIntOpt("", Options.jm);
    if (Options.gd > 0) cmd.AddText("-J");
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, BaseDir);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

std::string TZip32::MakeUnzipCmdLine(const std::string& Command, const std::string& ArcName,
                                     const TArchiverOptions& Options, const std::string& BaseDir,
                                     const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    cmd.OnConvertName = EscapeZipName;
    if (Options.c == 1) cmd.AddText("-o");
    if (Options.n > 0 || HasOwnerWindow()) cmd.AddText("--i");
    if (Options.x == 0) cmd.AddText("-j");
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, BaseDir);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

std::string TZip32::MakeLmzipCmdLine(const std::string& Command, const std::string& ArcName,
                                     const TArchiverOptions& Options, const std::string& BaseDir,
                                     const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    if (Options.c == 1) cmd.AddText("-o");
    if (Options.x == 0) cmd.AddText("-j");
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, BaseDir);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

// ----- operations ------------------------------------------------------------

bool TZip32::IsArchive(const std::string& FileName) {
    try {
        LoadZip();
        std::string path = ExpandFileName(FileName);
        if (!IsFile(path)) return false;
        auto open = reinterpret_cast<ARC_OPEN_ARCHIVE_PROC>(
            FindZipProc("UnZipOpenArchive", {zlLmzip, zlZip32j, zlUnzip}));
        HARC arc = open(nullptr, path.c_str(), ProbeOpenMode);
        if (arc != nullptr) {
            auto close = reinterpret_cast<ARC_CLOSE_ARCHIVE_PROC>(
                FindZipProc("UnZipCloseArchive", {zlLmzip, zlZip32j, zlUnzip}));
            close(arc);
        }
        return arc != nullptr;
    } catch (...) {
        return false;
    }
}

HARC TZip32::OpenArchive(HWND Wnd, const std::string& ArcName, DWORD Mode) {
    LoadDLL();
    auto proc = reinterpret_cast<ARC_OPEN_ARCHIVE_PROC>(
        FindZipProc("UnZipOpenArchive", {zlLmzip, zlZip32j, zlUnzip}));
    return proc(Wnd, ExpandFileName(ArcName).c_str(), Mode);
}

int TZip32::FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) {
    LoadDLL();
    auto proc = reinterpret_cast<ARC_FIND_FIRST_PROC>(
        FindZipProc("UnZipFindFirst", {zlLmzip, zlZip32j, zlUnzip}));
    return proc(Arc, WildName.c_str(), Info);
}

int TZip32::FindNext(HARC Arc, INDIVIDUALINFO* Info) {
    auto proc = reinterpret_cast<ARC_FIND_NEXT_PROC>(
        FindZipProc("UnZipFindNext", {zlLmzip, zlZip32j, zlUnzip}));
    return proc(Arc, Info);
}

bool TZip32::FoundSizes(HARC Arc, uint64_t& Original, uint64_t& Compressed) {
    try {
        return CallFoundSizes(FindZipProc("UnZipGetOriginalSizeEx", {zlLmzip, zlZip32j, zlUnzip}),
                              FindZipProc("UnZipGetCompressedSizeEx", {zlLmzip, zlZip32j, zlUnzip}),
                              Arc, Original, Compressed);
    } catch (const std::exception&) {
        return false;  // an older library without the entries
    }
}

int TZip32::CloseArchive(HARC Arc) {
    LoadDLL();
    auto proc = reinterpret_cast<ARC_CLOSE_ARCHIVE_PROC>(
        FindZipProc("UnZipCloseArchive", {zlLmzip, zlZip32j, zlUnzip}));
    return proc(Arc);
}

int TZip32::Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) {
    CommandLine = MakeUnzipCmdLine("-x", ArcName, Options, BaseDir, Files, UseResFile);
    return ExecUnzip(Wnd, Output);
}

int TZip32::TestMembers(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                        std::string& Output) {
    CommandLine = MakeUnzipCmdLine("-t", ArcName, Options, "", {}, false);
    return ExecUnzip(Wnd, Output);
}

int TZip32::Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                 const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                 std::string& Output) {
    TZipState& state = State();
    if (state.Zip32j.Module) {
        CommandLine = MakeZipCmdLine("", ArcName, Options, BaseDir, Files, UseResFile);
        return ExecZip(Wnd, Output);
    }
    if (!state.Lmzip.Module) throw EArchiver(PackLibraryMissing);
    std::string line = MakeLmzipCmdLine("-ru", ArcName, Options, "", Files, UseResFile);
    // LMZIP32.DLL adds to an existing archive; the pack must start a new
    // one. The old archive is kept aside until the library has succeeded.
    TArchiveSetAside old(ArcName);
    CommandLine = line;
    int result = ExecZip(Wnd, Output);
    if (result == 0) old.Drop();
    return result;
}

int TZip32::RemoveItem(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                       const std::string&, const TFileList& Files, bool UseResFile,
                       std::string& Output) {
    CommandLine = MakeZipCmdLine("-d", ArcName, Options, "", Files, UseResFile);
    return ExecZip(Wnd, Output);
}

int TZip32::Update(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) {
    CommandLine = MakeZipCmdLine("-f", ArcName, Options, BaseDir, Files, UseResFile);
    return ExecZip(Wnd, Output);
}

int TZip32::MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                    const std::string& OutDir, std::string& Output) {
    if (!State().Zip32j.Module)
        throw EArchiver("ZIP 形式書庫からの自己解凍書庫作成には ZIP32J.DLL が必要です。");
    bool gui = Options.gw > 0;
    std::string stub = SearchPath(gui ? "sfx32gui.dat" : "sfx16.dat");
    if (stub.empty())
        throw EArchiver(gui ? "zip 書庫からのWin32自己解凍書庫の作成には sfx32gui.dat が必要です。"
                            : "zip 書庫からのDOS自己解凍書庫の作成には sfx16.dat が必要です。");
    std::string program = SfxProgramName(ArcName, OutDir);
    WriteSfxProgram(stub, ArcName, program);
    // Quoted only when it must be: a blank would split the path in two.
    bool quote = program.find(' ') != std::string::npos;
    CommandLine = "-A " + (quote ? "\"" + program + "\"" : program);
    return ExecZip(Wnd, Output);
}

int TZip32::UnpackToMemory(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                           const std::string& FileName, void* Buffer, DWORD Size,
                           DWORD& WriteSize) {
    CommandLine = MakeUnzipCmdLine("", ArcName, Options, "", TFileList{FileName}, false);
    auto proc = reinterpret_cast<ARC_EXTRACT_MEM_PROC>(
        FindZipProc("UnZipExtractMem", {zlUnzip, zlLmzip, zlZip32j}));
    return proc(Wnd, CommandLine.c_str(), static_cast<LPBYTE>(Buffer), Size, nullptr, nullptr,
                &WriteSize);
}

int TZip32::CheckArchive(const std::string& ArcName, int Mode, int) {
    LoadDLL();
    auto proc = reinterpret_cast<ARC_CHECK_ARCHIVE_PROC>(
        FindZipProc("UnZipCheckArchive", {zlUnzip, zlLmzip, zlZip32j}));
    return proc(ArcName.c_str(), Mode);
}

bool TZip32::SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) {
    auto proc =
        reinterpret_cast<ARC_SET_OWNER_WINDOW_EX_PROC>(UnzipOnlyProc("UnZipSetOwnerWindowEx"));
    bool accepted = proc(Wnd, reinterpret_cast<LPARCHIVERPROC>(Proc)) != 0;
    TArchiver::SetOwnerWindow(Wnd, Proc);
    return accepted;
}

bool TZip32::KillOwnerWindow(HWND Wnd) {
    auto proc =
        reinterpret_cast<ARC_KILL_OWNER_WINDOW_EX_PROC>(UnzipOnlyProc("UnZipKillOwnerWindowEx"));
    bool accepted = proc(Wnd) != 0;
    TArchiver::KillOwnerWindow(Wnd);
    return accepted;
}

bool TZip32::PacksWholeArchives() const { return State().Zip32j.Module != nullptr; }

void TZip32::CheckPackDLL() {
    try {
        LoadDLL();
    } catch (...) {
        // Only the creating libraries matter here.
    }
    if (!State().Zip32j.Module && !State().Lmzip.Module) throw EArchiver(PackLibraryMissing);
}

}  // namespace kt
