#include "opened_archive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "archivers/common/member_info.h"
#include "archivers/common/owner_window.h"
#include "platform/wildcard.h"
#include "archivers/zip_container/zip_error_code.h"

namespace kt::unzip32 {

using namespace kt::zip;

std::string OverlapIn(const ZipDirectory& dir) {
    std::vector<const ZipEntry*> order;
    order.reserve(dir.entries.size());
    for (const ZipEntry& e : dir.entries) order.push_back(&e);
    std::sort(order.begin(), order.end(),
              [](const ZipEntry* a, const ZipEntry* b) { return a->localOffset < b->localOffset; });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const ZipEntry& e = *order[i];
        // The least the entry can take: a local header without name or
        // extra, and its data.
        uint64_t end = e.localOffset + kLocalHeaderSize;
        end = e.compressedSize > UINT64_MAX - end ? UINT64_MAX : end + e.compressedSize;
        const uint64_t next = i + 1 < order.size() ? order[i + 1]->localOffset : dir.centralOffset;
        if (end > next)
            return "entries overlap (" + e.name +
                   (i + 1 < order.size() ? " and " + order[i + 1]->name
                                         : " and the central directory") +
                   "): a possible zip bomb, not read";
    }
    return {};
}

int OpenedArchive::Open(const std::string& path, std::string& error) {
    path_ = path;
    fd_.reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd_.get() < 0) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return errno == ENOENT ? ERROR_NOT_FIND_ARC_FILE : ERROR_ARC_FILE_OPEN;
    }
    struct stat st;
    if (fstat(fd_.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + " is not a file";
        return ERROR_ARC_FILE_OPEN;
    }
    source_ = std::make_unique<FdSource>(fd_.get(), static_cast<uint64_t>(st.st_size));
    ZipStatus status = ReadZipDirectory(*source_, dir_);
    if (status == ZipStatus::Ok) {
        if (std::string overlap = OverlapIn(dir_); !overlap.empty()) {
            error = path + ": " + overlap;
            return ERROR_HEADER_BROKEN;
        }
        return 0;
    }
    if (dir_.splitSet) {
        error = path +
                ": the last part of a ZIP archive split over several files (zip -s), which is "
                "not read; join the parts into one archive first (zip -s 0 " +
                path.substr(path.rfind('/') + 1) + " --out whole.zip)";
        return ERROR_ARC_FILE_OPEN;
    }
    error = path + ": " + ZipStatusText(status);
    return status == ZipStatus::Broken ? ERROR_HEADER_BROKEN : ErrorCodeOf(status);
}

bool MatchesAny(const std::vector<std::string>& patterns, const std::string& name) {
    if (patterns.empty()) return true;
    for (const std::string& p : patterns) {
        if (WildcardMatch(p, name)) return true;
        if (!p.empty() && name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
            (p.back() == '/' || name[p.size()] == '/'))
            return true;
    }
    return false;
}

std::string MethodText(const ZipEntry& e) {
    switch (e.method) {
        case kMethodStored:
            return "Stored";
        case kMethodDeflate:
            return "Deflate";
        case 9:
            return "Defl64";
        case 12:
            return "BZip2";
        case 14:
            return "LZMA";
        case 93:
            return "Zstd";
        case 95:
            return "XZ";
        case 98:
            return "PPMd";
        case 99:
            return "AES";
        default:
            return "Unknown";
    }
}

// DOS attribute letters, "-" for each one not set: read-only, hidden,
// system, folder, archive; then "E" for an encrypted member (ZipCrypto or
// AES), which a listing cannot tell otherwise.
std::string AttributeText(const ZipEntry& e) {
    uint32_t a = e.externalAttr & 0xFF;
    if ((e.versionMadeBy >> 8) == kHostUnix) {
        uint32_t mode = e.UnixMode();
        a = (mode & 0200) ? 0 : 0x01;
        if (e.IsDirectory()) a |= 0x10;
    }
    std::string s = "-----";
    if (a & 0x01) s[0] = 'R';
    if (a & 0x02) s[1] = 'H';
    if (a & 0x04) s[2] = 'S';
    if (e.IsDirectory()) s[3] = 'D';
    if (a & 0x20) s[4] = 'A';
    if (e.IsEncrypted()) s += 'E';
    return s;
}

namespace {
DWORD Clip(uint64_t v) { return static_cast<DWORD>(std::min<uint64_t>(v, kMax32)); }
}  // namespace

void FillIndividualInfo(const ZipEntry& e, INDIVIDUALINFO& info) {
    kt::arc::FillIndividualInfo({.name = e.name,
                                 .originalSize = e.uncompressedSize,
                                 .compressedSize = e.compressedSize,
                                 .crc = e.crc,
                                 .osType = static_cast<unsigned>(e.versionMadeBy >> 8),
                                 .dosDateTime = static_cast<uint32_t>(e.dosDate) << 16 | e.dosTime,
                                 .attribute = AttributeText(e),
                                 .mode = MethodText(e)},
                                info);
}

void FillExtractingInfo(const ZipEntry& e, const std::string& dest, EXTRACTINGINFOEX& info) {
    std::memset(&info, 0, sizeof info);
    info.exinfo.dwFileSize = Clip(e.uncompressedSize);
    kt::arc::CopyFixed(info.exinfo.szSourceFileName, e.name);
    kt::arc::CopyFixed(info.exinfo.szDestFileName, dest);
    info.dwCompressedSize = Clip(e.compressedSize);
    info.dwCRC = e.crc;
    info.uOSType = e.versionMadeBy >> 8;
    info.wRatio = kt::arc::RatioPerMille(e.compressedSize, e.uncompressedSize);
    info.wDate = e.dosDate;
    info.wTime = e.dosTime;
    kt::arc::CopyFixed(info.szAttribute, AttributeText(e));
    kt::arc::CopyFixed(info.szMode, MethodText(e));
}

}  // namespace kt::unzip32
