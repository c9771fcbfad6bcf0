// Exported entry points of UNZIP32.DLL.
#include <cstring>
#include <memory>

#include "archivers/common/file_time.h"
#include "archivers/common/library_shell.h"
#include "archivers/common/safe_path.h"
#include "opened_archive.h"
#include "platform/cp932.h"
#include "unzip_command.h"
#include "unzip_run.h"
#include "archivers/zip_container/zip_error_code.h"
#include "archivers/zip_container/zip_extract.h"

namespace {

using namespace kt::unzip32;
using namespace kt::zip;

kt::arc::LibraryShell gShell(100);

// An archive opened by UnZipOpenArchive, searched by the shell.
class ZipListing : public kt::arc::MemberListing {
public:
    std::size_t Count() const override { return archive.Directory().entries.size(); }
    bool Matches(std::size_t i, const std::string& wildName) const override {
        return wildName.empty() || MatchesAny({wildName}, archive.Directory().entries[i].name);
    }
    void Fill(std::size_t i, INDIVIDUALINFO& info) const override {
        FillIndividualInfo(archive.Directory().entries[i], info);
    }
    bool Sizes(std::size_t i, uint64_t* original, uint64_t* compressed) const override {
        *original = archive.Directory().entries[i].uncompressedSize;
        *compressed = archive.Directory().entries[i].compressedSize;
        return true;
    }

    OpenedArchive archive;
};

// Copies decoded bytes into the caller's buffer, counting all of them.
class BufferSink : public ZipSink {
public:
    BufferSink(LPBYTE buffer, DWORD size) : buffer_(buffer), size_(size) {}
    bool Write(const uint8_t* data, size_t n) override {
        if (total + n > size_) return false;
        std::memcpy(buffer_ + total, data, n);
        total += n;
        return true;
    }
    uint64_t total = 0;

private:
    LPBYTE buffer_;
    DWORD size_;
};

}  // namespace

KT_EXPORT int UnZip(HWND, LPCSTR cmdLine, LPSTR output, DWORD outputSize) {
    return gShell.Command(output, outputSize, [&](kt::arc::Report& report) {
        UnzipCommand cmd;
        std::string error;
        int code = 0;
        if (!ParseUnzipCommand(cmdLine ? cmdLine : "", cmd, error, code)) {
            report.Line("unzip error: " + error);
            return code;
        }
        return RunUnzip(cmd, gShell.Owner(), report);
    });
}

KT_EXPORT int UnZipExtractMem(HWND, LPCSTR cmdLine, LPBYTE buffer, DWORD bufferSize, time_t* time,
                              LPWORD attr, LPDWORD written) {
    return gShell.Run([&] {
        if (written) *written = 0;
        UnzipCommand cmd;
        std::string error;
        int code = 0;
        if (!ParseUnzipCommand(cmdLine ? cmdLine : "", cmd, error, code)) return code;
        OpenedArchive archive;
        if (int rc = archive.Open(cmd.archive, error)) return rc;
        for (const ZipEntry& e : archive.Directory().entries) {
            if (e.IsDirectory() || !MatchesAny(cmd.names, e.name)) continue;
            if (e.uncompressedSize > bufferSize) return static_cast<int>(ERROR_ENOUGH_MEMORY);
            BufferSink sink(buffer, bufferSize);
            std::string key = cmd.hasPassword ? kt::Utf8ToCp932(cmd.password) : std::string();
            ZipStatus st = ExtractEntry(archive.Source(), e, key, sink);
            if (st != ZipStatus::Ok) {
                if (e.IsEncrypted() && (st == ZipStatus::Broken || st == ZipStatus::CrcMismatch))
                    return static_cast<int>(ERROR_PASSWORD_FILE);
                return ErrorCodeOf(st);
            }
            if (written) *written = static_cast<DWORD>(sink.total);
            if (time)
                *time = e.mtime ? static_cast<time_t>(*e.mtime)
                                : static_cast<time_t>(kt::arc::DosDateTimeToUnix(
                                      (static_cast<uint32_t>(e.dosDate) << 16) | e.dosTime));
            if (attr) *attr = static_cast<WORD>(AttributeText(e)[0] == 'R' ? 0x21 : 0x20);
            return 0;
        }
        return static_cast<int>(ERROR_NOT_FIND_FILE);
    });
}

KT_EXPORT HARC UnZipOpenArchive(HWND, LPCSTR arcFile, DWORD) {
    return gShell.Open([&]() -> std::unique_ptr<ZipListing> {
        auto h = std::make_unique<ZipListing>();
        std::string error;
        if (!arcFile || h->archive.Open(arcFile, error) != 0) return nullptr;
        return h;
    });
}

KT_SHELL_SEARCH_EXPORTS(UnZip, gShell)

KT_EXPORT BOOL UnZipCheckArchive(LPCSTR arcFile, int mode) {
    return kt::arc::LibraryShell::Query<BOOL>(arcFile, FALSE, [&](const std::string& path) {
        OpenedArchive archive;
        std::string error;
        if (archive.Open(path, error) != 0) return FALSE;
        const int level = mode & 3;
        for (const ZipEntry& e : archive.Directory().entries) {
            uint64_t dataAt = 0;
            if (LocateEntryData(archive.Source(), e, dataAt) != ZipStatus::Ok) return FALSE;
            if (level == CHECKARCHIVE_FULLCRC) {
                // With no password an encrypted entry cannot be checked, and
                // an unchecked entry is never called sound.
                if (!kt::arc::SafeRelativePath(e.name) || (!e.IsDirectory() && e.IsEncrypted()))
                    return FALSE;
                struct NullSink : ZipSink {
                    bool Write(const uint8_t*, size_t) override { return true; }
                } sink;
                if (!e.IsDirectory() &&
                    ExtractEntry(archive.Source(), e, {}, sink) != ZipStatus::Ok)
                    return FALSE;
            }
        }
        if ((mode & CHECKARCHIVE_SFX) && archive.Directory().prefixSize == 0) return FALSE;
        return TRUE;
    });
}

KT_EXPORT int UnZipGetFileCount(LPCSTR arcFile) {
    return kt::arc::LibraryShell::Query<int>(arcFile, -1, [](const std::string& path) {
        OpenedArchive archive;
        std::string error;
        if (archive.Open(path, error) != 0) return -1;
        return static_cast<int>(archive.Directory().entries.size());
    });
}

KT_SHELL_OWNER_EXPORTS(UnZip, gShell)
// The registered owner window (null when none). ZIP32J.DLL asks for it, so a
// window registered once with the family's UnZipSetOwnerWindowEx also gets
// the progress of the commands that create archives.
KT_EXPORT HWND UnZipGetOwnerWindow(void) { return gShell.Owner().Window(); }
