#include "extract.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <vector>

#include "platform/atomic_file.h"
#include "archivers/common/unique_fd.h"
#include "archivers/common/safe_path.h"
#include "archivers/common/extract_policy.h"
#include "platform/archiver_api.h"

namespace kt::unpack {
namespace {

constexpr std::size_t kBlock = 64 * 1024;

// Keeps the first error; a later error replaces a warning
// (0x8005..0x8011), and a cancel always wins.
class Outcome {
public:
    void Fail(int code) {
        bool warning = code_ >= ERROR_DISK_SPACE && code_ <= ERROR_TOO_MANY_FILES;
        bool error = !(code >= ERROR_DISK_SPACE && code <= ERROR_TOO_MANY_FILES);
        if (code_ == 0 || (warning && error) || code == ERROR_USER_CANCEL) code_ = code;
    }
    int Code() const { return code_; }

private:
    int code_ = 0;
};

using Fd = kt::arc::UniqueFd;

std::string LeafOf(const std::string& name) {
    std::size_t slash = name.find_last_of("/\\");
    return slash == std::string::npos ? name : name.substr(slash + 1);
}

kt::arc::Replace RuleOf(Overwrite o) {
    switch (o) {
        case Overwrite::Always:
            return kt::arc::Replace::Always;
        case Overwrite::Never:
            return kt::arc::Replace::Never;
        case Overwrite::IfNewer:
            return kt::arc::Replace::IfNewer;
    }
    return kt::arc::Replace::Never;
}

class Extractor {
public:
    Extractor(MemberSource& reader, const ExtractJob& job, kt::arc::Report& report,
              kt::arc::ProgressSender& progress, int rootFd)
        : reader_(reader),
          job_(job),
          report_(report),
          progress_(progress),
          root_(rootFd),
          links_(rootFd),
          cap_(rootFd, !job.test && job.spaceCheck, job.folder.empty() ? "." : job.folder,
               job.liftSpaceSwitch) {}

    // One selected member; false stops the whole run (cancel, or no space).
    bool Take(const unpack::Member& m) {
        if (m.encrypted)
            return Skip(m, "encrypted; this library cannot decrypt it", ERROR_PASSWORD_FILE);
        std::optional<std::string> rel =
            kt::arc::SafeRelativePath(job_.keepFolders ? m.name : LeafOf(m.name));
        // "./", the folder an archive was made from, is the target itself.
        if (!rel && m.IsFolder() && m.name.find("..") == std::string::npos) return true;
        if (!rel)
            return Skip(m, "unsafe name (outside the target folder); skipped", ERROR_INVALID_PATH);
        if (m.IsFolder() && !job_.keepFolders) return true;
        if (!progress_.Send(ARCEXTRACT_BEGIN, m.name, *rel, m.size, 0)) return Cancel();
        std::string error;
        if (job_.test) return Test(m, *rel);
        switch (m.kind) {
            case Member::Kind::Folder: {
                Fd dir(kt::arc::OpenFolderBelow(root_, *rel, true));
                if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
                return true;
            }
            case Member::Kind::File:
                return WriteFile(m, *rel);
            case Member::Kind::Symlink:
                return MakeLink(m, *rel);
            case Member::Kind::Hardlink:
                return MakeHardLink(m, *rel);
            case Member::Kind::Other:
                return Skip(m, kt::arc::NotMadeText("a device, pipe or socket"), ERROR_NOT_SUPPORT);
        }
        return true;
    }

    bool Cancel() {
        outcome.Fail(ERROR_USER_CANCEL);
        report_.Line("cancelled");
        return false;
    }

    // Links that a later member turned outward are taken away.
    void Finish() {
        if (job_.test) return;
        for (const std::string& line : links_.Recheck()) {
            report_.Line(line);
            outcome.Fail(ERROR_INVALID_PATH);
        }
    }

    Outcome outcome;

private:
    bool Skip(const unpack::Member& m, const std::string& why, int code) {
        report_.Line(m.name + ": " + why);
        outcome.Fail(code);
        return true;
    }

    // Reads the member through, as extraction would, and refuses what
    // extraction would refuse.
    bool Test(const unpack::Member& m, const std::string& rel) {
        if (m.kind == Member::Kind::Symlink &&
            !kt::arc::LinkTextStaysInside(kt::arc::SplitLast(rel).first, m.link))
            return Skip(m, "link leading outside the target folder", ERROR_INVALID_PATH);
        if (m.kind == Member::Kind::Hardlink &&
            !kt::arc::SafeRelativePath(job_.keepFolders ? m.link : LeafOf(m.link)))
            return Skip(m, "link leading outside the target folder", ERROR_INVALID_PATH);
        std::vector<char> block(kBlock);
        uint64_t produced = 0;
        std::string error;
        for (;;) {
            long long n = reader_.Read(block.data(), block.size(), &error);
            if (n < 0) return Skip(m, error, reader_.DataError());
            if (n == 0) break;
            produced += static_cast<uint64_t>(n);
        }
        if (m.kind == Member::Kind::File && m.sizeKnown) {
            std::string mismatch = kt::arc::SizeMismatch(produced, m.size);
            if (!mismatch.empty()) return Skip(m, mismatch, ERROR_BROKEN_DATA);
        }
        return true;
    }

