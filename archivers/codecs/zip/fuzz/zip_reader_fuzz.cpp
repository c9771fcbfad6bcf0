// libFuzzer target for the ZIP reading side. Any crash, hang or sanitizer
// report is a bug. Seeds live in tests/archivers/zip/fuzz_corpus.
#include "zip_reader_fuzz_body.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kt::zip::FuzzZipReader(data, size);
    return 0;
}
