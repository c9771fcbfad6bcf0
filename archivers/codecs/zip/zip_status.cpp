#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

const char* ZipStatusText(ZipStatus status) {
    switch (status) {
        case ZipStatus::Ok:
            return "ok";
        case ZipStatus::NotZip:
            return "not a ZIP archive";
        case ZipStatus::Broken:
            return "archive is damaged";
        case ZipStatus::Unsupported:
            return "unsupported compression method or encryption";
        case ZipStatus::NeedPassword:
            return "entry is encrypted and no password was given";
        case ZipStatus::BadPassword:
            return "wrong password";
        case ZipStatus::CrcMismatch:
            return "CRC error: data is damaged";
        case ZipStatus::AuthFailed:
            return "HMAC error: encrypted data is damaged";
        case ZipStatus::ReadError:
            return "read error";
        case ZipStatus::WriteError:
            return "write error";
        case ZipStatus::Stopped:
            return "stopped";
        case ZipStatus::TooBig:
            return "entry too large for its header layout";
    }
    return "unknown error";
}

}  // namespace kt::zip
