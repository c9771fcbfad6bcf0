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
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) {
    TCommandRule rule = Commands.Unpack;
    if (Options.x == 0) rule.Word = "-e";
    return Exec(Wnd, LineFor(rule, ruOnUnpack, ArcName, Options, BaseDir, Files, UseResFile),
                Output);
}

}  // namespace kt
