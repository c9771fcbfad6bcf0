// bzip2 streams for the tests, written by libbz2 itself, and our two
// decoders' readings of them.
#pragma once

#include <bzlib.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "archivers/codecs/zip/zip_bzip2_blocks.h"
#include "archivers/codecs/zip/zip_methods.h"

namespace kt::ziptest {

inline std::string Bzip2Compress(const std::string& plain, int level) {
    unsigned size = static_cast<unsigned>(plain.size() + plain.size() / 50 + 1024);
    std::string out(size, '\0');
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(plain.data()),
                                       static_cast<unsigned>(plain.size()), level, 0, 0),
              BZ_OK);
    out.resize(size);
    return out;
}

// What a decoder passed on, and how it ended.
struct Bzip2Decoded {
    kt::zip::ZipStatus status;
    std::string out;
    size_t largestPiece = 0;           // the most bytes passed on at once
    kt::zip::Bzip2SplitReport report;  // the block splitter's only
};

// Collects into d until it holds stopAfter bytes, then says stop.
inline kt::zip::EmitFn Bzip2Collect(Bzip2Decoded& d, size_t stopAfter = SIZE_MAX) {
    return [&d, stopAfter](const uint8_t* data, size_t n) {
        if (d.out.size() >= stopAfter) return false;
        d.out.append(reinterpret_cast<const char*>(data), n);
        d.largestPiece = std::max(d.largestPiece, n);
        return true;
    };
}

// The sequential decoder's reading of packed.
inline Bzip2Decoded Bzip2DecodeSequentially(const std::string& packed) {
    Bzip2Decoded d;
    size_t at = 0;
    kt::zip::PullFn pull = [&](uint8_t* buf, size_t n) -> std::ptrdiff_t {
        n = std::min(n, packed.size() - at);
        std::copy_n(packed.data() + at, n, buf);
        at += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    d.status = kt::zip::Bzip2Stream(pull, Bzip2Collect(d));
    return d;
}

// The block splitter's reading of packed; reads reaching beyond byte
// failReadAt fail.
inline Bzip2Decoded Bzip2DecodeSplit(const std::string& packed, size_t failReadAt = SIZE_MAX,
                                     size_t stopAfter = SIZE_MAX) {
    Bzip2Decoded d;
    kt::zip::ReadAtFn read = [&](uint64_t at, uint8_t* buf, size_t n) {
        if (at + n > failReadAt) return false;
        std::copy_n(packed.data() + at, n, buf);
        return true;
    };
    d.status =
        kt::zip::DecodeBzip2Blocks(read, packed.size(), Bzip2Collect(d, stopAfter), &d.report);
    return d;
}

}  // namespace kt::ziptest
