// libFuzzer target over one reading library's formats (KT_FUZZ_FORMATS,
// set by the build): see FuzzReading in reading_fuzz_bodies.h.
#include "archivers/bga32/bga_reader.h"
#include "archivers/cab32/cab_formats.h"
#include "archivers/tar32/tar_kind.h"
#include "archivers/unrar32/rar_headers.h"
#include "reading_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return kt::fuzz::FuzzReading(KT_FUZZ_FORMATS, data, size);
}
