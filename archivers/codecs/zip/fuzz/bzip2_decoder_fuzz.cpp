// libFuzzer target for our bzip2 decoder against libbz2: see
// FuzzBzip2Decoder in archivers/fuzz/zip_fuzz_bodies.h. Seeds live in
// tests/archivers/zip/fuzz_corpus/bzip2_decoder.
#include "archivers/fuzz/zip_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzBzip2Decoder(data, size);
}
