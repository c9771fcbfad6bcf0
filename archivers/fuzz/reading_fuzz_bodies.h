// The body of the fuzz targets of the reading libraries (tar32.dll,
// CAB32.DLL, UNRAR32.DLL, BGA32.DLL): the input as an archive file, every
// header read, every member's data decoded and checked, every name cleaned
// as extraction would. Shared by the libFuzzer targets and the corpus
// replay of `make test`.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>

#include "archivers/common/safe_path.h"
#include "archivers/unpack/archive_reader.h"

namespace kt::fuzz {

inline int FuzzReading(const kt::unpack::ReadingFormats& formats, const uint8_t* data,
                       size_t size) {
    int fd = memfd_create("kt-fuzz-archive", MFD_CLOEXEC);
    if (fd < 0) return 0;
    for (size_t done = 0; done < size;) {
        ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    std::unique_ptr<kt::unpack::MemberSource> reader = kt::unpack::MakeReader(formats);
    std::string error;
    if (reader->Open("/proc/self/fd/" + std::to_string(fd), &error) == 0) {
        kt::unpack::Member m;
        char block[4096];
        for (int i = 0; i < 10000 && reader->Next(&m, &error) == 0; ++i) {
            kt::arc::SafeRelativePath(m.name);
            kt::arc::SafeRelativePath(m.link);
            while (reader->Read(block, sizeof block, &error) > 0) {
            }
        }
        reader->CheckRest(&error);
    }
    ::close(fd);
    return 0;
}

}  // namespace kt::fuzz
