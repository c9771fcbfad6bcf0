// TBGA32: the driver for BGA archives (.gza, .bza) over BGA32.DLL (prefix
// "Bga"): extraction, packing, deletion and self-extracting archives; no
// extraction to memory and no freshening.
#pragma once

#include <string>

#include "archive/format_driver.h"

namespace kt {

class TBGA32 : public TFormatDriver {
public:
    static const TArchiverClass ClassInfo;
    static TLibraryState& State();
    // Opens nothing and calls no entry when the file does not exist.
    static bool IsArchive(const std::string& FileName);

    TBGA32() : TFormatDriver(ClassInfo, Library()) {}

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

private:
    static TLibraryCalls Library();
};

}  // namespace kt
