#include "tar_create.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/atomic_file.h"
#include "archivers/common/source_list.h"
#include "archivers/unpack/utf8_locale.h"
#include "platform/archiver_api.h"

namespace kt::tar32 {
namespace {

using kt::arc::SourceFile;

bool EndsWith(const std::string& s, const char* tail) {
    std::size_t n = std::strlen(tail);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - n + i])) != tail[i]) return false;
    return true;
}

la_ssize_t WriteToFile(struct archive*, void* user, const void* data, size_t size) {
    auto* out = static_cast<kt::AtomicFile*>(user);
    return out->Write(data, size) ? static_cast<la_ssize_t>(size) : -1;
}

struct ArchiveDeleter {
    void operator()(struct archive* a) const { archive_write_free(a); }
};

// What to write: the compression, and whether it is a single compressed
// file rather than a tar archive. 0, or an error code with *error.
int ChooseOutput(const TarCommand& cmd, Compression* compression, bool* single,
                 std::string* error) {
    const std::string& name = cmd.items.archive;
    bool tarName = EndsWith(name, ".tar.gz") || EndsWith(name, ".tgz") ||
                   EndsWith(name, ".tar.bz2") || EndsWith(name, ".tbz") || EndsWith(name, ".tbz2");
    bool gz = EndsWith(name, ".gz") || EndsWith(name, ".tgz");
    bool bz2 = EndsWith(name, ".bz2") || EndsWith(name, ".tbz") || EndsWith(name, ".tbz2");
    *compression = cmd.compression;
    if (*compression == Compression::Auto)
        *compression = gz ? Compression::Gzip : bz2 ? Compression::Bzip2 : Compression::None;
    *single = !tarName && (gz || bz2) && *compression != Compression::None;
    if (*compression == Compression::None && (EndsWith(name, ".z") || EndsWith(name, ".taz") ||
                                              EndsWith(name, ".xz") || EndsWith(name, ".zst"))) {
        *error =
            "archives of this kind are only read here; name the new archive .tar, .tar.gz or "
            ".tar.bz2";
        return ERROR_NOT_SUPPORT;
    }
    return 0;
}

class Writer {
public:
    Writer(const TarCommand& cmd, kt::arc::Report& report, kt::arc::ProgressSender& progress)
        : cmd_(cmd), report_(report), progress_(progress) {}

    int Run(Compression compression, bool single, const std::vector<SourceFile>& sources) {
        a_.reset(archive_write_new());
        if (!a_) return ERROR_ENOUGH_MEMORY;
        struct archive* a = a_.get();
        std::string level = cmd_.level < 0 ? "" : std::to_string(cmd_.level);
        if (compression == Compression::Gzip) {
            archive_write_add_filter_gzip(a);
            if (!level.empty())
                archive_write_set_filter_option(a, "gzip", "compression-level", level.c_str());
        } else if (compression == Compression::Bzip2) {
            archive_write_add_filter_bzip2(a);
            if (!level.empty())
                archive_write_set_filter_option(a, "bzip2", "compression-level", level.c_str());
        }
        // A compressed stream ends where it ends: padding it to whole tar
        // records would leave trailing garbage for gzip and bzip2 to warn of.
        if (compression != Compression::None) archive_write_set_bytes_in_last_block(a, 1);
        if (single) {
            archive_write_set_format_raw(a);
        } else if (cmd_.gnuFormat) {
            archive_write_set_format_gnutar(a);
        } else {
            // ustar headers, with pax records only where ustar cannot hold a
            // name, size or time; names are UTF-8 there.
            archive_write_set_format_pax_restricted(a);
            archive_write_set_format_option(a, "pax", "hdrcharset", "UTF-8");
        }
        kt::AtomicFile out;
        out.SetSync(false);
        if (!out.Create(cmd_.items.archive)) {
            report_.Line(cmd_.items.archive + ": " + std::strerror(errno));
            return ERROR_CANNOT_WRITE;
        }
        if (archive_write_open2(a, &out, nullptr, WriteToFile, nullptr, nullptr) != ARCHIVE_OK)
            return Failed("cannot start the archive", ERROR_MAKE_ARCHIVE);
        if (!progress_.Send(ARCEXTRACT_OPEN, cmd_.items.archive, cmd_.items.archive, 0, 0))
            return Cancelled();
        for (const SourceFile& s : sources)
            if (int rc = Add(s)) return rc;
        if (archive_write_close(a) != ARCHIVE_OK)
            return Failed("cannot finish the archive", ERROR_CANNOT_WRITE);
        if (!out.Commit()) {
            report_.Line(cmd_.items.archive + ": " + std::strerror(errno));
            return ERROR_CANNOT_WRITE;
        }
        progress_.Send(ARCEXTRACT_END, cmd_.items.archive, cmd_.items.archive, 0, 0);
        return 0;
    }

private:
    int Failed(const std::string& what, int code) {
        const char* why = archive_error_string(a_.get());
        report_.Line(what + (why ? std::string(": ") + why : std::string()));
        return code;
    }

