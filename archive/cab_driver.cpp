#include "archive/cab_driver.h"

namespace kt {

std::string TCab32::MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                const TArchiverOptions& Options, const std::string& Folder,
                                const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    if (Options.c == 1) cmd.AddText("-o");
    if (Options.n > 0 || HasOwnerWindow()) cmd.AddText("-i");
    if (Options.r > 0) cmd.AddText("-r");
    if (Options.x == 0) cmd.AddText("-j");
    if (Options.ji > 0) cmd.AddText("-q");
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, Folder);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

int TCab32::Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool, std::string& Output) {
    return Exec(Wnd,
                MakeCmdLine("-x", ExpandFileName(ArcName), Options, BaseDir, Files,
                            ResFileWanted(Options, ruOnUnpack)),
                Output);
}

int TCab32::Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                 const std::string& BaseDir, const TFileList& Files, bool, std::string& Output) {
    return Exec(
        Wnd, MakeCmdLine("-a", ArcName, Options, BaseDir, Files, ResFileWanted(Options, ruOnPack)),
        Output);
}

int TCab32::MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                    const std::string& OutDir, std::string& Output) {
    return Exec(Wnd, MakeCmdLine("-f", ArcName, Options, OutDir, {}, false), Output);
}

int TCab32::UnpackToMemory(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                           const std::string& FileName, void* Buffer, DWORD Size,
                           DWORD& WriteSize) {
    return ExecToMemory(Wnd, MakeCmdLine("", ArcName, Options, "", {FileName}, false), Buffer, Size,
                        WriteSize);
}

}  // namespace kt
