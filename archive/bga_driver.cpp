#include "archive/bga_driver.h"

#include "platform/file_scan.h"

namespace kt {

bool TBGA32::IsArchive(const std::string& FileName) {
    if (TypeOfPath(ExpandFileName(FileName)) != PathType::File) return false;
    return Lib::ProbeOpen(FileName);
}

std::string TBGA32::MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                const TArchiverOptions& Options, const std::string& Folder,
                                const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    cmd.AddBoolOpt("a", Options.a > 0);
    cmd.AddText(Options.c <= 0 ? "-n" : "-o");
    cmd.AddBoolOpt("i", Options.n > 0 || HasOwnerWindow());
    cmd.AddBoolOpt("r", Options.r > 0);
    cmd.AddBoolOpt("j", Options.x < 1);
    cmd.AddIntOpt("l", Options.jm);
    cmd.AddText(Options.UserOptions);
    AddArcAndDir(cmd, ArcName, Folder);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

}  // namespace kt
