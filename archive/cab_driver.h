// TCab32: the driver for CAB archives over CAB32.DLL (prefix "Cab").
#pragma once

#include <string>

#include "archive/driver_library.h"

namespace kt {

class TCab32 : public TLibraryDriver<"CAB32.DLL", "Cab",
                                     "CAB 形式書庫を扱うには CAB32.DLL が 必要です。", "TCab32"> {
public:
    // Extraction hands the library the archive's absolute path; creation
    // hands over the name as given (the designed command lines differ here,
    // and only here, among the one-library drivers).
    static constexpr TDriverCommands Commands = {
        .Unpack = {.Word = "-x", .AbsoluteArchive = true},
        .Pack = {.Word = "-a"},
        .MakeSfx = {.Word = "-f"},
        .UnpacksToMemory = true,
    };

    TCab32() : TLibraryDriver(Commands) {}

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const override;
};

}  // namespace kt
