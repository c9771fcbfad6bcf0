// libFuzzer target for the reading side: see FuzzZipArchive in
// archivers/fuzz/zip_fuzz_bodies.h. Seeds live in tests/archivers/zip/fuzz_corpus/archive.
#include "archivers/fuzz/zip_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzZipArchive(data, size);
}
