// The common archiver interface's error code for the result of the LZH/ARJ
// decoders, shared by UNLHA32.DLL and UNARJ32J.DLL so that one fault gives
// one code whichever library met it.
#pragma once

#include "archivers/codecs/lzh/stream.h"
#include "platform/archiver_api.h"

namespace kt::arc {

// A stream that ends before the member's size was produced is cut short,
// not malformed: ERROR_UNEXPECTED_EOF, as a cut header is.
constexpr int ErrorCodeOf(kt::lzh::Status Status) {
    switch (Status) {
        case kt::lzh::Status::Ok:
            return 0;
        case kt::lzh::Status::BadData:
            return ERROR_BROKEN_DATA;
        case kt::lzh::Status::UnexpectedEnd:
            return ERROR_UNEXPECTED_EOF;
        case kt::lzh::Status::ReadError:
            return ERROR_CANNOT_READ;
        case kt::lzh::Status::Unsupported:
            return ERROR_METHOD;
        case kt::lzh::Status::WriteError:
        case kt::lzh::Status::NotSmaller:
            break;
    }
    return ERROR_CANNOT_WRITE;
}

}  // namespace kt::arc
