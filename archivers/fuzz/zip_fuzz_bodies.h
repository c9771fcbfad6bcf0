// What the ZIP fuzz targets do with one input, shared by the libFuzzer
// targets and the corpus replay test of `make test`: the directory reader
// (the Zip64 end record included), the recovery scan and the entry decoder
// of every method, without and with a password (AES seeds use "pw"); and our
// inflater on raw streams; the bzip2 block splitter against the sequential
// decoder, and our bzip2 decoder against libbz2. Nothing may crash, hang or
// read out of bounds.
#pragma once

#include <bzlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "archivers/codecs/zip/zip_bzip2_blocks.h"
#include "archivers/zip_container/zip_extract.h"
#include "archivers/codecs/zip/zip_inflate.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "archivers/zip_container/zip_reader.h"

namespace kt::fuzz {

struct ZipCountingSink : kt::zip::ZipSink {
    bool Write(const uint8_t*, size_t n) override {
        total += n;
        return total < (64u << 20);  // a bomb stops here instead of running long
    }
    uint64_t total = 0;
};

inline void DecodeAll(const kt::zip::ByteSource& src, const kt::zip::ZipDirectory& dir) {
    size_t n = 0;
    for (const auto& e : dir.entries) {
        if (++n > 64) break;
        ZipCountingSink sink;
        kt::zip::ExtractEntry(src, e, {}, sink);
        ZipCountingSink sink2;
        kt::zip::ExtractEntry(src, e, "pw", sink2);
    }
}

inline int FuzzZipArchive(const uint8_t* data, size_t size) {
    kt::zip::MemorySource src(data, size);
    kt::zip::ZipDirectory dir;
    if (kt::zip::ReadZipDirectory(src, dir) == kt::zip::ZipStatus::Ok) DecodeAll(src, dir);
    if (kt::zip::ScanLocalHeaders(src, dir) == kt::zip::ZipStatus::Ok) DecodeAll(src, dir);
    return 0;
}

// Hands out data from pos on, in the pieces asked for.
inline kt::zip::PullFn PullFrom(const uint8_t* data, size_t size, size_t& pos) {
    return [data, size, &pos](uint8_t* buf, size_t n) -> std::ptrdiff_t {
        n = n < size - pos ? n : size - pos;
        for (size_t i = 0; i < n; ++i) buf[i] = data[pos + i];
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    };
}

// Byte 0 picks Deflate or Deflate64; the rest is the stream.
inline int FuzzInflate(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    size_t pos = 1;
    uint64_t out = 0;
    kt::zip::PullFn pull = PullFrom(data, size, pos);
    kt::zip::EmitFn emit = [&](const uint8_t*, size_t n) {
        out += n;
        return out < (64u << 20);
    };
    kt::zip::Inflate(
        data[0] & 1 ? kt::zip::DeflateVariant::Deflate64 : kt::zip::DeflateVariant::Deflate, pull,
        emit);
    return 0;
}

// The whole input is one bzip2 stream. Whatever the block decoder calls good
// the sequential decoder must call good, with the same bytes.
inline int FuzzBzip2Blocks(const uint8_t* data, size_t size) {
    constexpr size_t kMost = 64u << 20;
    std::string split, plain;
    kt::zip::ReadAtFn read = [&](uint64_t at, uint8_t* buf, size_t n) {
        for (size_t i = 0; i < n; ++i) buf[i] = data[at + i];
        return true;
    };
    kt::zip::EmitFn toSplit = [&](const uint8_t* d, size_t n) {
        split.append(reinterpret_cast<const char*>(d), n);
        return split.size() < kMost;
    };
    kt::zip::ZipStatus st = kt::zip::DecodeBzip2Blocks(read, size, toSplit);
    if (st != kt::zip::ZipStatus::Ok) return 0;
    size_t pos = 0;
    kt::zip::PullFn pull = PullFrom(data, size, pos);
    kt::zip::EmitFn toPlain = [&](const uint8_t* d, size_t n) {
        plain.append(reinterpret_cast<const char*>(d), n);
        return plain.size() < kMost;
    };
    if (kt::zip::Bzip2Stream(pull, toPlain) != kt::zip::ZipStatus::Ok || plain != split)
        std::abort();
    return 0;
}

// libbz2's reading of the first stream in data: the bytes it passes on (up
// to about `most`), and whether it reached a sound end.
inline bool Libbz2Reads(const uint8_t* data, size_t size, std::string& out, size_t most) {
    bz_stream z{};
    if (BZ2_bzDecompressInit(&z, 0, 0) != BZ_OK) return false;
    z.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(data));
    z.avail_in = static_cast<unsigned>(size);
    std::vector<char> buf(1 << 16);
    int r;
    do {
        z.next_out = buf.data();
        z.avail_out = static_cast<unsigned>(buf.size());
        r = BZ2_bzDecompress(&z);
        out.append(buf.data(), buf.size() - z.avail_out);
    } while (r == BZ_OK && out.size() < most && (z.avail_in > 0 || z.avail_out == 0));
    BZ2_bzDecompressEnd(&z);
    return r == BZ_STREAM_END;
}

// The whole input is one bzip2 stream. Our decoder calls it good exactly
// when libbz2 does, with the same bytes; on damage it passes on a part of
// what libbz2 passes on (never bytes of the failing block, which libbz2
// hands out before its CRC check).
inline int FuzzBzip2Decoder(const uint8_t* data, size_t size) {
    constexpr size_t kMost = 64u << 20;
    std::string ours, theirs;
    size_t pos = 0;
    kt::zip::PullFn pull = PullFrom(data, size, pos);
    kt::zip::EmitFn emit = [&](const uint8_t* d, size_t n) {
        ours.append(reinterpret_cast<const char*>(d), n);
        return ours.size() < kMost;
    };
    const bool oursGood = kt::zip::Bzip2Stream(pull, emit) == kt::zip::ZipStatus::Ok;
    const bool theirsGood = Libbz2Reads(data, size, theirs, kMost);
    // A bomb, cut short on both sides.
    if (ours.size() >= kMost || theirs.size() >= kMost) return 0;
    if (oursGood != theirsGood) std::abort();
    if (ours.size() > theirs.size() || theirs.compare(0, ours.size(), ours) != 0) std::abort();
    if (oursGood && ours.size() != theirs.size()) std::abort();
    return 0;
}

}  // namespace kt::fuzz
