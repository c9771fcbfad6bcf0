// What the ARJ fuzz targets do with one input, shared by the libFuzzer
// targets and the corpus replay test of `make test`: neither may crash,
// hang or read out of bounds, whatever the bytes.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "archivers/codecs/lzh/arj_decoder.h"
#include "archivers/unarj32j/arj_archive.h"
#include "lzh_fuzz_bodies.h"

namespace kt::fuzz {

// The input as an archive (the reader works on a file: an anonymous one in
// memory); every member decoded, sizes capped.
inline int FuzzArjArchive(const uint8_t* data, std::size_t size) {
    int fd = memfd_create("arj", MFD_CLOEXEC);
    if (fd < 0) return 0;
    bool written = write(fd, data, size) == static_cast<ssize_t>(size);
    kt::unarj::ArjFile file;
    if (written && file.Open("/proc/self/fd/" + std::to_string(fd)) && file.ReadListing() == 0) {
        for (const kt::unarj::ArjMember& m : file.Members()) {
            kt::unarj::ArjMemberSource src(file, m);
            NullSink sink;
            uint64_t cap = m.originalSize < (1u << 20) ? m.originalSize : (1u << 20);
            kt::lzh::DecodeArj(m.method, src, sink, cap);
            if (sink.total > cap) __builtin_trap();
        }
    }
    close(fd);
    return 0;
}

// The input as packed data: byte 0 picks the method (0-4), bytes 1-3 the size.
inline int FuzzArjDecoder(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    uint64_t want = data[1] | data[2] << 8 | (data[3] & 0x0F) << 16;
    kt::lzh::MemorySource src(data + 4, size - 4);
    NullSink sink;
    kt::lzh::DecodeResult r = kt::lzh::DecodeArj(data[0] % 5, src, sink, want);
    if (sink.total > want || (r.status == kt::lzh::Status::Ok && sink.total != want))
        __builtin_trap();
    return 0;
}

}  // namespace kt::fuzz
