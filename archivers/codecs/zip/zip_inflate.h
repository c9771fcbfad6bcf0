// Our own streaming inflater, for what zlib and libdeflate do not read:
// Deflate64 (method 9, "enhanced deflate"). It is plain Deflate with a
// 64 KiB window, length code 285 carrying 16 extra bits (lengths up to
// 65538) and the two distance codes 30 and 31 (distances up to 65536).
// Plain Deflate is kept as a mode so that the two are tested side by side
// against zlib.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

// Packed bytes in order: up to n into buf, 0 at the end, -1 on failure.
using PullFn = std::function<std::ptrdiff_t(uint8_t* buf, size_t n)>;
// Decoded bytes in order; false stops decoding (ZipStatus::Stopped).
using EmitFn = std::function<bool(const uint8_t* data, size_t n)>;

enum class DeflateVariant { Deflate, Deflate64 };

// Inflates one stream to its final block. Broken for malformed data or a
// stream that ends early, ReadError when pull fails.
ZipStatus Inflate(DeflateVariant variant, const PullFn& pull, const EmitFn& emit);

}  // namespace kt::zip
