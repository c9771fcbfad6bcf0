// libFuzzer target for the bzip2 block decoder: see FuzzBzip2Blocks in
// archivers/fuzz/zip_fuzz_bodies.h. Seeds live in tests/archivers/zip/fuzz_corpus/bzip2.
#include "archivers/fuzz/zip_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzBzip2Blocks(data, size);
}
