#include "archive_job.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/atomic_file.h"
#include "archivers/common/unique_fd.h"
#include "archivers/common/file_time.h"
#include "archivers/common/owner_window.h"
#include "archivers/common/source_change.h"
#include "member_entry.h"
#include "archivers/codecs/zip/zip_aes.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "platform/wildcard.h"
#include "archivers/zip_container/zip_error_code.h"
#include "archivers/zip_container/zip_reader.h"
#include "archivers/zip_container/zip_writer.h"

namespace kt::zip32 {

using namespace kt::zip;

namespace {

using Fd = kt::arc::UniqueFd;

// What one entry of the new archive is made from.
struct Item {
    int oldIndex = -1;     // copy of an entry of the old archive
    int memberIndex = -1;  // a file from disk
};

class Job {
public:
    explicit Job(const ZIP32_JOB& job) : job_(job) {}
    int Run();

private:
    void Report(const std::string& line) const {
        if (job_.report) job_.report(job_.user, line.c_str());
    }
    bool Progress(UINT state, const std::string& source, const std::string& dest, uint64_t size,
                  uint64_t done) {
        if (!job_.progress) return true;
        EXTRACTINGINFOEX info{};
        info.exinfo.dwFileSize = static_cast<DWORD>(std::min<uint64_t>(size, kMax32));
        info.exinfo.dwWriteSize = static_cast<DWORD>(std::min<uint64_t>(done, kMax32));
        kt::arc::CopyFixed(info.exinfo.szSourceFileName, source);
        kt::arc::CopyFixed(info.exinfo.szDestFileName, dest);
        kt::arc::CopyFixed(info.szMode, "Deflate");
        return job_.progress(job_.user, state, &info) == 0;
    }
    int Fail(int code, const std::string& text) {
        Report(text);
        return code;
    }
    int ReadOld();
    int Plan();
    int Write();
    int AddMember(ZipWriter& writer, int index);

