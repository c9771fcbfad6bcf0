// Decoding one entry's data: ZipCrypto or WinZip AES decryption, every
// method of zip_methods.h, and the CRC-32, size and MAC checks. Small
// stored or deflated entries are inflated in one call with libdeflate; all
// others stream in fixed-size pieces, so memory stays bounded whatever the
// entry's size.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archivers/zip_container/zip_format.h"
#include "archivers/zip_container/zip_io.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

// Receives decoded bytes. Returning false stops decoding with
// ZipStatus::Stopped (a write error or a cancel; the sink knows which).
// Nothing the sink receives is trustworthy until the call returns Ok.
class ZipSink {
public:
    virtual ~ZipSink() = default;
    virtual bool Write(const uint8_t* data, size_t n) = 0;
};

// Entries up to this size (both compressed and uncompressed) are decoded in
// memory in one piece.
inline constexpr uint64_t kWholeBufferLimit = 16u << 20;

// `password` is the key's bytes (CP932), empty when none was given.
ZipStatus ExtractEntry(const ByteSource& source, const ZipEntry& entry, std::string_view password,
                       ZipSink& sink);

// The reason an entry failed, for reports: the status text, naming the
// method when it is one we do not read.
std::string FailureText(const ZipEntry& entry, ZipStatus status);

// Checks the password against the entry's header without decoding the data.
ZipStatus CheckPassword(const ByteSource& source, const ZipEntry& entry, std::string_view password);

}  // namespace kt::zip
