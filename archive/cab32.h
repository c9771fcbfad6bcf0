// TCab32: the driver for CAB archives over CAB32.DLL (prefix "Cab").
#pragma once

#include <string>

#include "archive/format_driver.h"

namespace kt {

class TCab32 : public TFormatDriver {
public:
    static const TArchiverClass ClassInfo;
    static TLibraryState& State();
    static bool IsArchive(const std::string& FileName);

    TCab32() : TFormatDriver(ClassInfo, Library()) {}

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

private:
    static TLibraryCalls Library();
};

}  // namespace kt
