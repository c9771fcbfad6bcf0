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
        return CallFoundSizes(FLibrary.Entry("GetOriginalSizeEx", false),
                              FLibrary.Entry("GetCompressedSizeEx", false), Arc, Original,
                              Compressed);
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

std::string TFormatDriver::LineFor(const TCommandRule& Rule, TResFileUse Use,
                                   const std::string& ArcName, const TArchiverOptions& Options,
                                   const std::string& Folder, const TFileList& Files,
                                   bool UseResFile) const {
    bool resFile = false;
    switch (Rule.ResFile) {
        case TResFileFrom::Options:
            resFile = Options.ResFileUsage.Contains(Use);
            break;
        case TResFileFrom::Caller:
            resFile = UseResFile;
            break;
        case TResFileFrom::Never:
            break;
    }
    return MakeCmdLine(Rule.Word, Rule.AbsoluteArchive ? ExpandFileName(ArcName) : ArcName, Options,
                       Rule.NamesFolder ? Folder : std::string(), Files, resFile);
}

int TFormatDriver::Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                          const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                          std::string& Output) {
    // Every driver unpacks: no base error to fall back on.
    return Exec(Wnd,
                LineFor(FCommands.Unpack, ruOnUnpack, ArcName, Options, BaseDir, Files, UseResFile),
                Output);
}

int TFormatDriver::Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                        const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                        std::string& Output) {
    if (FCommands.Pack.Word == nullptr)
        return TArchiver::Pack(Wnd, ArcName, Options, BaseDir, Files, UseResFile, Output);
    return Exec(Wnd,
                LineFor(FCommands.Pack, ruOnPack, ArcName, Options, BaseDir, Files, UseResFile),
                Output);
}

int TFormatDriver::RemoveItem(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                              const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                              std::string& Output) {
    if (FCommands.RemoveItem.Word == nullptr)
        return TArchiver::RemoveItem(Wnd, ArcName, Options, BaseDir, Files, UseResFile, Output);
    return Exec(
        Wnd,
        LineFor(FCommands.RemoveItem, ruOnRemoveItem, ArcName, Options, BaseDir, Files, UseResFile),
        Output);
}

int TFormatDriver::Update(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                          const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                          std::string& Output) {
    if (FCommands.Update.Word == nullptr)
        return TArchiver::Update(Wnd, ArcName, Options, BaseDir, Files, UseResFile, Output);
    return Exec(Wnd,
                LineFor(FCommands.Update, ruOnUpdate, ArcName, Options, BaseDir, Files, UseResFile),
                Output);
}

int TFormatDriver::MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                           const std::string& OutDir, std::string& Output) {
    if (FCommands.MakeSfx.Word == nullptr)
        return TArchiver::MakeSfx(Wnd, ArcName, Options, OutDir, Output);
    // Names no files and never a response file; UserFileList still ends the line.
    TCommandRule rule = FCommands.MakeSfx;
    rule.ResFile = TResFileFrom::Never;
    return Exec(Wnd, LineFor(rule, ruOnPack, ArcName, Options, OutDir, {}, false), Output);
}

int TFormatDriver::TestMembers(HWND Wnd, const std::string& ArcName,
                               const TArchiverOptions& Options, std::string& Output) {
    if (FCommands.TestMembers.Word == nullptr)
        return TArchiver::TestMembers(Wnd, ArcName, Options, Output);
    TCommandRule rule = FCommands.TestMembers;
    rule.ResFile = TResFileFrom::Never;
    return Exec(Wnd, LineFor(rule, ruOnUnpack, ArcName, Options, "", {}, false), Output);
}

int TFormatDriver::UnpackToMemory(HWND Wnd, const std::string& ArcName,
                                  const TArchiverOptions& Options, const std::string& FileName,
                                  void* Buffer, DWORD Size, DWORD& WriteSize) {
    if (!FCommands.UnpacksToMemory)
        return TArchiver::UnpackToMemory(Wnd, ArcName, Options, FileName, Buffer, Size, WriteSize);
    return ExecToMemory(Wnd, MakeCmdLine("", ArcName, Options, "", {FileName}, false), Buffer, Size,
                        WriteSize);
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
