#include "unzip_run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

#include "platform/atomic_file.h"
#include "archivers/common/file_time.h"
#include "archivers/common/extract_policy.h"
#include "archivers/common/safe_path.h"
#include "archivers/common/space_check.h"
#include "archivers/common/unique_fd.h"
#include "decode_ahead.h"
#include "opened_archive.h"
#include "platform/cp932.h"
#include "archivers/zip_container/zip_error_code.h"
#include "archivers/zip_container/zip_extract.h"
#include "archivers/codecs/zip/zip_methods.h"

namespace kt::unzip32 {

using namespace kt::zip;

namespace {

constexpr uint64_t kProgressStep = 1 << 20;

// Hands decoded bytes to a sink function and reports progress to the owner
// window every megabyte; remembers whether the stop came from a cancel.
class ProgressSink : public ZipSink {
public:
    ProgressSink(kt::arc::OwnerWindow& owner, EXTRACTINGINFOEX& info, kt::AtomicFile* file)
        : owner_(owner), info_(info), file_(file) {}
    bool Write(const uint8_t* data, size_t n) override {
        if (file_ && !file_->Write(data, n)) {
            writeFailed = true;
            return false;
        }
        done_ += n;
        if (owner_.Active() && done_ - reported_ >= kProgressStep) {
            reported_ = done_;
            info_.exinfo.dwWriteSize = static_cast<DWORD>(std::min<uint64_t>(done_, kMax32));
            if (owner_.Send(ARCEXTRACT_INPROCESS, &info_)) {
                cancelled = true;
                return false;
            }
        }
        return true;
    }
    bool cancelled = false;
    bool writeFailed = false;

private:
    kt::arc::OwnerWindow& owner_;
    EXTRACTINGINFOEX& info_;
    kt::AtomicFile* file_;
    uint64_t done_ = 0, reported_ = 0;
};

// The helper thread's sink: no owner window (only the command's thread may
// send to it), a shared count of the bytes written, and a stop flag.
class AheadSink : public ZipSink {
public:
    AheadSink(kt::AtomicFile* file, const std::atomic<bool>& stop, std::atomic<uint64_t>& written)
        : file_(file), stop_(stop), written_(written) {}
    bool Write(const uint8_t* data, size_t n) override {
        if (stop_.load(std::memory_order_relaxed)) {
            stopped = true;
            return false;
        }
        if (file_ && !file_->Write(data, n)) {
            writeError = errno;
            return false;
        }
        written_.fetch_add(n, std::memory_order_relaxed);
        return true;
    }
    bool stopped = false;
    int writeError = 0;

private:
    kt::AtomicFile* file_;
    const std::atomic<bool>& stop_;
    std::atomic<uint64_t>& written_;
};

// Collects a symbolic link's target text, the data of its entry.
class TextSink : public ZipSink {
public:
    bool Write(const uint8_t* data, size_t n) override {
        if (text.size() + n > kMaxLinkText) return false;
        text.append(reinterpret_cast<const char*>(data), n);
        return true;
    }
    static constexpr size_t kMaxLinkText = 4096;  // PATH_MAX: no longer target is usable
    std::string text;
};

bool IsLink(const ZipEntry& e) { return (e.UnixMode() & 0170000) == 0120000; }

std::string KeyOf(const UnzipCommand& cmd) {
    return cmd.hasPassword ? kt::Utf8ToCp932(cmd.password) : std::string();
}

// Data that fails to decode behind a password that passed ZipCrypto's
// one-byte check is far more often a wrong password than damage. (AES has
// its own strong check: a failure after it is damage.)
int DataErrorCode(const ZipEntry& e, ZipStatus st) {
    if (e.IsEncrypted() && e.method != kMethodAes &&
        (st == ZipStatus::Broken || st == ZipStatus::CrcMismatch))
        return ERROR_PASSWORD_FILE;
    return ErrorCodeOf(st);
}

int64_t EntryTime(const ZipEntry& e) {
    if (e.mtime) return *e.mtime;
    return kt::arc::DosDateTimeToUnix((static_cast<uint32_t>(e.dosDate) << 16) | e.dosTime);
}

// The stored permission bits (through the umask when applied), else the
// DOS read-only mark.
mode_t EntryMode(const ZipEntry& e) {
    uint32_t mode = e.UnixMode() & 0777;
    if (mode) return mode;
    return (e.externalAttr & 0x01) ? 0444 : 0666;
}

int OpenRoot(const std::string& base, std::string& error) {
    std::string root = base.empty() ? "." : base;
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) return fd;
    // Create the base folder like mkdir -p: it is the caller's choice.
    for (size_t i = 1; i <= root.size(); ++i) {
        if (i == root.size() || root[i] == '/') {
            std::string part = root.substr(0, i);
            if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) break;
        }
    }
    fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) error = "cannot open or create the folder " + root + ": " + std::strerror(errno);
    return fd;
}

