// TArchiveFile: the component through which the program makes archives. It
// stands for one archive file, knows its format, owns the driver for that
// format and an option set, packs (expanding the file list with filters
// first when asked) and reports progress through OnProgress.
#pragma once

#include <exception>
#include <memory>
#include <string>

#include "archive/archiver.h"
#include "archive/archiver_factory.h"
#include "archive/archiver_options.h"
#include "archive/archiver_types.h"
#include "platform/windows_types.h"

namespace kt {

// The type an archive name stands for. By extension: from the last "."
// after the last "/", compared without regard to ASCII case; ".exe" asks
// the libraries; unknown gives atNone. By content: every probe in its
// fixed order, a later yes winning (LHA, CAB, BGA, ZIP, ARJ, RAR, then the
// TAR answer).
TArchiverType DetectArchiverType(const std::string& FileName, bool ByExtension);
TArchiverType DetectArchiverTypeByContent(const std::string& FileName,
                                          const TContentProbes& Probes);

class TArchiveFile {
public:
    TArchiveFile();
    ~TArchiveFile();
    TArchiveFile(const TArchiveFile&) = delete;
    TArchiveFile& operator=(const TArchiveFile&) = delete;

    TArchiverType ArchiverType() const { return FArchiverType; }
    // A format of the format table: a new driver of that type (also for the current type);
    // when its construction raises, nothing changes. atAutoDetect: stored,
    // the driver stays. atNone: nothing changes. Anything else raises
    // "書庫の形式を特定できませんでした。" (stored while loading).
    void SetArchiverType(TArchiverType Value);

    // The driver for the current type, null when none.
    TArchiver* Archiver() const { return FArchiver.get(); }

    // The option set Pack uses when it is given none.
    TArchiverOptions& Options() { return *FOptions; }

    const std::string& FileName() const { return FFileName; }
    // Switches the type by extension first; when that raises, FileName
    // keeps its old value.
    void SetFileName(const std::string& Value);
    // FileName for an archive the caller knows to be of Type: no detection,
    // and the driver is kept while the type stays the same.
    void SetFileNameOfType(TArchiverType Type, const std::string& Value);

    // The driver's command line after the last Pack.
    const std::string& CommandLine() const { return FCommandLine; }

    // The buffer offered to the library for its report; OutputText is its
    // text up to the first zero byte.
    const std::string& Output() const { return FOutput; }
    std::string OutputText() const;
    int OutputSize() const { return static_cast<int>(FOutput.size()); }
    // N bytes, content kept up to N, first byte 0; N <= 0 gives no buffer.
    void SetOutputSize(int N);

    // The hidden window that receives progress messages; null until the
    // first Pack with an OnProgress handler.
    HWND WindowHandle() const { return FWindowHandle; }

    TArchiverProgressEvent OnProgress;

    // Packs Files into FileName. Options: the set to use, null for the
    // component's own. Returns 0, the library's error code, or 0x8020 when
    // the user cancelled during file collection. The layer's failures are
    // raised.
    int Pack(HWND Wnd, TArchiverOptions* Options, const std::string& BaseDir,
             const TFileList& Files);
    // Whether the last Pack found no file to pack and so called no library
    // (it then returned 0).
    bool PackedNothing() const { return FPackedNothing; }

    void DoProgress(int State, EXTRACTINGINFOEX* lpEis, bool& Abort);

    // Reading from a stored form: while loading, SetArchiverType stores
    // values it would otherwise reject.
    void BeginLoading() { FLoading = true; }
    void Loaded() { FLoading = false; }

private:
    int RunDriver(HWND Wnd, const TArchiverOptions& O, const std::string& BaseDir,
                  const TFileList& F);
    void HookProgress();
    void UnhookProgress();
    static LRESULT WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam, void* user);

    TArchiverType FArchiverType = atAutoDetect;
    std::unique_ptr<TArchiver> FArchiver;
    std::unique_ptr<TArchiverOptions> FOptions;
    std::string FFileName;
    std::string FCommandLine;
    std::string FOutput;
    HWND FWindowHandle = nullptr;
    bool FLoading = false;
    bool FPackedNothing = false;
    // An exception a progress handler raised inside a library call: it is
    // held (the library is asked to stop) and raised again once the library
    // has returned, never thrown through the library's frames.
    std::exception_ptr FHandlerError;
};

}  // namespace kt
