// The fuzz body of the ZIP reading side, shared by the libFuzzer target
// and the seed replay of `make test`: the directory reader, the recovery
// scan and the entry decoder (with and without a password) on arbitrary
// bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zip_extract.h"
#include "zip_reader.h"

namespace kt::zip::fuzz_detail {

struct CountingSink : kt::zip::ZipSink {
    bool Write(const uint8_t*, size_t n) override {
        total += n;
        return total < (64u << 20);  // a bomb stops here instead of running long
    }
    uint64_t total = 0;
};

inline void DecodeAll(const kt::zip::ByteSource& src, const kt::zip::ZipDirectory& dir) {
    size_t n = 0;
    for (const auto& e : dir.entries) {
        if (++n > 64) break;
        CountingSink sink;
        kt::zip::ExtractEntry(src, e, {}, sink);
        CountingSink sink2;
        kt::zip::ExtractEntry(src, e, "pw", sink2);
    }
}

}  // namespace kt::zip::fuzz_detail

namespace kt::zip {

// Reads everything the bytes hold; true when the central directory read.
inline bool FuzzZipReader(const uint8_t* data, size_t size) {
    kt::zip::MemorySource src(data, size);
    kt::zip::ZipDirectory dir;
    bool read = kt::zip::ReadZipDirectory(src, dir) == kt::zip::ZipStatus::Ok;
    if (read) fuzz_detail::DecodeAll(src, dir);
    if (kt::zip::ScanLocalHeaders(src, dir) == kt::zip::ZipStatus::Ok)
        fuzz_detail::DecodeAll(src, dir);
    return read;
}

}  // namespace kt::zip
