#include "archive/rar_driver.h"

namespace kt {

std::string TRar32::MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                const TArchiverOptions& Options, const std::string& Folder,
                                const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    if (Options.c < 1) cmd.AddText("-u");
    if (Options.m > 0) cmd.AddText("-y");
    if (Options.p > 0) cmd.AddText("-s");
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, Folder);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

int TRar32::Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool, std::string& Output) {
    // x = 0 extracts without the stored folders.
    const char* command = Options.x == 0 ? "-e" : "-x";
    return Exec(
        Wnd,
        MakeCmdLine(command, ArcName, Options, BaseDir, Files, ResFileWanted(Options, ruOnUnpack)),
        Output);
}

int TRar32::UnpackToMemory(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                           const std::string& FileName, void* Buffer, DWORD Size,
                           DWORD& WriteSize) {
    return ExecToMemory(Wnd, MakeCmdLine("", ArcName, Options, "", {FileName}, false), Buffer, Size,
                        WriteSize);
}

}  // namespace kt
