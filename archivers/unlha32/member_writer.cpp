#include "member_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "archivers/codecs/lzh/crc16.h"
#include "archivers/common/source_change.h"
#include "archivers/common/unique_fd.h"
#include "platform/core_budget.h"

namespace kt::unlha {
namespace {

class FileSource : public kt::lzh::Source {
public:
    FileSource(int fd, RunContext& ctx, const SourceFile& f, const MemberHeader& h)
        : fd_(fd), ctx_(ctx), f_(f), h_(h) {}
    std::ptrdiff_t Read(uint8_t* buf, std::size_t n) override {
        ssize_t r;
        do {
            r = ::read(fd_, buf, n);
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            failed_ = true;
            return -1;
        }
        done_ += static_cast<uint64_t>(r);
        if (done_ >= next_) {
            next_ = done_ + kProgressStep;
            if (!ctx_.Progress(ARCEXTRACT_INPROCESS, f_.stored, f_.path,
                               static_cast<uint64_t>(f_.st.st_size), done_, &h_)) {
                return -1;
            }
        }
        return r;
    }
    bool Failed() const { return failed_; }

private:
    int fd_;
    RunContext& ctx_;
    const SourceFile& f_;
    const MemberHeader& h_;
    uint64_t done_ = 0, next_ = kProgressStep;
    bool failed_ = false;
};

class ArchiveSink : public kt::lzh::Sink {
public:
    explicit ArchiveSink(kt::AtomicFile& out) : out_(out) {}
    bool Write(const uint8_t* data, std::size_t n) override { return out_.Write(data, n); }

private:
    kt::AtomicFile& out_;
};

// Copies the file as stored data; sets size and CRC.
bool Store(FileSource& src, kt::AtomicFile& out, MemberHeader* h) {
    std::vector<uint8_t> buf(1 << 16);
    h->crc = 0;
    h->originalSize = 0;
    while (true) {
        std::ptrdiff_t n = src.Read(buf.data(), buf.size());
        if (n < 0) return false;
        if (n == 0) break;
        h->crc = kt::lzh::Crc16Update(h->crc, buf.data(), static_cast<std::size_t>(n));
        h->originalSize += static_cast<uint64_t>(n);
        if (!out.Write(buf.data(), static_cast<std::size_t>(n))) return false;
    }
    h->packedSize = h->originalSize;
    return true;
}

}  // namespace

int PackSettingsFor(const LhaCommand& cmd, PackSettings* s, std::string* message) {
    int o = cmd.Int("o", 0);
    if (o == 5 || o == 1) {
        std::memcpy(s->method, "-lh5-", 6);
    } else if (o == 6) {
        std::memcpy(s->method, "-lh6-", 6);
    } else if (o == 7 || o == 0) {
        std::memcpy(s->method, "-lh7-", 6);
    } else {
        *message = "-o" + std::to_string(o) + ": no such method (use -o5, -o6 or -o7)";
        return ERROR_COMMAND_NAME;
    }
    s->storeOnly = cmd.Int("z", 0) > 0;
    s->level = cmd.Int("h", 2);
    if (s->level < 0 || s->level > 2) {
        *message = "-h" + std::to_string(s->level) + ": headers of level 0, 1 or 2 are written";
        return ERROR_COMMAND_NAME;
    }
    int jm = cmd.Int("jm", 0);
    s->effort = jm == 1   ? kt::lzh::Effort::Best
                : jm == 2 ? kt::lzh::Effort::Fast
                          : kt::lzh::Effort::Normal;
    return 0;
}

int WriteMember(RunContext& ctx, const PackSettings& s, const SourceFile& f, kt::AtomicFile& out,
                MemberHeader* written) {
    MemberHeader h;
    h.level = s.level;
    h.name = f.stored;
    h.mtime = static_cast<int64_t>(f.st.st_mtime);
    h.hasMode = true;
    h.mode = static_cast<uint32_t>(f.st.st_mode & 0xFFFF);
    h.osId = 'U';
    if (f.IsDirectory()) {
        std::memcpy(h.method, "-lhd-", 6);
        std::vector<uint8_t> bytes;
        int e = BuildHeader(h, &bytes);
        if (e) return e;
        h.headerOffset = out.Size();
        h.dataOffset = h.headerOffset + bytes.size();
        *written = h;
        return out.Write(bytes.data(), bytes.size()) ? 0 : ERROR_CANNOT_WRITE;
    }
    int fd = ::open(f.path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        ctx.report.Line("cannot open " + f.path + ": " + std::strerror(errno));
        return ERROR_FILE_OPEN;
    }
    kt::arc::UniqueFd closer(fd);
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ERROR_FILE_OPEN;
    uint64_t size = static_cast<uint64_t>(st.st_size);
    bool pack = !s.storeOnly && size > 0;
    std::memcpy(h.method, pack ? s.method : "-lh0-", 6);
    h.originalSize = size;
    h.packedSize = size;  // a placeholder of the right width (0x42 or not)
    std::vector<uint8_t> bytes;
    int e = BuildHeader(h, &bytes);
    if (e) {
        ctx.report.Line((e == ERROR_TOO_BIG ? "too large for header level "
                                            : "name too long for header level ") +
                        std::to_string(h.level) + ": " + f.stored);
        return e;
    }
    const std::size_t headerSize = bytes.size();
    const uint64_t headerAt = out.Size();
    if (!out.Write(bytes.data(), bytes.size())) return ERROR_CANNOT_WRITE;
    const uint64_t dataAt = out.Size();
    FileSource src(fd, ctx, f, h);
    if (!ctx.Progress(ARCEXTRACT_BEGIN, f.stored, f.path, size, 0, &h)) return ERROR_USER_CANCEL;
    bool stored = !pack;
    if (pack) {
        kt::lzh::EncodeOptions opt;
        kt::lzh::OptionsForMethod(s.method, &opt);
        opt.effort = s.effort;
        opt.giveUpAfter = size;
        opt.sizeHint = size;
        // Helper threads only on cores nobody else holds (see core_budget.h).
        kt::ExtraCores extra(kt::CoreCount() - 1);
        opt.threads = kt::CoreCount();
        opt.addThread = [&extra] { return extra.TryAdd(); };
        ArchiveSink sink(out);
        kt::lzh::EncodeResult r = kt::lzh::Encode(opt, src, sink);
        if (r.status == kt::lzh::Status::Ok) {
            h.packedSize = r.outSize;
            h.originalSize = r.inSize;
            h.crc = r.crc;
        } else if (r.status == kt::lzh::Status::NotSmaller) {
            if (!out.Truncate(dataAt) || lseek(fd, 0, SEEK_SET) != 0) return ERROR_CANNOT_WRITE;
            stored = true;
        } else if (ctx.Cancelled()) {
            return ERROR_USER_CANCEL;
        } else if (r.status == kt::lzh::Status::ReadError) {
            ctx.report.Line(src.Failed() ? "cannot read " + f.path
                                         : "file changed while being packed (it grew): " + f.path);
            return ERROR_CANNOT_READ;
        } else {
            return ERROR_CANNOT_WRITE;
        }
    }
    if (stored) {
        std::memcpy(h.method, "-lh0-", 6);
        if (!Store(src, out, &h)) {
            if (ctx.Cancelled()) return ERROR_USER_CANCEL;
            ctx.report.Line(src.Failed() ? "cannot read " + f.path : "cannot write the archive");
            return src.Failed() ? ERROR_CANNOT_READ : ERROR_CANNOT_WRITE;
        }
    }
    // The file changed while it was read: what was packed is neither the
    // old file nor the new one, and must not pass for either.
    if (h.originalSize != size || kt::arc::ChangedSinceOpened(fd, st)) {
        ctx.report.Line("file changed while being packed: " + f.path + " (" + std::to_string(size) +
                        " bytes when opened, " + std::to_string(h.originalSize) + " read)");
        return ERROR_CANNOT_READ;
    }
    e = BuildHeader(h, &bytes);
    if (e || bytes.size() != headerSize) {
        ctx.report.Line("file changed size while being packed: " + f.path);
        return e ? e : ERROR_CANNOT_READ;
    }
    if (!out.WriteAt(headerAt, bytes.data(), bytes.size())) return ERROR_CANNOT_WRITE;
    h.headerOffset = headerAt;
    h.dataOffset = dataAt;
    *written = h;
    if (!ctx.Progress(ARCEXTRACT_INPROCESS, f.stored, f.path, size, h.originalSize, &h))
        return ERROR_USER_CANCEL;
    return 0;
}

}  // namespace kt::unlha