    // Whether the name may be written in the open folder dirFd; a kept
    // file is reported as kept.
    bool MayWrite(const unpack::Member& m, int dirFd, const std::string& leaf) {
        switch (kt::arc::LookBeforeWriting(dirFd, leaf, RuleOf(job_.overwrite), m.mtime)) {
            case kt::arc::InTheWay::Nothing:
            case kt::arc::InTheWay::Replace:
                return true;
            case kt::arc::InTheWay::Keep:
                report_.Line(m.name + ": exists already; kept");
                return false;
            case kt::arc::InTheWay::KeepNewer:
                Skip(m, "the file on disk is as new or newer; kept", ERROR_MORE_FRESH);
                return false;
            case kt::arc::InTheWay::Folder:
                Skip(m, "a folder is in the way", ERROR_ALREADY_EXIST);
                return false;
        }
        return false;
    }

    bool NoSpace(const unpack::Member& m, uint64_t more) {
        Skip(m, cap_.Text(more), ERROR_DISK_SPACE);
        // The rest would not fit either: stop here.
        return false;
    }

    bool WriteFile(const unpack::Member& m, const std::string& rel) {
        auto [folder, leaf] = kt::arc::SplitLast(rel);
        Fd dir(kt::arc::OpenFolderBelow(root_, folder, true));
        if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
        if (!MayWrite(m, dir.get(), leaf)) return true;
        if (m.sizeKnown && !cap_.Fits(m.size)) return NoSpace(m, m.size);
        kt::AtomicFile out;
        out.SetSync(false);  // atomic for every reader, without waiting for the disk
        if (!out.CreateAt(dir.get(), leaf))
            return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        std::vector<char> block(kBlock);
        uint64_t done = 0, next = kt::arc::kProgressStep;
        std::string error;
        for (;;) {
            long long n = reader_.Read(block.data(), block.size(), &error);
            if (n < 0) {
                TakeBackShared();
                return Skip(m, error, reader_.DataError());  // out removes its temporary file
            }
            if (n == 0) break;
            if (!cap_.Take(static_cast<uint64_t>(n))) return NoSpace(m, static_cast<uint64_t>(n));
            if (!out.Write(block.data(), static_cast<std::size_t>(n)))
                return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
            done += static_cast<uint64_t>(n);
            if (done >= next) {
                next = done + kt::arc::kProgressStep;
                if (!progress_.Send(ARCEXTRACT_INPROCESS, m.name, rel, m.size, done))
                    return Cancel();
            }
        }
        kt::arc::FileFinish finish;
        if (m.sizeKnown) finish.declared = m.size;
        finish.mode = m.mode;
        finish.mtime = m.mtime;
        std::string why = kt::arc::FinishMemberFile(out, finish);
        if (!why.empty())
            return Skip(m, why,
                        done == m.size || !m.sizeKnown ? ERROR_CANNOT_WRITE : ERROR_BROKEN_DATA);
        if (job_.sharedBlocks) written_.push_back({folder, leaf});
        return true;
    }

    // The files written before damage was found in a block they may share
    // with the damaged member are taken away: nothing proves them sound.
    void TakeBackShared() {
        if (!job_.sharedBlocks) return;
        for (const auto& [folder, leaf] : written_) {
            Fd dir(kt::arc::OpenFolderBelow(root_, folder, false));
            if (dir.get() < 0 || unlinkat(dir.get(), leaf.c_str(), 0) != 0) continue;
            report_.Line((folder.empty() ? leaf : folder + "/" + leaf) +
                         ": removed, its data may share the damaged block");
        }
        written_.clear();
    }

    bool MakeLink(const unpack::Member& m, const std::string& rel) {
        auto [folder, leaf] = kt::arc::SplitLast(rel);
        Fd dir(kt::arc::OpenFolderBelow(root_, folder, true));
        if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
        if (!MayWrite(m, dir.get(), leaf)) return true;
        std::string why = links_.Make(dir.get(), folder, leaf, m.link);
        if (!why.empty()) return Skip(m, why + "; not extracted", ERROR_INVALID_PATH);
        return true;
    }

