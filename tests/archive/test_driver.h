// A minimal driver used to test the base class and the archive component
// without any real format driver: it runs the fake library installed as
// UNLHA32.DLL (prefix "Unlha") with the command word "u" for Pack and "x"
// for Unpack, the shared base operations for archive, folder and files.
#pragma once

#include "archive/archiver.h"

namespace kt::test {

class TTestDriver : public TArchiver {
public:
    static const TArchiverClass ClassInfo;
    static TLibraryState& State() {
        static TLibraryState state;
        return state;
    }
    static constexpr const char* Message = "TEST 形式書庫を扱うには UNLHA32.DLL が 必要です。";

    TTestDriver() : TArchiver(ClassInfo) {}

    int FindFirst(HARC Arc, INDIVIDUALINFO* Info, const std::string& WildName) override {
        return State().ProcAs<ARC_FIND_FIRST_PROC>("UnlhaFindFirst")(Arc, WildName.c_str(), Info);
    }
    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override {
        return Run("x", Wnd, ArcName, Options, BaseDir, Files, UseResFile, Output);
    }
    int Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
             const std::string& BaseDir, const TFileList& Files, bool UseResFile,
             std::string& Output) override {
        return Run("u", Wnd, ArcName, Options, BaseDir, Files, UseResFile, Output);
    }
    bool SetOwnerWindow(HWND Wnd, ARCHIVERPROC Proc) override {
        TArchiver::SetOwnerWindow(Wnd, Proc);
        return State().ProcAs<ARC_SET_OWNER_WINDOW_EX_PROC>("UnlhaSetOwnerWindowEx")(
                   Wnd, reinterpret_cast<LPARCHIVERPROC>(Proc)) != 0;
    }
    bool KillOwnerWindow(HWND Wnd) override {
        bool ok = State().ProcAs<ARC_KILL_OWNER_WINDOW_EX_PROC>("UnlhaKillOwnerWindowEx")(Wnd) != 0;
        TArchiver::KillOwnerWindow(Wnd);
        return ok;
    }

    // The options the last Pack was given (to see which set arrived).
    const TArchiverOptions* LastOptions = nullptr;

private:
    int Run(const char* word, HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
            const std::string& BaseDir, const TFileList& Files, bool UseResFile,
            std::string& Output) {
        LastOptions = &Options;
        TCmdOpt cmd;
        cmd.AddIntOpt("n", HasOwnerWindow() ? 1 : Options.n);
        cmd.AddIntOpt("p", Options.p);
        cmd.AddIntOpt("r", Options.r);
        cmd.AddStrOpt("jo", Options.jo);
        for (const std::string& x : Options.jx) cmd.AddStrOpt("jx", x);
        cmd.AddText(Options.UserOptions);
        AddArcAndDir(cmd, ArcName, BaseDir);
        AddFileList(cmd, Options, UseResFile, Files);
        CommandLine = word + cmd.CmdLine;
        LoadDLL();
        return State().ProcAs<ARC_COMMAND_PROC>("Unlha")(Wnd, CommandLine.c_str(),
                                                         Output.empty() ? nullptr : Output.data(),
                                                         static_cast<DWORD>(Output.size()));
    }
};

inline void LoadTestDriverLibrary() {
    if (!TTestDriver::State().Load("UNLHA32.DLL")) throw EArchiver(TTestDriver::Message);
}
inline void FreeTestDriverLibrary() { TTestDriver::State().Free(); }
inline const TArchiverClass TTestDriver::ClassInfo = {"TTestDriver", LoadTestDriverLibrary,
                                                      FreeTestDriverLibrary};

}  // namespace kt::test
