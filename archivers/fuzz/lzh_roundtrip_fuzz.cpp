// libFuzzer target: see FuzzRoundTrip in lzh_fuzz_bodies.h.
#include "lzh_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzRoundTrip(data, size);
}
