#include "archive/tar_driver.h"

#include "archive/sfx_program.h"
#include "platform/foreground_window.h"
#include "platform/library_loader.h"

namespace kt {

TArchiverType TTar32::ArchiveTypeOf(const std::string& FileName) {
    try {
        auto proc =
            reinterpret_cast<TAR_GET_ARCHIVE_TYPE_PROC>(Lib::Calls().Entry("GetArchiveType", true));
        switch (proc(FileName.c_str())) {
            case 1:
                return atTar;
            case 2:
            case 3:
            case 4:
            case 5:
                return atTgz;
            case 6:
            case 7:
                return atBZ2;
            default:
                return atNone;
        }
    } catch (...) {
        return atNone;
    }
}

std::string TTar32::MakeCmdLine(const std::string& Command, const std::string& ArcName,
                                const TArchiverOptions& Options, const std::string& Folder,
                                const TFileList& Files, bool UseResFile) const {
    TCmdOpt cmd;
    // The archive and the folder are named by their own switches, each
    // followed by a blank and the quoted value.
    cmd.SeparateValue = true;
    if (Options.a > 0) cmd.AddText("-AH");
    if (Options.a == 0) cmd.AddText("-I");
    if (!HasOwnerWindow() && Options.n > 0) cmd.AddText("--display-dialog=0");
    if (Options.o > 0) cmd.AddText("-g");
    cmd.AddIntOpt("-check-all-path=", Options.p);
    cmd.AddIntOpt("-use-directory=", Options.x);
    if (dynamic_cast<const TTgz32*>(this) != nullptr) {
        if (Options.jm > 0)
            cmd.AddIntOpt("z", Options.jm);
        else
            cmd.AddText("-z");
    }
    if (dynamic_cast<const TBZ232*>(this) != nullptr) {
        if (Options.jm > 0)
            cmd.AddIntOpt("B", Options.jm);
        else
            cmd.AddText("-B");
    }
    cmd.AddText(Options.UserOptions);
    if (!ArcName.empty()) cmd.AddName("f", ArcName);
    if (!Folder.empty()) cmd.AddDirName("o", Folder);
    AddFileList(cmd, Options, UseResFile, Files);
    return Command + cmd.CmdLine;
}

int TTar32::Exec(HWND Wnd, const std::string& Line, std::string& Output) {
    int result = TFormatDriver::Exec(Wnd, Line, Output);
    if (Wnd != nullptr) SetForegroundWindow(Wnd);
    return result;
}

int TTar32::MakeSfx(HWND, const std::string& ArcName, const TArchiverOptions&,
                    const std::string& OutDir, std::string&) {
    if (dynamic_cast<const TBZ232*>(this) != nullptr)
        throw EArchiver("BZ2 形式書庫は自己解凍形式にできません。");
    std::string stub = SearchPath("kmtarsef.exe");
    if (stub.empty())
        throw EArchiver("tar/tgz 書庫からの自己解凍書庫の作成には kmtarsef.exe が必要です。");
    WriteSfxProgram(stub, ArcName, SfxProgramName(ArcName, OutDir));
    return 0;
}

}  // namespace kt
