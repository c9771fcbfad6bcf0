// libFuzzer target over UNRAR32.DLL's own header scanner (the facts
// libarchive does not give: stored CRCs, encryption). The input is handed
// over as a file through a memory file descriptor, as the scanner reads a
// path.
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "archivers/unrar32/rar_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    int fd = memfd_create("rar", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (write(fd, data, size) == static_cast<ssize_t>(size)) {
        std::vector<kt::unpack::MemberFacts> facts;
        kt::unrar32::ScanRarHeaders("/proc/self/fd/" + std::to_string(fd), &facts);
    }
    close(fd);
    return 0;
}
