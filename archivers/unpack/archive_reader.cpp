#include "archive_reader.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <new>

#include "platform/archiver_api.h"

namespace kt::unpack {
namespace {

// The name a raw (single compressed file) archive gives its one member:
// the archive's own name less its compression extension, as gunzip does.
std::string RawMemberName(const std::string& path) {
    std::string leaf = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    std::size_t dot = leaf.rfind('.');
    if (dot != std::string::npos && dot > 0) leaf.erase(dot);
    return leaf.empty() ? "data" : leaf;
}

Member::Kind KindOf(struct archive_entry* e) {
    if (archive_entry_hardlink(e)) return Member::Kind::Hardlink;
    switch (archive_entry_filetype(e)) {
        // A mode without file-type bits (some RAR producers store none)
        // is a plain file, as bsdtar reads it.
        case AE_IFREG:
        case 0:
            return Member::Kind::File;
        case AE_IFDIR:
            return Member::Kind::Folder;
        case AE_IFLNK:
            return Member::Kind::Symlink;
        default:
            return Member::Kind::Other;
    }
}

// The stored name as UTF-8 where libarchive can give it so, else the bytes
// as stored.
std::string Utf8Or(const char* utf8, const char* raw) {
    if (utf8) return utf8;
    return raw ? raw : "";
}

}  // namespace

std::string ErrorText(struct archive* a, const char* fallback) {
    const char* text = a ? archive_error_string(a) : nullptr;
    return text ? text : fallback;
}

std::unique_ptr<MemberSource> MakeReader(const ReadingFormats& formats) {
    if (formats.make) return formats.make();
    return std::make_unique<ArchiveReader>(formats);
}

ArchiveReader::ArchiveReader(const ReadingFormats& formats)
    : a_(archive_read_new()), scan_(formats.scan), volumesOf_(formats.volumes) {
    if (!a_) throw std::bad_alloc();
    // Every filter but gzip: the outer gzip layer is read here (GzipInput),
    // and libarchive's own gzip reader keeps a header's name and comment
    // fields whole in memory, however long, and would unwrap gzip inside
    // gzip again and again. A gzip stream found inside another filter is
    // data, handed out as it is (as gunzip unwraps one layer).
    archive_read_support_filter_bzip2(a_);
    archive_read_support_filter_compress(a_);
    archive_read_support_filter_grzip(a_);
    archive_read_support_filter_lrzip(a_);
    archive_read_support_filter_lz4(a_);
    archive_read_support_filter_lzip(a_);
    archive_read_support_filter_lzma(a_);
    archive_read_support_filter_lzop(a_);
    archive_read_support_filter_rpm(a_);
    archive_read_support_filter_uu(a_);
    archive_read_support_filter_xz(a_);
    archive_read_support_filter_zstd(a_);
    formats.enable(a_);
}

ArchiveReader::~ArchiveReader() { archive_read_free(a_); }

la_ssize_t ArchiveReader::ReadGzip(struct archive* a, void* self, const void** data) {
    GzipInput& gzip = static_cast<ArchiveReader*>(self)->gzip_;
    long long n = gzip.Read(data);
    if (n < 0) archive_set_error(a, EIO, "%s", gzip.Error().c_str());
    return static_cast<la_ssize_t>(n);
}

int ArchiveReader::Open(const std::string& path, std::string* error) {
    path_ = path;
    // A scan that cannot make sense of the headers adds nothing; libarchive
    // then decides alone.
    if (scan_) {
        ScanEnd end = scan_(path, &facts_);
        if (end == ScanEnd::Broken) {
            *error = "damaged archive header: its fields run past its stated size";
            return ERROR_NOT_ARC_FILE;
        }
        if (end == ScanEnd::Unreadable) facts_.clear();
        scanEnd_ = end;
    }
    if (volumesOf_) volumes_ = volumesOf_(path);
    gzipped_ = volumes_.size() < 2 && gzip_.Open(path);
    int opened = 0;
    if (gzipped_) {
        opened = archive_read_open(a_, this, nullptr, ReadGzip, nullptr);
    } else if (volumes_.size() > 1) {
        // The volumes are read as one stream, a member going on from one
        // file into the next.
        std::vector<const char*> names;
        for (const std::string& v : volumes_) names.push_back(v.c_str());
        names.push_back(nullptr);
        opened = archive_read_open_filenames(a_, names.data(), 64 * 1024);
    } else {
        opened = archive_read_open_filename(a_, path.c_str(), 64 * 1024);
    }
    if (opened != ARCHIVE_OK) {
        *error = ErrorText(a_, "cannot open the archive");
        return archive_errno(a_) == ENOENT || archive_errno(a_) == EACCES ? ERROR_ARC_FILE_OPEN
                                                                          : ERROR_NOT_ARC_FILE;
    }
    int rc = Header(&first_, error);
    filter_ = gzipped_ ? ARCHIVE_FILTER_GZIP : archive_filter_code(a_, 0);
    format_ = archive_format(a_);
    // The raw reader takes any bytes at all; only a compressed single file
    // (file.gz, file.bz2) is an archive of ours.
    if (rc == 0 && (format_ & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW &&
        filter_ == ARCHIVE_FILTER_NONE) {
        *error = "not an archive";
        return ERROR_NOT_ARC_FILE;
    }
    if (rc > 0)
        return rc == ERROR_NOT_ARC_FILE || rc == ERROR_ENOUGH_MEMORY ? rc : ERROR_NOT_ARC_FILE;
    pending_ = rc == 0;
    return 0;
}

int ArchiveReader::Header(Member* m, std::string* error) {
    struct archive_entry* e = nullptr;
    int r = archive_read_next_header(a_, &e);
    if (r == ARCHIVE_EOF) {
        // The end as libarchive sees it is the end only when the archive
        // reaches its own end mark and every member found there was read.
        if (scanEnd_ == ScanEnd::CutShort) {
            *error = "the archive is cut short: it ends before its end mark";
            return ERROR_BROKEN_DATA;
        }
        if (scanEnd_ == ScanEnd::LengthDiffers) {
            *error = "the file is longer than the length the archive states";
            return ERROR_BROKEN_DATA;
        }
        if (index_ < facts_.size()) {
            *error = "the archive holds " + std::to_string(facts_.size()) + " members, only " +
                     std::to_string(index_) + " could be read";
            return ERROR_BROKEN_DATA;
        }
        return -1;
    }
    if (r == ARCHIVE_FATAL || (r != ARCHIVE_OK && r != ARCHIVE_WARN)) {
        *error = ErrorText(a_, "damaged archive header");
        if (archive_errno(a_) == ENOMEM) return ERROR_ENOUGH_MEMORY;
        return archive_file_count(a_) == 0 ? ERROR_NOT_ARC_FILE : ERROR_HEADER_BROKEN;
    }
    *m = Member();
    split_ = false;
    if ((archive_format(a_) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW) {
        m->name = RawMemberName(path_);
    } else {
        m->name = Utf8Or(archive_entry_pathname_utf8(e), archive_entry_pathname(e));
    }
    m->kind = KindOf(e);
    if (m->kind == Member::Kind::Hardlink)
        m->link = Utf8Or(archive_entry_hardlink_utf8(e), archive_entry_hardlink(e));
    else if (m->kind == Member::Kind::Symlink)
        m->link = Utf8Or(archive_entry_symlink_utf8(e), archive_entry_symlink(e));
    m->size = archive_entry_size_is_set(e) && archive_entry_size(e) > 0
                  ? static_cast<uint64_t>(archive_entry_size(e))
                  : 0;
    // A single compressed file (.gz, .bz2) says nothing of its length here.
    m->sizeKnown = archive_entry_size_is_set(e) &&
                   (archive_format(a_) & ARCHIVE_FORMAT_BASE_MASK) != ARCHIVE_FORMAT_RAW;
    m->mtime = archive_entry_mtime_is_set(e) ? archive_entry_mtime(e) : 0;
    m->mode = archive_entry_perm(e);
    m->encrypted = archive_entry_is_encrypted(e) != 0;
    // A folder named with a trailing "/" is kept without it; the kind says
    // what it is.
    while (m->name.size() > 1 && m->name.back() == '/') m->name.pop_back();
    if (index_ < facts_.size()) {
        const MemberFacts& f = facts_[index_++];
        // Facts that do not fit the member (the scan lost its place) are
        // dropped rather than applied to the wrong one.
        if (f.folder == m->IsFolder()) {
            m->encrypted = m->encrypted || f.encrypted;
            m->hasCrc = f.hasCrc && !m->IsFolder();
            m->crc = f.crc;
            split_ = f.split && !m->IsFolder();
        } else {
            facts_.clear();
        }
    }
    return 0;
}

int ArchiveReader::Next(Member* m, std::string* error) {
    int rc = 0;
    if (lost_) {
        *error = "the archive is damaged; the members after this one are not read";
        return ERROR_BROKEN_DATA;
    }
    if (pending_) {
        pending_ = false;
        *m = std::move(first_);
    } else {
        rc = Header(m, error);
    }
    checkCrc_ = rc == 0 && m->hasCrc;
    storedCrc_ = m->crc;
    crc_ = 0;
    return rc;
}

int ArchiveReader::CheckRest(std::string* error) {
    if (!gzipped_ || gzip_.Finish()) return 0;
    *error = gzip_.Error();
    return ERROR_BROKEN_DATA;
}

long long ArchiveReader::Read(void* buffer, std::size_t size, std::string* error) {
    if (split_) {
        // Only the part in this file could be read: the member would come
        // out cut.
        *error =
            "the member is spread over volumes, and only the part in the volumes beside this "
            "file can be read";
        dataError_ = ERROR_BROKEN_DATA;
        return -1;
    }
    la_ssize_t n = archive_read_data(a_, buffer, size);
    if (n < 0) {
        lost_ = true;
        *error = ErrorText(a_, "damaged member data");
        bool encrypted = error->find("ncrypt") != std::string::npos;
        dataError_ = encrypted ? ERROR_PASSWORD_FILE : ERROR_BROKEN_DATA;
        return -1;
    }
    if (n == 0 && gzipped_ && gzip_.TrailerBad()) {
        *error = gzip_.Error();
        dataError_ = ERROR_BROKEN_DATA;
        return -1;
    }
    if (checkCrc_) {
        if (n > 0) {
            crc_ = static_cast<uint32_t>(
                crc32(crc_, static_cast<const Bytef*>(buffer), static_cast<uInt>(n)));
        } else if (crc_ != storedCrc_) {
            *error = "CRC error: the data is not what was stored";
            dataError_ = ERROR_FILE_CRC;
            return -1;
        }
    }
    return n;
}

}  // namespace kt::unpack