class Extractor {
public:
    Extractor(const UnzipCommand& cmd, kt::arc::OwnerWindow& owner, kt::arc::Report& report)
        : cmd_(cmd), owner_(owner), report_(report), key_(KeyOf(cmd)) {}

    int Run() {
        std::string error;
        int rc = archive_.Open(cmd_.archive, error);
        if (rc) return Fail(rc, error);
        const bool test = cmd_.action == UnzipAction::Test;
        if (!test) {
            rootFd_ = OpenRoot(cmd_.baseFolder, error);
            if (rootFd_ < 0) return Fail(ERROR_MAKEDIRECTORY, error);
            if (!cmd_.noSpaceCheck) {
                uint64_t declared = 0;
                for (const ZipEntry& e : archive_.Directory().entries) {
                    if (!e.IsDirectory() && MatchesAny(cmd_.names, e.name))
                        declared = kt::arc::AddDeclared(declared, e.uncompressedSize);
                }
                std::string shortfall = kt::arc::SpaceShortfall(
                    rootFd_, declared, cmd_.baseFolder.empty() ? "." : cmd_.baseFolder,
                    "--no-space-check");
                if (!shortfall.empty()) return Fail(ERROR_DISK_SPACE, shortfall);
            }
        }
        EXTRACTINGINFOEX info{};
        kt::arc::CopyFixed(info.exinfo.szSourceFileName, cmd_.archive);
        if (owner_.Send(ARCEXTRACT_OPEN, &info)) return Cancel();
        for (const ZipEntry& e : archive_.Directory().entries)
            if (MatchesAny(cmd_.names, e.name)) members_.push_back(&e);
        std::vector<uint64_t> packed;
        for (const ZipEntry* e : members_)
            packed.push_back(e->IsDirectory() ? 0 : e->compressedSize);
        ahead_.emplace(std::move(packed),
                       [this](size_t i, AheadResult& out, const std::atomic<bool>& stop,
                              std::atomic<uint64_t>& written) {
                           DecodeAheadOne(*members_[i], out, stop, written);
                       });
        for (size_t i = 0; i < members_.size(); ++i) {
            const bool byHelper = ahead_->Claimed(i);
            int r =
                test ? TestOne(*members_[i], byHelper, i) : ExtractOne(*members_[i], byHelper, i);
            if (r == ERROR_USER_CANCEL) return Cancel();
            if (r && !result_) result_ = r;
        }
        ahead_->Stop();
        if (links_) {
            // A link a later member turned outward is taken away.
            for (const std::string& line : links_->Recheck()) {
                report_.Line(line);
                if (!result_) result_ = ERROR_INVALID_PATH;
            }
        }
        owner_.Send(ARCEXTRACT_END, &info);
        const size_t matched = members_.size();
        if (matched == 0 && !cmd_.names.empty())
            return Fail(ERROR_NOT_FIND_FILE, "no member matches");
        if (test && !cmd_.quiet)
            report_.Line(result_
                             ? "errors were found in " + cmd_.archive
                             : "No errors detected in compressed data of " + cmd_.archive + ".");
        return result_;
    }

    ~Extractor() {
        if (ahead_) ahead_->Stop();  // the helper works below rootFd_
        if (rootFd_ >= 0) ::close(rootFd_);
    }

private:
    int Fail(int code, const std::string& text) {
        report_.Line(text);
        return code;
    }

    int Cancel() {
        if (ahead_) ahead_->Stop();
        // Files this command created are taken away again.
        for (auto it = created_.rbegin(); it != created_.rend(); ++it)
            unlinkat(rootFd_, it->c_str(), 0);
        report_.Line("cancelled");
        return ERROR_USER_CANCEL;
    }

