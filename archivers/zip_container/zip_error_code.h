// The common archiver interface's error code for a codec status, shared by
// the ZIP libraries so that one fault always gives one code.
#pragma once

#include "platform/archiver_api.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

inline int ErrorCodeOf(ZipStatus status) {
    switch (status) {
        case ZipStatus::Ok:
            return 0;
        case ZipStatus::NotZip:
            return ERROR_NOT_ARC_FILE;
        case ZipStatus::Broken:
            return ERROR_BROKEN_DATA;
        case ZipStatus::Unsupported:
            return ERROR_METHOD;
        case ZipStatus::NeedPassword:
        case ZipStatus::BadPassword:
            return ERROR_PASSWORD_FILE;
        case ZipStatus::CrcMismatch:
        case ZipStatus::AuthFailed:
            return ERROR_FILE_CRC;
        case ZipStatus::ReadError:
            return ERROR_CANNOT_READ;
        case ZipStatus::WriteError:
            return ERROR_CANNOT_WRITE;
        case ZipStatus::Stopped:
            return ERROR_USER_CANCEL;
        case ZipStatus::TooBig:
            return ERROR_TOO_BIG;
    }
    return ERROR_UNKNOWN;
}

}  // namespace kt::zip
