// The compression methods an entry's data can carry, each decoded as a
// stream from pulled packed bytes to emitted plain bytes: stored (0),
// Deflate (8, zlib), Deflate64 (9, our inflater), bzip2 (12, our block
// decoder), LZMA (14, liblzma), Zstandard (93, libzstd) and xz (95, liblzma).
#pragma once

#include <cstdint>
#include <string>

#include "archivers/codecs/zip/zip_bytes.h"
#include "archivers/codecs/zip/zip_inflate.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

inline constexpr uint16_t kMethodStored = 0;
inline constexpr uint16_t kMethodDeflate = 8;
inline constexpr uint16_t kMethodDeflate64 = 9;
inline constexpr uint16_t kMethodBzip2 = 12;
inline constexpr uint16_t kMethodLzma = 14;
inline constexpr uint16_t kMethodZstd = 93;
inline constexpr uint16_t kMethodXz = 95;
inline constexpr uint16_t kMethodAes = 99;

bool MethodSupported(uint16_t method);
// "Deflate64", "PPMd", ... or "method N" for a number without a name.
std::string MethodName(uint16_t method);

// Decodes the whole data of one entry. `flags` are the entry's general
// purpose flags (LZMA reads its end-marker bit); `size` is the announced
// uncompressed size (LZMA data may end without a marker).
ZipStatus DecodeMethod(uint16_t method, uint16_t flags, uint64_t size, const PullFn& pull,
                       const EmitFn& emit);

// The plain sequential bzip2 decoder, for one stream (bzip2_stream.cpp).
ZipStatus Bzip2Stream(const PullFn& pull, const EmitFn& emit);

}  // namespace kt::zip
