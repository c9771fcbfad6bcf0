// libFuzzer target for the reading side: the directory reader, the recovery
// scan and the entry decoder (with and without a password) on arbitrary
// bytes. Any crash, hang or sanitizer report is a bug. Seeds live in
// tests/archivers/zip/fuzz_corpus.
#include <cstddef>
#include <cstdint>

#include "zip_extract.h"
#include "zip_reader.h"

namespace {

struct CountingSink : kt::zip::ZipSink {
    bool Write(const uint8_t*, size_t n) override {
        total += n;
        return total < (64u << 20);  // a bomb stops here instead of running long
    }
    uint64_t total = 0;
};

void DecodeAll(const kt::zip::ByteSource& src, const kt::zip::ZipDirectory& dir) {
    size_t n = 0;
    for (const auto& e : dir.entries) {
        if (++n > 64) break;
        CountingSink sink;
        kt::zip::ExtractEntry(src, e, {}, sink);
        CountingSink sink2;
        kt::zip::ExtractEntry(src, e, "pw", sink2);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kt::zip::MemorySource src(data, size);
    kt::zip::ZipDirectory dir;
    if (kt::zip::ReadZipDirectory(src, dir) == kt::zip::ZipStatus::Ok) DecodeAll(src, dir);
    if (kt::zip::ScanLocalHeaders(src, dir) == kt::zip::ZipStatus::Ok) DecodeAll(src, dir);
    return 0;
}
