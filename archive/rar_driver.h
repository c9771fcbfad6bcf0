// TRar32: the driver for RAR archives over UNRAR32.DLL (prefix "Unrar"):
// extraction, extraction to memory and listing; no packing.
#pragma once

#include <string>

#include "archive/driver_library.h"

namespace kt {

class TRar32 : public TLibraryDriver<"UNRAR32.DLL", "Unrar",
                                     "この機能の使用には UNRAR32.DLL が 必要です。", "TRar32"> {
public:
    // Unpack's word is "-x", or "-e" (without the stored folders) when x = 0.
    static constexpr TDriverCommands Commands = {.Unpack = {.Word = "-x"}, .UnpacksToMemory = true};

    TRar32() : TLibraryDriver(Commands) {}

    int Unpack(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
               const std::string& BaseDir, const TFileList& Files, bool UseResFile,
               std::string& Output) override;

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const override;
};

}  // namespace kt
