#include "tar_kind.h"

#include <archive.h>

namespace kt::tar32 {
namespace {

bool IsRaw(int format) { return (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAW; }
bool IsTar(int format) { return (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_TAR; }

}  // namespace

void EnableTarFormats(struct archive* a) {
    archive_read_support_format_tar(a);
    archive_read_support_format_gnutar(a);
    archive_read_support_format_raw(a);
}

int ArchiveTypeNumber(int filter, int format) {
    if (IsTar(format)) {
        switch (filter) {
            case ARCHIVE_FILTER_GZIP:
                return 2;
            case ARCHIVE_FILTER_COMPRESS:
                return 3;
            case ARCHIVE_FILTER_BZIP2:
                return 6;
            default:
                return 1;
        }
    }
    if (IsRaw(format)) {
        switch (filter) {
            case ARCHIVE_FILTER_GZIP:
                return 4;
            case ARCHIVE_FILTER_COMPRESS:
                return 5;
            case ARCHIVE_FILTER_BZIP2:
                return 7;
            default:
                return 0;
        }
    }
    return 0;
}

std::string MethodText(int filter, int format) {
    const char* packed;
    switch (filter) {
        case ARCHIVE_FILTER_NONE:
            return IsRaw(format) ? "raw" : "tar";
        case ARCHIVE_FILTER_GZIP:
            packed = "gz";
            break;
        case ARCHIVE_FILTER_BZIP2:
            packed = "bz2";
            break;
        case ARCHIVE_FILTER_COMPRESS:
            packed = "Z";
            break;
        case ARCHIVE_FILTER_XZ:
            packed = "xz";
            break;
        case ARCHIVE_FILTER_ZSTD:
            packed = "zst";
            break;
        default:
            packed = "packed";
            break;
    }
    return IsRaw(format) ? packed : std::string("tar.") + packed;
}

const kt::unpack::ReadingFormats kTarFormats{EnableTarFormats, MethodText};

}  // namespace kt::tar32
