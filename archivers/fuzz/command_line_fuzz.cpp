// libFuzzer target over one library's command-line parser, chosen at build
// time with KT_FUZZ_PARSER (a kt::fuzz::Parser value). A refusal without a
// reason counts as a finding too.
#include <cstdlib>

#include "command_line_fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    bool explained = true;
    kt::fuzz::ParseCommandLine(static_cast<kt::fuzz::Parser>(KT_FUZZ_PARSER), data, size,
                               &explained);
    if (!explained) std::abort();
    return 0;
}
