// libFuzzer target: see FuzzArjArchive in arj_fuzz_bodies.h.
#include "arj_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzArjArchive(data, size);
}
