#include "arj_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archivers/codecs/lzh/arj_decoder.h"
#include "platform/atomic_file.h"
#include "archivers/common/decode_error_code.h"
#include "archivers/common/file_time.h"
#include "archivers/common/progress.h"
#include "archivers/common/extract_policy.h"
#include "archivers/common/safe_path.h"
#include "archivers/common/unique_fd.h"
#include "archivers/common/space_check.h"

namespace kt::unarj {
namespace {

// Counts the CRC-32 of what passes and hands it on.
class CheckedSink : public kt::lzh::Sink {
public:
    explicit CheckedSink(kt::lzh::Sink& next) : next_(next) {}
    bool Write(const uint8_t* data, std::size_t n) override {
        crc = crc32(crc, data, static_cast<uInt>(n));
        return next_.Write(data, n);
    }
    uLong crc = 0;

private:
    kt::lzh::Sink& next_;
};

// Reports a member's progress to the owner window (and writes to `next`,
// when there is one).
class ProgressSink : public kt::lzh::Sink {
public:
    ProgressSink(kt::lzh::Sink* next, kt::arc::ProgressSender& progress, const ArjMember& m,
                 const std::string& dest)
        : next_(next), progress_(progress), m_(m), dest_(dest) {}
    bool Write(const uint8_t* data, std::size_t n) override {
        done_ += n;
        if (next_ && !next_->Write(data, n)) return false;
        if (done_ < reported_ + kt::arc::kProgressStep) return true;
        reported_ = done_;
        return progress_.Send(ARCEXTRACT_INPROCESS, m_.name, dest_, m_.originalSize, done_);
    }

private:
    kt::lzh::Sink* next_;
    kt::arc::ProgressSender& progress_;
    const ArjMember& m_;
    const std::string& dest_;
    uint64_t done_ = 0, reported_ = 0;
};

class FileSink : public kt::lzh::Sink {
public:
    explicit FileSink(kt::AtomicFile& f) : f_(f) {}
    bool Write(const uint8_t* data, std::size_t n) override {
        if (f_.Write(data, n)) return true;
        failed = true;
        return false;
    }
    bool failed = false;

private:
    kt::AtomicFile& f_;
};

class Run {
public:
    Run(const ArjCommand& cmd, kt::arc::Report& report, kt::arc::OwnerWindow& owner)
        : cmd_(cmd), report_(report), progress_(owner) {}
    ~Run() {
        if (rootFd_ >= 0) ::close(rootFd_);
    }

    int Execute() {
        if (!file_.Open(cmd_.archive)) {
            report_.Line("cannot open " + cmd_.archive + ": " + std::strerror(errno));
            return errno == ENOENT ? ERROR_NOT_FIND_ARC_FILE : ERROR_ARC_FILE_OPEN;
        }
        if (int e = file_.ReadListing()) {
            report_.Line("not a sound ARJ archive: " + cmd_.archive);
            return e;
        }
        if (cmd_.command == 'l' || cmd_.command == 'v') return List();
        const bool test = cmd_.command == 't';
        if (!test && !OpenRoot()) return ERROR_MAKEDIRECTORY;
        if (!test && cmd_.spaceCheck) {
            uint64_t declared = 0;
            for (const ArjMember& m : file_.Members()) {
                if (m.type != ArjFileType::VolumeLabel && !m.IsFolder() && Selected(cmd_, m.name))
                    declared = kt::arc::AddDeclared(declared, m.originalSize);
            }
            std::string shortfall = kt::arc::SpaceShortfall(
                rootFd_, declared, cmd_.baseDir.empty() ? "." : cmd_.baseDir, "-jyk");
            if (!shortfall.empty()) {
                report_.Line(shortfall);
                return ERROR_DISK_SPACE;
            }
        }
        if (!progress_.Send(ARCEXTRACT_OPEN, cmd_.archive, cmd_.archive, 0, 0)) return Cancel();
        std::size_t count = 0, bad = 0;
        for (const ArjMember& m : file_.Members()) {
            if (m.type == ArjFileType::VolumeLabel || !Selected(cmd_, m.name)) continue;
            ++count;
            int e = test ? TestOne(m) : ExtractOne(m);
            if (e == ERROR_USER_CANCEL || progress_.Cancelled()) return Cancel();
            if (e) {
                ++bad;
                if (!result_ || (result_ < ERROR_MAKEDIRECTORY && e >= ERROR_MAKEDIRECTORY))
                    result_ = e;
            }
        }
        progress_.Send(ARCEXTRACT_END, cmd_.archive, cmd_.archive, 0, 0);
        if (count == 0 && !cmd_.names.empty()) {
            report_.Line("no member matches");
            if (!result_) result_ = ERROR_NOT_FIND_FILE;
        }
        report_.Line(std::to_string(count - bad) + " of " + std::to_string(count) +
                     (test ? " member(s) tested OK" : " member(s) extracted"));
        return result_;
    }

private:
    int Cancel() {
        report_.Line("cancelled");
        return ERROR_USER_CANCEL;
    }

