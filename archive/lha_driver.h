// TLha32: the driver for LZH archives over UNLHA32.DLL (entry prefix
// "Unlha"). TArj32 derives from it and reuses its command-line builder and
// the operations it does not override; those keep running through
// UNLHA32.DLL and its library state.
#pragma once

#include <string>

#include "archive/driver_library.h"

namespace kt {

class TLha32 : public TLibraryDriver<"UNLHA32.DLL", "Unlha",
                                     "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。", "TLha32"> {
public:
    // Probe for the format detection; never raises (any failure is false).
    static bool IsArchive(const std::string& FileName);

    TLha32() : TLha32(ClassInfo) {}

    static constexpr TDriverCommands Commands = {
        .Unpack = {.Word = "x"},
        .Pack = {.Word = "u"},
        .RemoveItem = {.Word = "d", .NamesFolder = false},
        .Update = {.Word = "f"},
        .MakeSfx = {.Word = "s"},
        .TestMembers = {.Word = "t"},
        .UnpacksToMemory = true,
    };

    // The LHA command line: the command word followed by the switches of
    // the option set, UserOptions, the archive and folder, then the files
    // (or the response file) and UserFileList.
    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const override;
    bool PacksWholeArchives() const override { return true; }

protected:
    // The slots of TFormatDriver always run through UNLHA32.DLL here, also
    // for a TArj32, whose own slots override them.
    explicit TLha32(const TArchiverClass& Class) : TLibraryDriver(Class, Commands) {}

    // UNLHA32.DLL's entries, whatever the instance's class.
    static TLibraryCalls Library() { return Lib::Calls(); }
};

}  // namespace kt
