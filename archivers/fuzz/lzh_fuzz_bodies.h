// What the LZH fuzz targets do with one input, shared by the libFuzzer
// targets and the corpus replay test of `make test`. Each body must neither
// crash, hang nor read out of bounds, whatever the bytes.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/codecs/lzh/lzh_method.h"
#include "archivers/unlha32/lzh_header.h"

namespace kt::fuzz {

class MemoryBytes : public kt::unlha::ByteReader {
public:
    MemoryBytes(const uint8_t* d, std::size_t n) : d_(d), n_(n) {}
    long long ReadAt(uint64_t off, void* buf, std::size_t n) override {
        if (off >= n_) return 0;
        if (n > n_ - off) n = static_cast<std::size_t>(n_ - off);
        std::memcpy(buf, d_ + off, n);
        return static_cast<long long>(n);
    }

private:
    const uint8_t* d_;
    std::size_t n_;
};

class NullSink : public kt::lzh::Sink {
public:
    bool Write(const uint8_t*, std::size_t n) override {
        total += n;
        return true;
    }
    uint64_t total = 0;
};

// The input as an archive: every header is read and every member decoded
// (sizes capped so one input stays fast).
inline int FuzzArchive(const uint8_t* data, std::size_t size) {
    MemoryBytes in(data, size);
    uint64_t off = 0;
    for (int i = 0; i < 64; ++i) {
        kt::unlha::MemberHeader h;
        if (kt::unlha::ReadHeader(in, off, &h) != 0) break;
        if (h.dataOffset > size || h.packedSize > size - h.dataOffset) break;
        if (auto m = kt::lzh::FindMethod(h.method)) {
            kt::lzh::MemorySource src(data + h.dataOffset, static_cast<std::size_t>(h.packedSize));
            NullSink sink;
            uint64_t cap = h.originalSize < (1u << 20) ? h.originalSize : (1u << 20);
            kt::lzh::DecodeMember(*m, src, sink, cap);
            if (sink.total > cap) __builtin_trap();
        }
        off = h.dataOffset + h.packedSize;
    }
    return 0;
}

// The input as a packed stream: byte 0 picks the method, bytes 1-3 the size.
inline int FuzzDecoder(const uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    static const char* const kIds[] = {"-lh5-", "-lh6-", "-lh7-", "-lhx-", "-lh4-", "-lzs-",
                                       "-lz5-", "-lh0-", "-lh1-", "-lh2-", "-lh3-"};
    auto m = kt::lzh::FindMethod(kIds[data[0] % (sizeof kIds / sizeof kIds[0])]);
    uint64_t want = data[1] | data[2] << 8 | (data[3] & 0x0F) << 16;
    kt::lzh::MemorySource src(data + 4, size - 4);
    NullSink sink;
    kt::lzh::DecodeResult r = kt::lzh::DecodeMember(*m, src, sink, want);
    if (sink.total > want || (r.status == kt::lzh::Status::Ok && sink.total != want))
        __builtin_trap();
    return 0;
}

// The input packed and unpacked again must come back unchanged.
inline int FuzzRoundTrip(const uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    static const char* const kIds[] = {"-lh5-", "-lh6-", "-lh7-"};
    kt::lzh::EncodeOptions o;
    kt::lzh::OptionsForMethod(kIds[data[0] % 3], &o);
    o.effort = static_cast<kt::lzh::Effort>((data[0] / 3) % 3);
    o.sizeHint = size - 1;
    kt::lzh::MemorySource src(data + 1, size - 1);
    kt::lzh::VectorSink packed;
    if (kt::lzh::Encode(o, src, packed).status != kt::lzh::Status::Ok) __builtin_trap();
    kt::lzh::MemorySource psrc(packed.bytes.data(), packed.bytes.size());
    kt::lzh::VectorSink back;
    auto r = kt::lzh::DecodeMember(*kt::lzh::FindMethod(kIds[data[0] % 3]), psrc, back, size - 1);
    if (r.status != kt::lzh::Status::Ok || back.bytes.size() != size - 1 ||
        std::memcmp(back.bytes.data(), data + 1, size - 1) != 0) {
        __builtin_trap();
    }
    return 0;
}

}  // namespace kt::fuzz