    bool OpenRoot() {
        std::string root = cmd_.baseDir.empty() ? "." : cmd_.baseDir;
        for (std::size_t i = 1; i <= root.size(); ++i) {
            if (i == root.size() || root[i] == '/') ::mkdir(root.substr(0, i).c_str(), 0777);
        }
        rootFd_ = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (rootFd_ < 0) report_.Line("cannot make folder " + root + ": " + std::strerror(errno));
        return rootFd_ >= 0;
    }

    int TestOne(const ArjMember& m) {
        if (!progress_.Send(ARCEXTRACT_BEGIN, m.name, m.name, m.originalSize, 0))
            return ERROR_USER_CANCEL;
        if (m.IsFolder()) return 0;
        // Sound data under a name extraction would refuse is no sound member.
        if (!kt::arc::SafeRelativePath(m.name)) {
            report_.Line("unsafe name refused: " + m.name);
            return ERROR_INVALID_PATH;
        }
        std::string why;
        ProgressSink sink(nullptr, progress_, m, m.name);
        int e = DecodeArjMember(file_, m, sink, &why);
        report_.Line(e ? why + ": " + m.name : "OK " + m.name);
        return e;
    }

    int ExtractOne(const ArjMember& m) {
        auto rel = kt::arc::SafeRelativePath(m.name);
        if (!rel) {
            report_.Line("unsafe name refused: " + m.name);
            return ERROR_INVALID_PATH;
        }
        const bool paths = cmd_.command == 'x';
        if (m.IsFolder()) {
            if (!paths) return 0;
            int fd = kt::arc::OpenFolderBelow(rootFd_, *rel, true);
            if (fd < 0) {
                report_.Line("cannot make folder " + *rel + ": " + std::strerror(errno));
                return ERROR_MAKEDIRECTORY;
            }
            ::close(fd);
            return 0;
        }
        auto [dir, leaf] = kt::arc::SplitLast(*rel);
        if (!paths) dir.clear();
        const std::string shown = paths ? *rel : leaf;
        int dfd = kt::arc::OpenFolderBelow(rootFd_, dir, true);
        if (dfd < 0) {
            report_.Line("cannot make folder " + dir + ": " + std::strerror(errno));
            return ERROR_MAKEDIRECTORY;
        }
        kt::arc::UniqueFd closer(dfd);
        const kt::arc::Replace rule = cmd_.keepExisting   ? kt::arc::Replace::Never
                                      : cmd_.replaceNewer ? kt::arc::Replace::Always
                                                          : kt::arc::Replace::IfNewer;
        switch (kt::arc::LookBeforeWriting(dfd, leaf, rule, m.mtime + 1)) {
            case kt::arc::InTheWay::Nothing:
            case kt::arc::InTheWay::Replace:
                break;
            case kt::arc::InTheWay::Folder:
                report_.Line("a folder is in the way: " + shown);
                return ERROR_CANNOT_WRITE;
            case kt::arc::InTheWay::Keep:
                report_.Line("existing file kept: " + shown);
                return 0;
            case kt::arc::InTheWay::KeepNewer:
                report_.Line("newer file kept: " + shown);
                return ERROR_MORE_FRESH;
        }
        if (!progress_.Send(ARCEXTRACT_BEGIN, m.name, shown, m.originalSize, 0))
            return ERROR_USER_CANCEL;
        kt::AtomicFile out;
        out.SetSync(false);  // atomic, without waiting for the disk, as the other libraries
        if (!out.CreateAt(dfd, leaf)) {
            report_.Line("cannot create " + shown + ": " + std::strerror(errno));
            return ERROR_FILE_OPEN;
        }
        FileSink file(out);
        ProgressSink sink(&file, progress_, m, shown);
        std::string why;
        int e = DecodeArjMember(file_, m, sink, &why);
        if (progress_.Cancelled()) return ERROR_USER_CANCEL;
        if (file.failed) {
            report_.Line("cannot write " + shown + ": " + std::strerror(errno));
            return ERROR_CANNOT_WRITE;
        }
        if (e) {
            report_.Line(why + ": " + m.name);
            return e;
        }
        kt::arc::FileFinish finish;
        finish.declared = m.originalSize;
        finish.mode = m.mode ? m.mode : ((m.dosAttr & 0x01) ? 0444 : 0666);
        finish.mtime = m.mtime;
        std::string failed = kt::arc::FinishMemberFile(out, finish);
        if (!failed.empty()) {
            report_.Line("cannot write " + shown + ": " + failed);
            return ERROR_CANNOT_WRITE;
        }
        report_.Line("extracted " + shown);
        return 0;
    }

