// TBGA32: the driver for BGA archives (.gza, .bza) over BGA32.DLL (prefix
// "Bga"): extraction, packing, deletion and self-extracting archives; no
// extraction to memory and no freshening.
#pragma once

#include <string>

#include "archive/driver_library.h"
#include "archive/format_driver.h"

namespace kt {

class TBGA32 : public TFormatDriver {
    using Lib = TDriverLibrary<"BGA32.DLL", "Bga", "Bga 形式書庫を扱うには BGA32.DLL が 必要です。">;

public:
    static constexpr TArchiverClass ClassInfo = Lib::ClassFor("TBGA32");
    // Opens nothing and calls no entry when the file does not exist.
    static bool IsArchive(const std::string& FileName);

    TBGA32() : TFormatDriver(ClassInfo, Lib::Calls()) {}

    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;
    int Pack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
             const std::string& BaseDir, const TFileList& Files, bool UseResFile,
             std::string& Output) override;
    int RemoveItem(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                   const std::string& BaseDir, const TFileList& Files, bool UseResFile,
                   std::string& Output) override;
    int MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                const std::string& OutDir, std::string& Output) override;

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const;
};

}  // namespace kt