    const ZIP32_JOB& job_;
    std::string archive_;
    bool oldExists_ = false;
    std::optional<Fd> oldFd_;
    std::optional<FdSource> oldSource_;
    ZipDirectory old_;
    struct stat archiveStat_ {};
    std::vector<Item> items_;
    std::vector<struct stat> memberStats_;
    bool changed_ = false;
    int64_t newest_ = 0;
};

int Job::ReadOld() {
    struct stat st;
    if (::stat(archive_.c_str(), &st) != 0) {
        if (errno != ENOENT) return Fail(ERROR_ARC_FILE_OPEN, "cannot open " + archive_);
        return 0;
    }
    if (!S_ISREG(st.st_mode)) return Fail(ERROR_ARC_FILE_OPEN, archive_ + " is not a file");
    archiveStat_ = st;
    oldExists_ = true;
    if (st.st_size == 0) return 0;  // an empty file holds no archive yet
    int fd = ::open(archive_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return Fail(ERROR_ARC_FILE_OPEN, "cannot open " + archive_);
    oldFd_.emplace(fd);
    oldSource_.emplace(fd, static_cast<uint64_t>(st.st_size));
    ZipStatus status = (job_.flags & ZIP32_RECOVER) ? ScanLocalHeaders(*oldSource_, old_)
                                                    : ReadZipDirectory(*oldSource_, old_);
    if (status == ZipStatus::NotZip && !(job_.flags & ZIP32_RECOVER))
        return Fail(ERROR_NOT_ARC_FILE, archive_ + ": not a ZIP archive");
    if (status != ZipStatus::Ok)
        return Fail(status == ZipStatus::Broken ? ERROR_HEADER_BROKEN : ErrorCodeOf(status),
                    archive_ + ": " + ZipStatusText(status));
    return 0;
}

int Job::Plan() {
    std::unordered_map<std::string, size_t> oldByName;
    for (size_t i = 0; i < old_.entries.size(); ++i) {
        oldByName[old_.entries[i].name] = i;
        items_.push_back({static_cast<int>(i), -1});
    }
    if (job_.command == ZIP32_DELETE) {
        std::vector<Item> kept;
        for (const Item& item : items_) {
            const std::string& name = old_.entries[static_cast<size_t>(item.oldIndex)].name;
            bool hit = false;
            for (DWORD p = 0; p < job_.patternCount && !hit; ++p) {
                std::string_view pat = job_.patterns[p];
                hit = WildcardMatch(pat, name) || name == std::string(pat) + "/";
            }
            if (hit)
                Report("deleting: " + name);
            else
                kept.push_back(item);
        }
        if (kept.size() == items_.size())
            return Fail(ERROR_NOT_FIND_FILE, "no entry matches the names to delete");
        items_ = std::move(kept);
        changed_ = true;
        return 0;
    }
    if (job_.command == ZIP32_ADJUST) {
        changed_ = true;
        return 0;
    }
    memberStats_.resize(job_.memberCount);
    std::unordered_map<std::string, DWORD> seen;
    for (DWORD m = 0; m < job_.memberCount; ++m) {
        const ZIP32_MEMBER& member = job_.members[m];
        struct stat& st = memberStats_[m];
        if (member.found)
            st = *member.found;
        else if (::stat(member.path, &st) != 0)
            return Fail(ERROR_NOT_FIND_FILE, std::string("cannot find ") + member.path);
        if (!S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
            return Fail(ERROR_UNKNOWN_TYPE, std::string(member.path) + " is not a regular file");
        // The archive never goes into itself.
        if (oldExists_ && st.st_dev == archiveStat_.st_dev && st.st_ino == archiveStat_.st_ino)
            continue;
        if (auto [it, fresh] = seen.emplace(member.name, m); !fresh)
            return Fail(ERROR_SAME_NAME_FILE,
                        std::string("two files would be stored as ") + member.name + ": " +
                            job_.members[it->second].path + " and " + member.path);
        auto old = oldByName.find(member.name);
        if (old != oldByName.end()) {
            const ZipEntry& e = old_.entries[old->second];
            if (job_.command != ZIP32_ADD) {
                uint32_t fileDos = kt::arc::UnixToDosDateTime(st.st_mtime);
                uint32_t entryDos = (static_cast<uint32_t>(e.dosDate) << 16) | e.dosTime;
                if (fileDos <= entryDos) continue;
            }
            items_[old->second] = {-1, static_cast<int>(m)};
            changed_ = true;
        } else if (job_.command != ZIP32_FRESHEN) {
            items_.push_back({-1, static_cast<int>(m)});
            changed_ = true;
        }
    }
    return 0;
}

int Job::AddMember(ZipWriter& writer, int index) {
    const ZIP32_MEMBER& member = job_.members[index];
    const struct stat& planned = memberStats_[static_cast<size_t>(index)];
    WriteOptions opt;
    opt.level = job_.level;
    opt.password = job_.password ? job_.password : "";
    opt.aesStrength = static_cast<int>((job_.flags & ZIP32_AES_MASK) >> ZIP32_AES_SHIFT);
    if (!Progress(ARCEXTRACT_BEGIN, member.path, member.name, planned.st_size, 0))
        return ERROR_USER_CANCEL;
    ZipStatus st;
    uint64_t size = 0;
    if (S_ISDIR(planned.st_mode)) {
        ZipEntry e = MemberEntry(member.name, planned, job_.flags & ZIP32_DOS_ATTRIBUTES);
        st = writer.AddBuffer(std::move(e), nullptr, 0, WriteOptions{0, {}});
    } else {
        Fd fd(::open(member.path, O_RDONLY | O_CLOEXEC));
        // What the front end found while collecting is checked against the
        // open file after reading (same file, size and time), so it need
        // not be asked for again now.
        struct stat now = planned;
        if (fd.get() < 0 || (!member.found && fstat(fd.get(), &now) != 0) || !S_ISREG(now.st_mode))
            return Fail(ERROR_FILE_OPEN, std::string("cannot open ") + member.path);
        size = static_cast<uint64_t>(now.st_size);
        FdSource source(fd.get(), size);
        ZipEntry e = MemberEntry(member.name, now, job_.flags & ZIP32_DOS_ATTRIBUTES);
        newest_ = std::max<int64_t>(newest_, now.st_mtime);
        ProgressFn progress;
        if (job_.progress && size > kWholeFileLimit) {
            progress = [&](uint64_t done) {
                return Progress(ARCEXTRACT_INPROCESS, member.path, member.name, size, done);
            };
        }
        st = writer.AddSource(std::move(e), source, opt, progress);
        if (st == ZipStatus::Ok && kt::arc::ChangedSinceOpened(fd.get(), now))
            return Fail(ERROR_CANNOT_READ,
                        std::string(member.path) + ": file changed while being packed");
    }
    if (st == ZipStatus::Stopped) return ERROR_USER_CANCEL;
    if (st == ZipStatus::WriteError)
        return Fail(ERROR_CANNOT_WRITE, "cannot write " + archive_ + ": " + std::strerror(errno));
    if (st != ZipStatus::Ok)
        return Fail(ErrorCodeOf(st), std::string(member.path) + ": " + ZipStatusText(st));
    if (!(job_.flags & ZIP32_QUIET)) {
        const ZipEntry& e = writer.Entries().back();
        std::string line = "  adding: " + e.name;
        // An AES entry names its real method in its AES block and wraps
        // the data in salt, verifier and MAC.
        const std::optional<AesInfo> aes =
            e.method == kMethodAes ? FindAesInfo(e.extraCentral) : std::nullopt;
        const uint16_t method = aes ? aes->method : e.method;
        const uint64_t wrapping = aes ? aes->SaltSize() + kAesVerifierSize + kAesMacSize
                                  : e.IsEncrypted() ? kCryptHeaderSize
                                                    : 0;
        if (S_ISDIR(planned.st_mode)) {
            line += " (stored 0%)";
        } else if (method == kMethodDeflate) {
            uint64_t body = e.compressedSize - wrapping;
            unsigned pct = size ? static_cast<unsigned>(100 - (body * 100 + size / 2) / size) : 0;
            line += " (deflated " + std::to_string(pct) + "%)";
        } else {
            line += " (stored 0%)";
        }
        if (job_.flags & ZIP32_VERBOSE)
            line += " " + std::to_string(size) + " -> " + std::to_string(e.compressedSize);
        Report(line);
    }
    return 0;
}

int Job::Write() {
    kt::AtomicFile out;
    // ReadOld has just looked: a missing archive needs no second look.
    if (!(oldExists_ ? out.Create(archive_) : out.CreateNew(archive_)))
        return Fail(ERROR_TMP_OPEN, "cannot create a temporary file beside " + archive_ + ": " +
                                        std::strerror(errno));
    // Atomic for every reader without waiting for the disk, as zip does.
    out.SetSync(false);
    if (!Progress(ARCEXTRACT_OPEN, archive_, archive_, 0, 0)) return ERROR_USER_CANCEL;
    FdOutput output(out.Fd());
    // Data in front of the archive (a self-extractor) stays unless -J.
    if (oldSource_ && old_.prefixSize > 0 && !(job_.flags & ZIP32_STRIP_PREFIX)) {
        std::vector<uint8_t> buf(1 << 20);
        for (uint64_t done = 0; done < old_.prefixSize;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(buf.size(), old_.prefixSize - done));
            if (!oldSource_->ReadAt(done, buf.data(), n))
                return Fail(ERROR_CANNOT_READ, "read error");
            if (!output.Write(buf.data(), n))
                return Fail(ERROR_CANNOT_WRITE,
                            "cannot write " + archive_ + ": " + std::strerror(errno));
            done += n;
        }
    }
    ZipWriter writer(output);
    for (const Item& item : items_) {
        if (item.memberIndex >= 0) {
            if (int rc = AddMember(writer, item.memberIndex)) return rc;
        } else {
            const ZipEntry& e = old_.entries[static_cast<size_t>(item.oldIndex)];
            ZipStatus st = writer.CopyEntry(*oldSource_, e);
            if (st != ZipStatus::Ok)
                return Fail(st == ZipStatus::WriteError ? ERROR_CANNOT_WRITE : ERROR_BROKEN_DATA,
                            archive_ + ": " + e.name + ": " + ZipStatusText(st));
            newest_ = std::max<int64_t>(
                newest_,
                kt::arc::DosDateTimeToUnix((static_cast<uint32_t>(e.dosDate) << 16) | e.dosTime));
        }
    }
    if (writer.Entries().empty()) {
        // Every entry deleted: like zip, the archive itself goes.
        out.Discard();
        if (oldExists_ && ::unlink(archive_.c_str()) != 0)
            return Fail(ERROR_CANNOT_WRITE, "cannot remove the empty archive " + archive_);
        Report("archive is empty and was removed: " + archive_);
        return 0;
    }
    ZipStatus st = writer.Finish(old_.comment);
    if (st != ZipStatus::Ok)
        return Fail(ERROR_CANNOT_WRITE, "cannot write " + archive_ + ": " + std::strerror(errno));
    if (!Progress(ARCEXTRACT_COPY, archive_, archive_, 0, 0)) return ERROR_USER_CANCEL;
    // Every byte is written: the archive appears under its name with its time.
    if ((job_.flags & ZIP32_ARCHIVE_TIME) && newest_ > 0) {
        struct timespec times[2] = {{newest_, 0}, {newest_, 0}};
        futimens(out.Fd(), times);
    }
    if (!out.Commit())
        return Fail(ERROR_CANNOT_WRITE, "cannot write " + archive_ + ": " + std::strerror(errno));
    return 0;
}

int Job::Run() {
    if (!job_.archive || !*job_.archive) return Fail(ERROR_NOT_FIND_ARC_FILE, "no archive name");
    archive_ = job_.archive;
    if (int rc = ReadOld()) return rc;
    bool needsOld = job_.command == ZIP32_FRESHEN || job_.command == ZIP32_DELETE ||
                    job_.command == ZIP32_ADJUST;
    if (needsOld && !oldSource_)
        return Fail(ERROR_NOT_FIND_ARC_FILE, "archive not found: " + archive_);
    if (int rc = Plan()) return rc;
    if (!changed_ && !(job_.flags & ZIP32_STRIP_PREFIX && old_.prefixSize > 0)) {
        if (job_.command == ZIP32_ADD && job_.memberCount > 0 && items_.empty())
            return Fail(ERROR_NOT_FILENAME, "nothing to add");
        if (!(job_.flags & ZIP32_QUIET)) Report("nothing to do: " + archive_ + " is up to date");
        return 0;
    }
    int rc = Write();
    Progress(ARCEXTRACT_END, archive_, archive_, 0, 0);  // the job is over; a reply changes nothing
    if (rc == ERROR_USER_CANCEL) Report("cancelled; " + archive_ + " is unchanged");
    return rc;
}

}  // namespace

int RunArchiveJob(const ZIP32_JOB& job) { return Job(job).Run(); }

}  // namespace kt::zip32
