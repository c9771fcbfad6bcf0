// x (extract with folders), e (extract into one folder), t (test) and the
// extraction into memory. Files are written through temporary files, so a
// member that fails its CRC or is cancelled leaves nothing behind, and only
// below the target folder, never through a link.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "platform/atomic_file.h"
#include "archivers/common/decode_error_code.h"
#include "archivers/common/extract_policy.h"
#include "archivers/common/safe_path.h"
#include "archivers/common/space_check.h"
#include "archivers/common/unique_fd.h"
#include "commands.h"
#include "lzh_archive.h"
#include "macbinary.h"

namespace kt::unlha {
namespace {

// Hands decoded bytes on (to a file, memory, or nowhere) with progress.
class ProgressSink : public kt::lzh::Sink {
public:
    ProgressSink(RunContext& ctx, const MemberHeader& h, const std::string& dest)
        : ctx_(ctx), h_(h), dest_(dest) {}
    bool Write(const uint8_t* data, std::size_t n) override {
        if (!Put(data, n)) return false;
        done_ += n;
        if (done_ >= next_) {
            next_ = done_ + kProgressStep;
            return ctx_.Progress(ARCEXTRACT_INPROCESS, h_.name, dest_, h_.originalSize, done_, &h_);
        }
        return true;
    }
    bool writeFailed = false;

protected:
    virtual bool Put(const uint8_t*, std::size_t) { return true; }

private:
    RunContext& ctx_;
    const MemberHeader& h_;
    const std::string& dest_;
    uint64_t done_ = 0, next_ = kProgressStep;
};

class FileSink : public ProgressSink {
public:
    FileSink(RunContext& ctx, const MemberHeader& h, const std::string& dest, kt::AtomicFile& f)
        : ProgressSink(ctx, h, dest), f_(f) {}

protected:
    bool Put(const uint8_t* d, std::size_t n) override {
        if (f_.Write(d, n)) return true;
        writeFailed = true;
        return false;
    }

private:
    kt::AtomicFile& f_;
};

class MemorySink : public ProgressSink {
public:
    MemorySink(RunContext& ctx, const MemberHeader& h, uint8_t* buf, uint32_t size)
        : ProgressSink(ctx, h, h.name), buf_(buf), size_(size) {}
    uint32_t written = 0;

protected:
    bool Put(const uint8_t* d, std::size_t n) override {
        std::size_t room = size_ - written;
        std::size_t k = n < room ? n : room;
        if (k) std::memcpy(buf_ + written, d, k);
        written += static_cast<uint32_t>(k);
        return true;
    }

private:
    uint8_t* buf_;
    uint32_t size_;
};

// Decodes one member into sink; 0 or an ERROR_ code (report written).
int DecodeInto(RunContext& ctx, FileReader& file, const MemberHeader& h, ProgressSink& sink) {
    auto method = kt::lzh::FindMethod(h.method);
    if (!method) {
        ctx.report.Line(std::string("unknown method ") + h.method + ": " + h.name);
        return ERROR_METHOD;
    }
    MacBinaryStripSink unwrapped(h, sink);
    kt::lzh::DecodeResult r =
        kt::lzh::DecodeMember(*method, OpenMember(file, h), unwrapped, h.originalSize, h.crc);
    if (r.status == kt::lzh::Status::Ok && !unwrapped.Finish())
        r.status = kt::lzh::Status::WriteError;
    if (ctx.Cancelled()) return ERROR_USER_CANCEL;
    if (r.status == kt::lzh::Status::WriteError && sink.writeFailed) {
        ctx.report.Line("cannot write " + h.name + ": " + std::strerror(errno));
        return ERROR_CANNOT_WRITE;
    }
    if (r.status != kt::lzh::Status::Ok) {
        int e = kt::arc::ErrorCodeOf(r.status);
        ctx.report.Line((e == ERROR_METHOD ? "method not supported: " : "broken data: ") + h.name);
        return e;
    }
    if (r.written != h.originalSize || r.crc != h.crc) {
        ctx.report.Line("CRC error: " + h.name);
        return ERROR_FILE_CRC;
    }
    return 0;
}

int OpenListing(RunContext& ctx, FileReader& file, Listing& listing, std::string* path) {
    *path = ArchivePath(ctx.cmd.archive);
    if (!file.Open(*path)) {
        ctx.report.Line("cannot open " + *path + ": " + std::strerror(errno));
        return errno == ENOENT ? ERROR_NOT_FIND_ARC_FILE : ERROR_ARC_FILE_OPEN;
    }
    if (int e = ReadListing(file, &listing)) {
        ctx.report.Line("not a sound LZH archive: " + *path);
        return e;
    }
    return 0;
}

bool MakeFolders(const std::string& dir) {
    std::string cur;
    std::size_t i = 0;
    while (i <= dir.size()) {
        std::size_t j = dir.find('/', i);
        if (j == std::string::npos) j = dir.size();
        cur = dir.substr(0, j);
        if (!cur.empty() && mkdir(cur.c_str(), 0777) != 0 && errno != EEXIST) return false;
        i = j + 1;
    }
    struct stat st;
    return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Extracts one member below rootFd.
// The overwrite rule of the command: -m2 keeps every existing file (the
// caller decided beforehand which may go), -c1 replaces any, otherwise a
// file is replaced only by a member at least as new.
kt::arc::Replace RuleOf(const RunContext& ctx) {
    if (ctx.cmd.Int("m", 0) >= 2) return kt::arc::Replace::Never;
    if (ctx.cmd.Int("c", 0) > 0) return kt::arc::Replace::Always;
    return kt::arc::Replace::IfNewer;
}

// What stands at the member's name: 0 to write it, -1 to pass it over
// quietly (kept, reported), else the error code (reported).
int MayWrite(RunContext& ctx, const MemberHeader& h, int dfd, const std::string& leaf,
             const std::string& shown) {
    switch (kt::arc::LookBeforeWriting(dfd, leaf, RuleOf(ctx), h.mtime + 1)) {
        case kt::arc::InTheWay::Nothing:
        case kt::arc::InTheWay::Replace:
            return 0;
        case kt::arc::InTheWay::Folder:
            ctx.report.Line("a folder is in the way: " + shown);
            return ERROR_CANNOT_WRITE;
        case kt::arc::InTheWay::Keep:
            ctx.report.Line("existing file kept: " + shown);
            return -1;
        case kt::arc::InTheWay::KeepNewer:
            ctx.report.Line("newer file kept: " + shown);
            return ERROR_MORE_FRESH;
    }
    return ERROR_CANNOT_WRITE;
}

// A stored symbolic link, made as a link when its target stays inside.
int MakeLink(RunContext& ctx, const MemberHeader& h, const std::string& rel, int rootFd, bool paths,
             kt::arc::LinkMaker& links) {
    auto [dir, leaf] = kt::arc::SplitLast(rel);
    if (!paths) dir.clear();
    const std::string shown = paths ? rel : leaf;
    int dfd = kt::arc::OpenFolderBelow(rootFd, dir, true);
    if (dfd < 0) {
        ctx.report.Line("cannot make folder " + dir + ": " + std::strerror(errno));
        return ERROR_MAKEDIRECTORY;
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{dfd};
    int e = MayWrite(ctx, h, dfd, leaf, shown);
    if (e) return e < 0 ? 0 : e;
    std::string why = links.Make(dfd, dir, leaf, h.linkTarget);
    if (!why.empty()) {
        ctx.report.Line("link not made: " + shown + " -> " + h.linkTarget + ": " + why);
        return ERROR_INVALID_PATH;
    }
    ctx.report.Line("link " + shown + " -> " + h.linkTarget);
    return 0;
}

int ExtractOne(RunContext& ctx, FileReader& file, const MemberHeader& h, int rootFd, bool paths,
               kt::arc::LinkMaker& links) {
    auto rel = kt::arc::SafeRelativePath(h.name);
    if (!rel) {
        ctx.report.Line("unsafe name refused: " + h.name);
        return ERROR_INVALID_PATH;
    }
    if (!h.linkTarget.empty()) return MakeLink(ctx, h, *rel, rootFd, paths, links);
    if (h.IsDirectory()) {
        if (!paths) return 0;
        int fd = kt::arc::OpenFolderBelow(rootFd, *rel, true);
        if (fd < 0) {
            ctx.report.Line("cannot make folder " + *rel + ": " + std::strerror(errno));
            return ERROR_MAKEDIRECTORY;
        }
        ::close(fd);
        return 0;
    }
    auto [dir, leaf] = kt::arc::SplitLast(*rel);
    if (!paths) dir.clear();
    int dfd = kt::arc::OpenFolderBelow(rootFd, dir, true);
    if (dfd < 0) {
        ctx.report.Line("cannot make folder " + dir + ": " + std::strerror(errno));
        return ERROR_MAKEDIRECTORY;
    }
    kt::arc::UniqueFd closer(dfd);
    std::string shown = paths ? *rel : leaf;
    if (int e = MayWrite(ctx, h, dfd, leaf, shown)) return e < 0 ? 0 : e;
    if (!ctx.Progress(ARCEXTRACT_BEGIN, h.name, shown, h.originalSize, 0, &h))
        return ERROR_USER_CANCEL;
    kt::AtomicFile out;
    out.SetSync(false);  // as the usual archivers: atomic, without waiting for the disk
    if (!out.CreateAt(dfd, leaf)) {
        ctx.report.Line("cannot create " + shown + ": " + std::strerror(errno));
        return ERROR_FILE_OPEN;
    }
    FileSink sink(ctx, h, shown, out);
    if (int e = DecodeInto(ctx, file, h, sink)) return e;
    // The decoder has checked the length and CRC of the decoded bytes; a
    // MacBinary wrapper taken off makes the file shorter than declared.
    kt::arc::FileFinish finish;
    finish.mode = h.hasMode ? h.mode : 0666;
    finish.mtime = h.mtime;
    finish.mtimeNs = static_cast<long>(h.mtimeNs);
    std::string failed = kt::arc::FinishMemberFile(out, finish);
    if (!failed.empty()) {
        ctx.report.Line("cannot write " + shown + ": " + failed);
        return ERROR_CANNOT_WRITE;
    }
    ctx.report.Line("extracted " + shown);
    return 0;
}

}  // namespace

int RunExtract(RunContext& ctx) {
    FileReader file;
    Listing listing;
    std::string path;
    if (int e = OpenListing(ctx, file, listing, &path)) return e;
    const char c = ctx.cmd.command;
    const bool paths = c == 'x' || ctx.cmd.Int("x", 0) > 0;
    int rootFd = -1;
    if (c != 't') {
        std::string root = ctx.cmd.baseDir.empty() ? "." : ctx.cmd.baseDir;
        if (!MakeFolders(root)) {
            ctx.report.Line("cannot make folder " + root);
            return ERROR_MAKEDIRECTORY;
        }
        rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (rootFd < 0) return ERROR_MAKEDIRECTORY;
    }
    struct Closer {
        int fd;
        ~Closer() {
            if (fd >= 0) ::close(fd);
        }
    } closer{rootFd};
    if (c != 't' && ctx.cmd.Int("jyk", 0) <= 0) {
        uint64_t declared = 0;
        for (const MemberHeader& h : listing.members) {
            if (Selected(ctx.cmd, h) && !h.IsDirectory())
                declared = kt::arc::AddDeclared(declared, h.originalSize);
        }
        std::string shortfall = kt::arc::SpaceShortfall(
            rootFd, declared, ctx.cmd.baseDir.empty() ? "." : ctx.cmd.baseDir, "-jyk");
        if (!shortfall.empty()) {
            ctx.report.Line(shortfall);
            return ERROR_DISK_SPACE;
        }
    }
    if (!ctx.Progress(ARCEXTRACT_OPEN, path, path, 0, 0, nullptr)) return ERROR_USER_CANCEL;
    kt::arc::LinkMaker links(rootFd);
    std::size_t count = 0, bad = 0;
    for (const MemberHeader& h : listing.members) {
        if (!Selected(ctx.cmd, h)) continue;
        ++count;
        int e;
        if (c == 't') {
            if (!ctx.Progress(ARCEXTRACT_BEGIN, h.name, h.name, h.originalSize, 0, &h))
                return ERROR_USER_CANCEL;
            std::string none;
            ProgressSink sink(ctx, h, none);
            e = DecodeInto(ctx, file, h, sink);
            // Sound data under a name that would land outside the target
            // is not a sound member: extraction would refuse it.
            if (e == 0 && !kt::arc::SafeRelativePath(h.name)) {
                ctx.report.Line("unsafe name: " + h.name);
                e = ERROR_INVALID_PATH;
            }
            if (e == 0 && !h.linkTarget.empty() &&
                !kt::arc::LinkTextStaysInside(kt::arc::SplitLast(h.name).first, h.linkTarget)) {
                ctx.report.Line("link leading outside the target folder: " + h.name);
                e = ERROR_INVALID_PATH;
            }
            if (e == 0) ctx.report.Line("OK " + h.name);
        } else {
            e = ExtractOne(ctx, file, h, rootFd, paths, links);
        }
        if (e == ERROR_USER_CANCEL || ctx.Cancelled()) {
            ctx.report.Line("cancelled");
            return ERROR_USER_CANCEL;
        }
        if (e) {
            ++bad;
            ctx.Fail(e);
        }
    }
    if (c != 't') {
        // A link a later member turned outward is taken away.
        for (const std::string& line : links.Recheck()) {
            ctx.report.Line(line);
            ctx.Fail(ERROR_INVALID_PATH);
        }
    }
    if (!listing.endMark) {
        ctx.report.Line("the archive is cut short: it ends before its end mark");
        ctx.Fail(ERROR_UNEXPECTED_EOF);
    }
    ctx.Progress(ARCEXTRACT_END, path, path, 0, 0, nullptr);
    if (count == 0 && !ctx.cmd.names.empty()) {
        ctx.report.Line("no member matches");
        ctx.Fail(ERROR_NOT_FIND_FILE);
    }
    ctx.report.Line(std::to_string(count - bad) + " of " + std::to_string(count) +
                    (c == 't' ? " member(s) tested OK" : " member(s) extracted"));
    return ctx.Result();
}

int RunExtractToMemory(RunContext& ctx, uint8_t* buffer, uint32_t size, time_t* time,
                       uint16_t* attr, uint32_t* written) {
    if (written) *written = 0;
    FileReader file;
    Listing listing;
    std::string path;
    if (int e = OpenListing(ctx, file, listing, &path)) return e;
    for (const MemberHeader& h : listing.members) {
        if (h.IsDirectory() || !h.linkTarget.empty() || !Selected(ctx.cmd, h)) continue;
        if (!ctx.Progress(ARCEXTRACT_BEGIN, h.name, h.name, h.originalSize, 0, &h))
            return ERROR_USER_CANCEL;
        MemorySink sink(ctx, h, buffer, buffer ? size : 0);
        int e = DecodeInto(ctx, file, h, sink);
        if (written) *written = sink.written;
        if (time) *time = static_cast<time_t>(h.mtime);
        if (attr) *attr = h.dosAttr;
        if (e) return e;
        ctx.Progress(ARCEXTRACT_END, path, path, 0, 0, nullptr);
        if (h.originalSize > size) {
            ctx.report.Line("buffer too small for " + h.name + ": " +
                            std::to_string(h.originalSize) + " bytes");
            return ERROR_TOO_BIG;
        }
        return 0;
    }
    ctx.report.Line("no member matches");
    return ERROR_NOT_FIND_FILE;
}

}  // namespace kt::unlha