    // Decodes a member on the helper thread, as far as nothing but decoding is
    // needed: a member whose path is unsafe, whose folder cannot be made or
    // whose file is in the way is passed over (not done) and left to
    // ExtractOne, which reports it in its turn.
    void DecodeAheadOne(const ZipEntry& e, AheadResult& out, const std::atomic<bool>& stop,
                        std::atomic<uint64_t>& written) {
        // Links are small and made by the command's own thread.
        if (e.IsDirectory() || IsLink(e)) return;
        if (cmd_.action == UnzipAction::Test) {
            AheadSink sink(nullptr, stop, written);
            out.status = ExtractEntry(archive_.Source(), e, key_, sink);
            out.done = !sink.stopped;
            return;
        }
        std::optional<std::string> rel = TargetOf(e);
        if (!rel || rel->empty()) return;
        auto [folder, leaf] = kt::arc::SplitLast(*rel);
        out.dirFd = kt::arc::OpenFolderBelow(rootFd_, folder, true);
        if (out.dirFd < 0) return;
        struct stat st;
        if (fstatat(out.dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            (S_ISDIR(st.st_mode) || !cmd_.overwrite))
            return;
        out.file = std::make_unique<kt::AtomicFile>();
        if (!out.file->CreateAt(out.dirFd, leaf)) {
            out.file.reset();
            return;
        }
        out.file->SetSync(false);
        AheadSink sink(out.file.get(), stop, written);
        out.status = ExtractEntry(archive_.Source(), e, key_, sink);
        if (sink.stopped) return;
        out.writeError = sink.writeError;
        if (!sink.writeError && out.status == ZipStatus::Ok)
            out.writeError = FinishFile(e, *out.file);
        out.done = true;
    }

    // Waits for a member of the helper, sending the owner window the same
    // progress the member would send if decoded here. False when the owner
    // asked to stop meanwhile.
    bool CollectAhead(size_t index, EXTRACTINGINFOEX& info, AheadResult& out) {
        auto report = [&](uint64_t written) {
            if (!owner_.Active() || written < kProgressStep) return false;
            info.exinfo.dwWriteSize = static_cast<DWORD>(std::min<uint64_t>(written, kMax32));
            return owner_.Send(ARCEXTRACT_INPROCESS, &info);
        };
        bool cancelled = false;
        out = ahead_->Take(index, [&](uint64_t written) { return cancelled = report(written); });
        // The member's last step, as decoding it here would have sent.
        if (!cancelled && out.done && out.file) cancelled = report(out.file->Size());
        return !cancelled;
    }

    std::optional<std::string> TargetOf(const ZipEntry& e) const {
        std::optional<std::string> rel = kt::arc::SafeRelativePath(e.name);
        if (cmd_.junkPaths) {
            if (e.IsDirectory()) return std::string();
            if (rel) rel = kt::arc::SplitLast(*rel).second;
        }
        return rel;
    }

    // The member's mode and time; 0, or the errno of the failed last write
    // (the member then fails: its file would be cut short).
    int FinishFile(const ZipEntry& e, kt::AtomicFile& file) {
        file.SetMode(kt::arc::ModeThroughUmask(EntryMode(e)));
        if (!file.Flush()) return errno ? errno : EIO;
        int64_t t = EntryTime(e);
        struct timespec times[2] = {{t, 0}, {t, 0}};
        futimens(file.Fd(), times);
        return 0;
    }

    int TestOne(const ZipEntry& e, bool byHelper, size_t index) {
        EXTRACTINGINFOEX info;
        FillExtractingInfo(e, "", info);
        if (owner_.Send(ARCEXTRACT_BEGIN, &info)) return ERROR_USER_CANCEL;
        if (!kt::arc::SafeRelativePath(e.name)) {
            report_.Line("    testing: " + e.name + "  the path leads outside the target folder");
            return ERROR_INVALID_PATH;
        }
        if (e.IsDirectory()) return 0;
        if (IsLink(e)) {
            TextSink sink;
            ZipStatus st = ExtractEntry(archive_.Source(), e, key_, sink);
            if (st != ZipStatus::Ok) {
                report_.Line("    testing: " + e.name + "  " + FailureText(e, st));
                return DataErrorCode(e, st);
            }
            auto rel = kt::arc::SafeRelativePath(e.name);
            if (!kt::arc::LinkTextStaysInside(kt::arc::SplitLast(*rel).first, sink.text)) {
                report_.Line("    testing: " + e.name +
                             "  the link leads outside the target folder");
                return ERROR_INVALID_PATH;
            }
            if (!cmd_.quiet) report_.Line("    testing: " + e.name + "  OK");
            return 0;
        }
        ZipStatus st;
        AheadResult ahead;
        if (byHelper && !CollectAhead(index, info, ahead)) return ERROR_USER_CANCEL;
        if (ahead.done) {
            st = ahead.status;
        } else {
            ProgressSink sink(owner_, info, nullptr);
            st = ExtractEntry(archive_.Source(), e, key_, sink);
            if (sink.cancelled) return ERROR_USER_CANCEL;
        }
        if (st != ZipStatus::Ok) {
            report_.Line("    testing: " + e.name + "  " + FailureText(e, st));
            return DataErrorCode(e, st);
        }
        if (!cmd_.quiet) report_.Line("    testing: " + e.name + "  OK");
        return 0;
    }

    int ExtractOne(const ZipEntry& e, bool byHelper, size_t index) {
        std::optional<std::string> rel = TargetOf(e);
        if (cmd_.junkPaths && e.IsDirectory()) return 0;
        if (!rel || rel->empty()) {
            report_.Line("skipped: " + e.name + " (the path leads outside the target folder)");
            return ERROR_INVALID_PATH;
        }
        EXTRACTINGINFOEX info;
        FillExtractingInfo(e, *rel, info);
        if (owner_.Send(ARCEXTRACT_BEGIN, &info)) return ERROR_USER_CANCEL;
        if (e.IsDirectory()) {
            int fd = kt::arc::OpenFolderBelow(rootFd_, *rel, true);
            if (fd < 0) return Fail(ERROR_MAKEDIRECTORY, "cannot create the folder " + *rel);
            ::close(fd);
            return 0;
        }
        auto [folder, leaf] = kt::arc::SplitLast(*rel);
        int dirFd = kt::arc::OpenFolderBelow(rootFd_, folder, true);
        if (dirFd < 0)
            return Fail(ERROR_MAKEDIRECTORY,
                        "cannot create the folder " + folder + ": " + std::strerror(errno));
        kt::arc::UniqueFd closer(dirFd);
        if (IsLink(e)) return MakeLink(e, dirFd, folder, leaf, *rel);
        struct stat st;
        bool existed = fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (existed) {
            if (S_ISDIR(st.st_mode))
                return Fail(ERROR_ALREADY_EXIST, "a folder is in the way: " + *rel);
            if (!cmd_.overwrite && cmd_.neverOverwrite) {
                report_.Line("kept: " + *rel + " exists (-n)");
                return 0;
            }
            if (!cmd_.overwrite) {
                report_.Line("skipped: " + *rel + " exists (no -o)");
                return ERROR_ALREADY_EXIST;
            }
        }
        AheadResult ahead;
        if (byHelper && !CollectAhead(index, info, ahead)) return ERROR_USER_CANCEL;
        std::unique_ptr<kt::AtomicFile> file = std::move(ahead.file);
        ZipStatus status = ahead.status;
        int writeError = ahead.writeError;
        if (!ahead.done) {
            file = std::make_unique<kt::AtomicFile>();
            if (!file->CreateAt(dirFd, leaf))
                return Fail(ERROR_FILE_OPEN, "cannot create " + *rel + ": " + std::strerror(errno));
            file->SetSync(false);
            ProgressSink sink(owner_, info, file.get());
            status = ExtractEntry(archive_.Source(), e, key_, sink);
            if (sink.cancelled) return ERROR_USER_CANCEL;
            if (sink.writeFailed) writeError = errno ? errno : EIO;
            if (!writeError && status == ZipStatus::Ok) writeError = FinishFile(e, *file);
        }
        if (writeError)
            return Fail(ERROR_CANNOT_WRITE,
                        "cannot write " + *rel + ": " + std::strerror(writeError));
        if (status != ZipStatus::Ok) {
            report_.Line(e.name + ": " + FailureText(e, status) + "; not extracted");
            return DataErrorCode(e, status);
        }
        if (!file->Commit())
            return Fail(ERROR_CANNOT_WRITE, "cannot write " + *rel + ": " + std::strerror(errno));
        if (!existed) created_.push_back(*rel);
        if (!cmd_.quiet) report_.Line("  inflating: " + *rel);
        return 0;
    }

    // A stored symbolic link, made as a link when its target stays inside.
    int MakeLink(const ZipEntry& e, int dirFd, const std::string& folder, const std::string& leaf,
                 const std::string& rel) {
        struct stat st;
        if (fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
            if (S_ISDIR(st.st_mode))
                return Fail(ERROR_ALREADY_EXIST, "a folder is in the way: " + rel);
            if (!cmd_.overwrite && cmd_.neverOverwrite) {
                report_.Line("kept: " + rel + " exists (-n)");
                return 0;
            }
            if (!cmd_.overwrite) {
                report_.Line("skipped: " + rel + " exists (no -o)");
                return ERROR_ALREADY_EXIST;
            }
        }
        TextSink sink;
        ZipStatus status = ExtractEntry(archive_.Source(), e, key_, sink);
        if (status != ZipStatus::Ok) {
            report_.Line(e.name + ": " + FailureText(e, status) + "; not extracted");
            return DataErrorCode(e, status);
        }
        if (!links_) links_.emplace(rootFd_);
        std::string why =
            links_->Make(dirFd, cmd_.junkPaths ? std::string() : folder, leaf, sink.text);
        if (!why.empty())
            return Fail(ERROR_INVALID_PATH,
                        "link not made: " + rel + " -> " + sink.text + ": " + why);
        if (!cmd_.quiet) report_.Line("    linking: " + rel + " -> " + sink.text);
        return 0;
    }

    const UnzipCommand& cmd_;
    kt::arc::OwnerWindow& owner_;
    kt::arc::Report& report_;
    std::string key_;
    OpenedArchive archive_;
    int rootFd_ = -1;
    int result_ = 0;
    std::vector<std::string> created_;
    std::vector<const ZipEntry*> members_;  // those the command names, in archive order
    std::optional<DecodeAhead> ahead_;
    std::optional<kt::arc::LinkMaker> links_;
};

int List(const UnzipCommand& cmd, kt::arc::Report& report) {
    OpenedArchive archive;
    std::string error;
    if (int rc = archive.Open(cmd.archive, error)) {
        report.Line(error);
        return rc;
    }
    report.Line("Archive:  " + cmd.archive);
    report.Line(" Length   Method    Size  Cmpr    Date    Time   CRC-32   Name");
    report.Line("--------  ------  ------- ---- ---------- ----- --------  ----");
    uint64_t total = 0, packed = 0, count = 0;
    for (const ZipEntry& e : archive.Directory().entries) {
        if (!MatchesAny(cmd.names, e.name)) continue;
        char line[160];
        unsigned pct =
            e.uncompressedSize
                ? static_cast<unsigned>(
                      100 - std::min<uint64_t>(100, e.compressedSize * 100 / e.uncompressedSize))
                : 0;
        std::snprintf(line, sizeof line, "%8llu  %-6s %8llu %3u%% %04u-%02u-%02u %02u:%02u %08x  ",
                      static_cast<unsigned long long>(e.uncompressedSize), MethodText(e).c_str(),
                      static_cast<unsigned long long>(e.compressedSize), pct,
                      1980 + (e.dosDate >> 9), (e.dosDate >> 5) & 15u, e.dosDate & 31u,
                      e.dosTime >> 11, (e.dosTime >> 5) & 63u, e.crc);
        report.Line(std::string(line) + e.name + (e.IsEncrypted() ? " (encrypted)" : ""));
        total += e.uncompressedSize;
        packed += e.compressedSize;
        ++count;
    }
    report.Line("--------          -------                            -------");
    report.Line(std::to_string(total) + " bytes, " + std::to_string(packed) + " packed, " +
                std::to_string(count) + (count == 1 ? " file" : " files"));
    return 0;
}

}  // namespace

int RunUnzip(const UnzipCommand& cmd, kt::arc::OwnerWindow& owner, kt::arc::Report& report) {
    if (cmd.action == UnzipAction::List) return List(cmd, report);
    return Extractor(cmd, owner, report).Run();
}

}  // namespace kt::unzip32
