#include "archive/archive_file.h"

#include <cstring>

#include "archive/earchiver.h"
#include "archive/filters.h"
#include "archive/format_table.h"
#include "platform/ascii_case.h"
#include "platform/message_hub.h"

namespace kt {
namespace {

UINT ProgressMessage() {
    static const UINT message = RegisterWindowMessage(WM_ARCEXTRACT_NAME);
    return message;
}

std::string ExtensionOf(const std::string& name) {
    std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::size_t slash = name.rfind('/');
    if (slash != std::string::npos && slash > dot) return {};
    return name.substr(dot);
}

}  // namespace

TArchiverType DetectArchiverTypeByContent(const std::string& FileName,
                                          const TContentProbes& Probes) {
    TArchiverType result = Probes.Tar ? Probes.Tar(FileName) : atNone;
    // Every probe is asked, also after a yes: each loads its library if it
    // can, and the fixed order decides.
    for (const TContentProbes::YesNo& probe : Probes.Others) {
        if (probe.IsArchive != nullptr && probe.IsArchive(FileName)) result = probe.Type;
    }
    return result;
}

TArchiverType DetectArchiverType(const std::string& FileName, bool ByExtension) {
    if (!ByExtension) return DetectArchiverTypeByContent(FileName, ArchiverContentProbes());
    std::string ext = LowerAscii(ExtensionOf(FileName));
    if (const TFormatRow* row = FindFormatByExtension(ext)) return row->Type;
    if (ext == ".exe") return DetectArchiverType(FileName, false);
    return atNone;
}

TArchiveFile::TArchiveFile()
    : FOptions(std::make_unique<TArchiverOptions>()), FFileName(UnsetString) {}

TArchiveFile::~TArchiveFile() {
    if (FWindowHandle != nullptr) DestroyMessageWindow(FWindowHandle);
    FArchiver.reset();
    FOptions.reset();
}

void TArchiveFile::SetArchiverType(TArchiverType Value) {
    if (FindFormat(Value) != nullptr) {
        std::unique_ptr<TArchiver> driver = CreateArchiver(Value);
        if (!driver) throw EArchiver("書庫の形式を特定できませんでした。");
        FArchiver = std::move(driver);
        FArchiverType = Value;
    } else if (Value == atAutoDetect) {
        FArchiverType = Value;
    } else if (Value == atNone) {
        // nothing changes
    } else if (FLoading) {
        FArchiverType = Value;
    } else {
        throw EArchiver("書庫の形式を特定できませんでした。");
    }
}

void TArchiveFile::SetFileName(const std::string& Value) {
    SetArchiverType(DetectArchiverType(Value, true));
    FFileName = Value;
}

void TArchiveFile::SetFileNameOfType(TArchiverType Type, const std::string& Value) {
    if (Type != FArchiverType || !FArchiver) SetArchiverType(Type);
    FFileName = Value;
}

std::string TArchiveFile::OutputText() const { return std::string(FOutput.c_str()); }

void TArchiveFile::SetOutputSize(int N) {
    if (N <= 0) {
        FOutput.clear();
        return;
    }
    FOutput.resize(static_cast<std::size_t>(N), '\0');
    FOutput[0] = '\0';
}

void TArchiveFile::DoProgress(int State, EXTRACTINGINFOEX* lpEis, bool& Abort) {
    if (OnProgress) OnProgress(this, State, lpEis, Abort);
}

int TArchiveFile::Pack(HWND Wnd, TArchiverOptions* Options, const std::string& BaseDir,
                       const TFileList& Files) {
    if (FArchiverType == atAutoDetect) SetArchiverType(DetectArchiverType(FFileName, false));
    if (!FArchiver) throw EArchiver("書庫の形式を判別できません。");
    TArchiverOptions& opts = Options != nullptr ? *Options : *FOptions;
    FArchiver->CheckPackDLL();
    FPackedNothing = false;
    int result;
    if (opts.PackFilter == pfComponent) {
        // The filters work on a copy: the caller's set stays as it was.
        TArchiverOptions work(opts);
        bool aborted = false;
        TFileNameList list = CollectFiles(work, BaseDir, Files, aborted,
                                          [this](int state, EXTRACTINGINFOEX* eis, bool& abort) {
                                              DoProgress(state, eis, abort);
                                          });
        if (aborted) return ResultUserCancel;
        if (list.Empty()) {
            if (!FOutput.empty()) FOutput[0] = '\0';
            FPackedNothing = true;
            return 0;
        }
        work.jx.clear();
        result = RunDriver(Wnd, work, BaseDir, {list.Names()});
    } else {
        result = RunDriver(Wnd, opts, BaseDir, Files);
    }
    FCommandLine = FArchiver->CommandLine;
    return result;
}

int TArchiveFile::RunDriver(HWND Wnd, const TArchiverOptions& O, const std::string& BaseDir,
                            const TFileList& F) {
    HookProgress();
    int result;
    try {
        result = FArchiver->Pack(Wnd, FFileName, O, BaseDir, F, O.ResFileUsage.Contains(ruOnPack),
                                 FOutput);
    } catch (...) {
        FCommandLine = FArchiver->CommandLine;
        UnhookProgress();
        FHandlerError = nullptr;
        throw;
    }
    FCommandLine = FArchiver->CommandLine;
    UnhookProgress();
    if (FHandlerError) {
        std::exception_ptr error = FHandlerError;
        FHandlerError = nullptr;
        std::rethrow_exception(error);
    }
    return result;
}

void TArchiveFile::HookProgress() {
    if (!OnProgress) return;
    ProgressMessage();
    if (FWindowHandle == nullptr)
        FWindowHandle = CreateMessageWindow(&TArchiveFile::WindowProc, this);
    try {
        FArchiver->SetOwnerWindow(FWindowHandle, nullptr);
    } catch (...) {
        // Packing goes on without progress.
    }
}

void TArchiveFile::UnhookProgress() {
    if (!OnProgress) return;
    try {
        FArchiver->KillOwnerWindow(FWindowHandle);
    } catch (...) {
    }
}

LRESULT TArchiveFile::WindowProc(HWND, UINT msg, WPARAM wParam, LPARAM lParam, void* user) {
    if (msg != ProgressMessage()) return 0;
    auto* self = static_cast<TArchiveFile*>(user);
    bool abort = false;
    try {
        self->DoProgress(static_cast<int>(wParam), reinterpret_cast<EXTRACTINGINFOEX*>(lParam),
                         abort);
    } catch (...) {
        if (!self->FHandlerError) self->FHandlerError = std::current_exception();
        return 1;
    }
    return abort ? 1 : 0;
}

}  // namespace kt
