// TCab32: the driver for CAB archives over CAB32.DLL (prefix "Cab").
#pragma once

#include <string>

#include "archive/driver_library.h"
#include "archive/format_driver.h"

namespace kt {

class TCab32 : public TFormatDriver {
    using Lib = TDriverLibrary<"CAB32.DLL", "Cab", "CAB 形式書庫を扱うには CAB32.DLL が 必要です。">;

public:
    static constexpr TArchiverClass ClassInfo = Lib::ClassFor("TCab32");
    static bool IsArchive(const std::string& FileName) { return Lib::ProbeOpen(FileName); }

    TCab32() : TFormatDriver(ClassInfo, Lib::Calls()) {}

    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;
    int Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
             const std::string& BaseDir, const TFileList& Files, bool UseResFile,
             std::string& Output) override;
    int MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                const std::string& OutDir, std::string& Output) override;
    int UnpackToMemory(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                       const std::string& FileName, void* Buffer, DWORD Size,
                       DWORD& WriteSize) override;

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const;
};

}  // namespace kt
