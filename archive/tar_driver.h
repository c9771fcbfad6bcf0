// The TAR family over tar32.dll (prefix "Tar"): TTar32 for plain tar,
// TTgz32 for gzip-packed and TBZ232 for bzip2-packed tar. The two
// subclasses add nothing of their own; they share TTar32's library state
// and operations, which ask for the instance's class where they differ
// (the compression switch and MakeSfx).
#pragma once

#include <string>

#include "archive/driver_library.h"

namespace kt {

class TTar32 : public TLibraryDriver<"tar32.dll", "Tar",
                                     "tar/tgz/taz/bz2 形式書庫を扱うには tar32.dll が 必要です。",
                                     "TTar32"> {
public:
    // The archive type TarGetArchiveType reports: 1 atTar, 2 to 5 atTgz,
    // 6 and 7 atBZ2, anything else (and any failure) atNone. Never raises.
    static TArchiverType ArchiveTypeOf(const std::string& FileName);

    TTar32() : TTar32(ClassInfo) {}

    static constexpr TDriverCommands Commands = {
        .Unpack = {.Word = "x"},
        .Pack = {.Word = "c"},
        .UnpacksToMemory = true,
    };

    // A self-extracting program made by copying the stub "kmtarsef.exe" in
    // front of the archive; no library call, CommandLine unchanged.
    int MakeSfx(HWND Wnd, const std::string& ArcName, const TArchiverOptions& Options,
                const std::string& OutDir, std::string& Output) override;

    std::string MakeCmdLine(const std::string& Command, const std::string& ArcName,
                            const TArchiverOptions& Options, const std::string& Folder,
                            const TFileList& Files, bool UseResFile) const override;

protected:
    explicit TTar32(const TArchiverClass& Class) : TLibraryDriver(Class, Commands) {}

    // Runs the command, then brings Wnd to the foreground (when not 0).
    int Exec(HWND Wnd, const std::string& Line, std::string& Output) override;
};

class TTgz32 : public TTar32 {
public:
    static constexpr TArchiverClass ClassInfo = Lib::ClassFor("TTgz32");
    TTgz32() : TTar32(ClassInfo) {}
};

class TBZ232 : public TTar32 {
public:
    static constexpr TArchiverClass ClassInfo = Lib::ClassFor("TBZ232");
    TBZ232() : TTar32(ClassInfo) {}
};

}  // namespace kt
