// The codec's small result vocabulary. Libraries map it onto their error codes.
#pragma once

namespace kt::zip {

enum class ZipStatus {
    Ok,
    NotZip,        // no end-of-central-directory record
    Broken,        // a record or the compressed data is damaged
    Unsupported,   // compression method or encryption the codec lacks
    NeedPassword,  // encrypted entry and no password given
    BadPassword,   // the password check byte does not match
    CrcMismatch,   // data decoded but its CRC-32 or size is wrong
    AuthFailed,    // the AES authentication code (HMAC) does not match
    ReadError,     // the source could not be read
    WriteError,    // the output could not be written
    Stopped,       // a sink or a source asked to stop (cancel)
    TooBig,        // a size outgrew what the chosen header layout can hold
};

const char* ZipStatusText(ZipStatus status);

}  // namespace kt::zip
