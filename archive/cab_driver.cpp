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

}  // namespace kt
