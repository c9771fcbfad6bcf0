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

// Whether a symbolic link made in the folder `relDir` (below the target)
// and pointing at `target` resolves inside the target folder.
bool LinkStaysInside(const std::string& relDir, const std::string& target) {
    if (target.empty() || target[0] == '/' || target[0] == '\\') return false;
    long depth = 0;
    for (std::string_view path : {std::string_view(relDir), std::string_view(target)}) {
        for (std::string_view part : kt::arc::PathParts(path, "/\\")) {
            if (part != "..")
                ++depth;
            else if (--depth < 0)
                return false;
        }
    }
    return true;
}

// Reads the rest of the current member into nothing (a test).
int Drain(MemberSource& reader, std::string* error) {
    std::vector<char> block(kBlock);
    for (;;) {
        long long n = reader.Read(block.data(), block.size(), error);
        if (n < 0) return reader.DataError();
        if (n == 0) return 0;
    }
}

class Extractor {
public:
    Extractor(MemberSource& reader, const ExtractJob& job, kt::arc::Report& report,
              kt::arc::ProgressSender& progress, int rootFd)
        : reader_(reader), job_(job), report_(report), progress_(progress), root_(rootFd) {}

    // One selected member; false stops the whole run (cancel).
    bool Take(const unpack::Member& m) {
        if (m.encrypted) return Skip(m, "encrypted; this library cannot decrypt it", ERROR_PASSWORD_FILE);
        std::optional<std::string> rel =
            kt::arc::SafeRelativePath(job_.keepFolders ? m.name : LeafOf(m.name));
        // "./", the folder an archive was made from, is the target itself.
        if (!rel && m.IsFolder() && m.name.find("..") == std::string::npos) return true;
        if (!rel) return Skip(m, "unsafe name (outside the target folder); skipped", ERROR_INVALID_PATH);
        if (m.IsFolder() && !job_.keepFolders) return true;
        if (!progress_.Send(ARCEXTRACT_BEGIN, m.name, *rel, m.size, 0)) return Cancel();
        std::string error;
        if (job_.test) {
            if (int rc = Drain(reader_, &error)) return Skip(m, error, rc);
            return true;
        }
        switch (m.kind) {
            case Member::Kind::Folder: {
                Fd dir(kt::arc::OpenFolderBelow(root_, *rel, true));
                if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
                return true;
            }
            case Member::Kind::File:
                return WriteFile(m, *rel);
            case Member::Kind::Symlink:
                return MakeLink(m, *rel, false);
            case Member::Kind::Hardlink:
                return MakeLink(m, *rel, true);
            case Member::Kind::Other:
                report_.Line(m.name + ": device or pipe, not extracted");
                return true;
        }
        return true;
    }

    bool Cancel() {
        outcome.Fail(ERROR_USER_CANCEL);
        report_.Line("cancelled");
        return false;
    }

    Outcome outcome;

private:
    bool Skip(const unpack::Member& m, const std::string& why, int code) {
        report_.Line(m.name + ": " + why);
        outcome.Fail(code);
        return true;
    }

    // Whether the name is free to be written in the open folder dirFd.
    bool MayWrite(const unpack::Member& m, int dirFd, const std::string& leaf) {
        struct stat st;
        if (job_.overwrite == Overwrite::Always ||
            fstatat(dirFd, leaf.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return true;
        if (job_.overwrite == Overwrite::IfNewer && m.mtime > st.st_mtime) return true;
        Skip(m, "exists already; kept", ERROR_ALREADY_EXIST);
        return false;
    }

    bool WriteFile(const unpack::Member& m, const std::string& rel) {
        auto [folder, leaf] = kt::arc::SplitLast(rel);
        Fd dir(kt::arc::OpenFolderBelow(root_, folder, true));
        if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
        if (!MayWrite(m, dir.get(), leaf)) return true;
        kt::AtomicFile out;
        out.SetSync(false);  // atomic for every reader, without waiting for the disk
        if (!out.CreateAt(dir.get(), leaf)) return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        out.SetMode(m.mode & 0777);
        std::vector<char> block(kBlock);
        uint64_t done = 0, next = kt::arc::kProgressStep;
        std::string error;
        for (;;) {
            long long n = reader_.Read(block.data(), block.size(), &error);
            if (n < 0) return Skip(m, error, reader_.DataError());  // out removes its temporary file
            if (n == 0) break;
            if (!out.Write(block.data(), static_cast<std::size_t>(n)))
                return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
            done += static_cast<uint64_t>(n);
            if (done >= next) {
                next = done + kt::arc::kProgressStep;
                if (!progress_.Send(ARCEXTRACT_INPROCESS, m.name, rel, m.size, done)) return Cancel();
            }
        }
        if (!out.Flush()) return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        if (m.mtime != 0) {
            struct timespec times[2] = {{0, UTIME_OMIT}, {static_cast<time_t>(m.mtime), 0}};
            futimens(out.Fd(), times);
        }
        if (!out.Commit()) return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        return true;
    }

    bool MakeLink(const unpack::Member& m, const std::string& rel, bool hard) {
        auto [folder, leaf] = kt::arc::SplitLast(rel);
        std::optional<std::string> target;
        if (hard) {
            target = kt::arc::SafeRelativePath(job_.keepFolders ? m.link : LeafOf(m.link));
        } else if (LinkStaysInside(folder, m.link)) {
            target = m.link;
        }
        if (!target) return Skip(m, "link leading outside the target folder; skipped", ERROR_INVALID_PATH);
        Fd dir(kt::arc::OpenFolderBelow(root_, folder, true));
        if (dir.get() < 0) return Skip(m, std::strerror(errno), ERROR_MAKEDIRECTORY);
        if (!MayWrite(m, dir.get(), leaf)) return true;
        // An older file of the name gives way, as it would to a file member.
        unlinkat(dir.get(), leaf.c_str(), 0);
        int rc;
        if (hard) {
            auto [targetFolder, targetLeaf] = kt::arc::SplitLast(*target);
            Fd from(kt::arc::OpenFolderBelow(root_, targetFolder, false));
            rc = from.get() < 0 ? -1 : linkat(from.get(), targetLeaf.c_str(), dir.get(), leaf.c_str(), 0);
        } else {
            rc = symlinkat(target->c_str(), dir.get(), leaf.c_str());
        }
        if (rc != 0) return Skip(m, std::strerror(errno), ERROR_CANNOT_WRITE);
        return true;
    }

    MemberSource& reader_;
    const ExtractJob& job_;
    kt::arc::Report& report_;
    kt::arc::ProgressSender& progress_;
    int root_;
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
        if (int rc = reader.CheckRest(&error)) return rc;
        if (written) *written = static_cast<DWORD>(total);
        if (time) *time = static_cast<time_t>(m.mtime);
        if (attr) *attr = static_cast<WORD>((m.mode & 0200) ? 0x20 : 0x21);
        return 0;
    }
}

}  // namespace kt::unpack