    int Cancelled() {
        report_.Line("cancelled");
        return ERROR_USER_CANCEL;
    }

    int SourceFailed(const SourceFile& s) {
        report_.Line(s.path + ": " + std::strerror(errno));
        return ERROR_FILE_OPEN;
    }

    int Add(const SourceFile& s) {
        std::unique_ptr<struct archive_entry, void (*)(struct archive_entry*)> e(
            archive_entry_new(), archive_entry_free);
        archive_entry_copy_stat(e.get(), &s.st);
        archive_entry_set_pathname_utf8(e.get(), s.stored.c_str());
        int fd = -1;
        if (S_ISLNK(s.st.st_mode)) {
            std::vector<char> target(static_cast<std::size_t>(s.st.st_size) + 1);
            ssize_t n = readlink(s.path.c_str(), target.data(), target.size());
            if (n < 0) return SourceFailed(s);
            archive_entry_set_symlink_utf8(e.get(), std::string(target.data(), n).c_str());
            archive_entry_set_size(e.get(), 0);
        } else if (S_ISREG(s.st.st_mode)) {
            fd = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) return SourceFailed(s);
        } else if (!S_ISDIR(s.st.st_mode)) {
            report_.Line(s.path + ": device or pipe, not stored");
            return 0;
        }
        struct Closer {
            int fd;
            ~Closer() {
                if (fd >= 0) ::close(fd);
            }
        } closer{fd};
        if (!progress_.Send(ARCEXTRACT_BEGIN, s.path, s.stored, s.st.st_size, 0))
            return Cancelled();
        if (archive_write_header(a_.get(), e.get()) < ARCHIVE_WARN)
            return Failed(s.stored, ERROR_CANNOT_WRITE);
        if (fd < 0) return 0;
        std::vector<char> block(64 * 1024);
        uint64_t done = 0, next = kt::arc::kProgressStep;
        const uint64_t size = static_cast<uint64_t>(s.st.st_size);
        while (done < size) {
            ssize_t n = ::read(fd, block.data(), std::min<uint64_t>(block.size(), size - done));
            if (n < 0) return SourceFailed(s);
            if (n == 0) {
                // The header already holds the size: a short member would
                // shift everything after it.
                report_.Line(s.path + ": the file became shorter while it was read");
                return ERROR_CANNOT_READ;
            }
            if (archive_write_data(a_.get(), block.data(), static_cast<size_t>(n)) != n)
                return Failed(s.stored, ERROR_CANNOT_WRITE);
            done += static_cast<uint64_t>(n);
            if (done >= next) {
                next = done + kt::arc::kProgressStep;
                if (!progress_.Send(ARCEXTRACT_INPROCESS, s.path, s.stored, size, done))
                    return Cancelled();
            }
        }
        return 0;
    }

    const TarCommand& cmd_;
    kt::arc::Report& report_;
    kt::arc::ProgressSender& progress_;
    kt::unpack::Utf8Locale utf8_;  // names go into the headers as UTF-8
    std::unique_ptr<struct archive, ArchiveDeleter> a_;
};

}  // namespace

int CreateArchive(const TarCommand& cmd, kt::arc::Report& report,
                  kt::arc::ProgressSender& progress) {
    Compression compression;
    bool single;
    std::string error;
    if (int rc = ChooseOutput(cmd, &compression, &single, &error)) {
        report.Line(error);
        return rc;
    }
    if (cmd.items.names.empty()) {
        report.Line("no files named");
        return ERROR_NOT_FILENAME;
    }
    kt::arc::SourceRules rules;
    rules.base = cmd.items.folder;
    rules.keepFolders = cmd.keepFolders;
    rules.hidden = cmd.hidden;
    std::vector<SourceFile> sources;
    std::string missing;
    if (!kt::arc::CollectSourceFiles(cmd.items.names, rules, cmd.items.archive, &sources,
                                     &missing)) {
        report.Line("file not found: " + missing);
        return ERROR_NOT_FIND_FILE;
    }
    if (single && (sources.size() != 1 || !S_ISREG(sources[0].st.st_mode))) {
        report.Line(cmd.items.archive +
                    " holds exactly one file; name a .tar.gz or .tar.bz2 archive for more");
        return ERROR_NOT_SUPPORT;
    }
    return Writer(cmd, report, progress).Run(compression, single, sources);
}

}  // namespace kt::tar32
