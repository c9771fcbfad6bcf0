// TBGA32: the driver for BGA archives (.gza, .bza) over BGA32.DLL (prefix
// "Bga"): extraction, packing, deletion and self-extracting archives; no
// extraction to memory and no freshening.
#pragma once

#include <string>

#include "archive/driver_library.h"

namespace kt {

class TBGA32 : public TLibraryDriver<"BGA32.DLL", "Bga",
                                     "Bga 形式書庫を扱うには BGA32.DLL が 必要です。", "TBGA32"> {
public:
    // Opens nothing and calls no entry when the file does not exist.
    static bool IsArchive(const std::string& FileName);

    // Unlike the other drivers, extraction and packing follow the caller's
    // UseResFile (TArchiveFile passes the ruOnPack member of the same set, so
    // a run through the component sees no difference); deletion decides from
    // the option set.
    static constexpr TDriverCommands Commands = {
        .Unpack = {.Word = "x", .ResFile = TResFileFrom::Caller},
        .Pack = {.Word = "a", .ResFile = TResFileFrom::Caller},
        .RemoveItem = {.Word = "d", .NamesFolder = false},
        .MakeSfx = {.Word = "s"},
    };

    TBGA32() : TLibraryDriver(Commands) {}

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const override;
};

}  // namespace kt