    int List() {
        report_.Line("    size   packed ratio date       time     method name");
        for (const ArjMember& m : file_.Members()) {
            if (!Selected(cmd_, m.name)) continue;
            char line[96];
            uint32_t dos = kt::arc::UnixToDosDateTime(m.mtime);
            unsigned ratio =
                m.originalSize ? static_cast<unsigned>(m.packedSize * 1000 / m.originalSize) : 0;
            std::snprintf(line, sizeof line,
                          "%8llu %8llu %2u.%u%% %04u-%02u-%02u %02u:%02u:%02u %d%s ",
                          static_cast<unsigned long long>(m.originalSize),
                          static_cast<unsigned long long>(m.packedSize), ratio / 10, ratio % 10,
                          1980 + (dos >> 25), (dos >> 21) & 15, (dos >> 16) & 31, (dos >> 11) & 31,
                          (dos >> 5) & 63, (dos & 31) * 2, m.method, m.Garbled() ? " garbled" : "");
            report_.Line(line + m.name + (m.IsFolder() ? "/" : ""));
        }
        return 0;
    }

    const ArjCommand& cmd_;
    kt::arc::Report& report_;
    kt::arc::ProgressSender progress_;
    ArjFile file_;
    int rootFd_ = -1;
    int result_ = 0;
};

}  // namespace

int DecodeArjMember(const ArjFile& file, const ArjMember& m, kt::lzh::Sink& sink,
                    std::string* why) {
    if (m.Garbled()) {
        *why = "encrypted (garbled) member, no password support";
        return ERROR_PASSWORD_FILE;
    }
    if (m.Split()) {
        *why = "member continues in another volume";
        return ERROR_NOT_SUPPORT;
    }
    if (m.method < 0 || m.method > 4) {
        *why = "unknown method " + std::to_string(m.method);
        return ERROR_METHOD;
    }
    CheckedSink check(sink);
    ArjMemberSource src(file, m);
    kt::lzh::DecodeResult r = kt::lzh::DecodeArj(m.method, src, check, m.originalSize);
    if (int e = kt::arc::ErrorCodeOf(r.status); e != 0) {
        *why = e == ERROR_CANNOT_WRITE     ? "stopped"
               : e == ERROR_CANNOT_READ    ? "read error"
               : e == ERROR_UNEXPECTED_EOF ? "data cut short"
               : e == ERROR_METHOD         ? "method not supported"
                                           : "broken data";
        return e;
    }
    if (r.written != m.originalSize || check.crc != m.crc) {
        *why = "CRC error";
        return ERROR_FILE_CRC;
    }
    return 0;
}

int RunArjCommand(const ArjCommand& cmd, kt::arc::Report& report, kt::arc::OwnerWindow& owner) {
    return Run(cmd, report, owner).Execute();
}

}  // namespace kt::unarj