    // A hard link only to a member path inside the target, never through a
    // link: the target's folders are walked without following links, and
    // linkat without AT_SYMLINK_FOLLOW links a link itself, not what it
    // names.
    bool MakeHardLink(const unpack::Member& m, const std::string& rel) {
        auto [folder, leaf] = kt::arc::SplitLast(rel);
        std::optional<std::string> target =
            kt::arc::SafeRelativePath(job_.keepFolders ? m.link : LeafOf(m.link));
        if (!target)
            return Skip(m, "link leading outside the target folder; skipped", ERROR_INVALID_PATH);
        Fd dir(kt::arc::OpenFolderBelow(root_, folder, true));
        if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
        if (!MayWrite(m, dir.get(), leaf)) return true;
        auto [targetFolder, targetLeaf] = kt::arc::SplitLast(*target);
        Fd from(kt::arc::OpenFolderBelow(root_, targetFolder, false));
        if (from.get() < 0)
            return Skip(m, "the link's target is not in the target folder", ERROR_INVALID_PATH);
        struct stat st;
        if (fstatat(from.get(), targetLeaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(st.st_mode))
            return Skip(m, "the link's target is no file of the target folder", ERROR_INVALID_PATH);
        // An older file of the name gives way, as it would to a file member.
        unlinkat(dir.get(), leaf.c_str(), 0);
        if (linkat(from.get(), targetLeaf.c_str(), dir.get(), leaf.c_str(), 0) != 0)
            return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        return true;
    }

    MemberSource& reader_;
    const ExtractJob& job_;
    kt::arc::Report& report_;
    kt::arc::ProgressSender& progress_;
    int root_;
    kt::arc::LinkMaker links_;
    kt::arc::SpaceCap cap_;
    std::vector<std::pair<std::string, std::string>> written_;  // folder, leaf: for TakeBackShared
};

}  // namespace

int ExtractMembers(MemberSource& reader, const ExtractJob& job, kt::arc::Report& report,
                   kt::arc::ProgressSender& progress) {
    std::string folder = job.folder.empty() ? "." : job.folder;
    if (!job.test) {
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
    }
    Fd root(job.test ? -1 : ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!job.test && root.get() < 0) {
        report.Line(folder + ": " + std::strerror(errno));
        return ERROR_MAKEDIRECTORY;
    }
    Extractor extractor(reader, job, report, progress, root.get());
    if (!progress.Send(ARCEXTRACT_OPEN, "", folder, 0, 0)) extractor.Cancel();
    Member m;
    std::string error;
    bool any = false, ended = false;
    while (!progress.Cancelled()) {
        int rc = reader.Next(&m, &error);
        if (rc == -1) {
            ended = true;
            break;
        }
        if (rc != 0) {
            report.Line("archive damaged: " + error);
            extractor.outcome.Fail(rc);
            break;
        }
        if (job.selected && !job.selected(m)) continue;
        any = true;
        if (!extractor.Take(m)) break;
    }
    // The end of the members is not the end of a gzip stream: its CRC-32
    // and length come last.
    if (ended && extractor.outcome.Code() != ERROR_BROKEN_DATA) {
        if (int rc = reader.CheckRest(&error)) {
            report.Line("archive damaged: " + error);
            extractor.outcome.Fail(rc);
        }
    }
    extractor.Finish();
    if (!any && extractor.outcome.Code() == 0 && job.selected) {
        report.Line("no member matches the names given");
        extractor.outcome.Fail(ERROR_NOT_FIND_FILE);
    }
    progress.Send(ARCEXTRACT_END, "", folder, 0, 0);
    return extractor.outcome.Code();
}

int ExtractToMemory(MemberSource& reader, const std::function<bool(const Member&)>& selected,
                    BYTE* buffer, DWORD size, DWORD* written, time_t* time, WORD* attr) {
    if (written) *written = 0;
    Member m;
    std::string error;
    for (;;) {
        int rc = reader.Next(&m, &error);
        if (rc == -1) return ERROR_NOT_FIND_FILE;
        if (rc != 0) return rc;
        if (m.kind != Member::Kind::File || (selected && !selected(m))) continue;
        if (m.encrypted) return ERROR_PASSWORD_FILE;
        if (m.size > size) return ERROR_ENOUGH_MEMORY;
        uint64_t total = 0;
        for (;;) {
            // One byte of room beyond the buffer tells a member longer than
            // its header said from one that fits.
            char probe;
            long long n = total < size ? reader.Read(buffer + total, size - total, &error)
                                       : reader.Read(&probe, 1, &error);
            if (n < 0) return reader.DataError();
            if (n == 0) break;
            if (total >= size) return ERROR_ENOUGH_MEMORY;
            total += static_cast<uint64_t>(n);
        }
        if (m.sizeKnown && total != m.size) return ERROR_BROKEN_DATA;
        if (int rc = reader.CheckRest(&error)) return rc;
        if (written) *written = static_cast<DWORD>(total);
        if (time) *time = static_cast<time_t>(m.mtime);
        if (attr) *attr = static_cast<WORD>((m.mode & 0200) ? 0x20 : 0x21);
        return 0;
    }
}

}  // namespace kt::unpack
