#include "zip_extract.h"

#include <libdeflate.h>
#include <zlib.h>

#include <memory>
#include <optional>
#include <vector>

#include "zip_crypto.h"
#include "zip_reader.h"

namespace kt::zip {
namespace {

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

libdeflate_decompressor* Decompressor() {
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> d(
        libdeflate_alloc_decompressor());
    return d.get();
}

// The check value the 12-byte header ends with: the CRC's high bytes, or the
// DOS time when sizes and CRC follow the data.
uint16_t CheckValue(const ZipEntry& e) {
    return e.HasDescriptor() ? e.dosTime : static_cast<uint16_t>(e.crc >> 16);
}

// Opens the entry: locates the data, verifies the password and positions a
// decryptor after the encryption header.
ZipStatus Begin(const ByteSource& source, const ZipEntry& e, std::string_view password,
                uint64_t& dataAt, uint64_t& dataSize, std::optional<ZipCrypto>& crypto) {
    if (e.flags & 0x0040) return ZipStatus::Unsupported;  // strong encryption
    if (e.method != kMethodStored && e.method != kMethodDeflate) return ZipStatus::Unsupported;
    ZipStatus st = LocateEntryData(source, e, dataAt);
    if (st != ZipStatus::Ok) return st;
    dataSize = e.compressedSize;
    if (!e.IsEncrypted()) return ZipStatus::Ok;
    if (password.empty()) return ZipStatus::NeedPassword;
    if (dataSize < kCryptHeaderSize) return ZipStatus::Broken;
    uint8_t head[kCryptHeaderSize];
    if (!source.ReadAt(dataAt, head, sizeof head)) return ZipStatus::ReadError;
    crypto.emplace(password);
    uint8_t plain[kCryptHeaderSize];
    std::copy(head, head + kCryptHeaderSize, plain);
    crypto->Decrypt(plain, kCryptHeaderSize);
    if (plain[11] != static_cast<uint8_t>(CheckValue(e) >> 8)) return ZipStatus::BadPassword;
    dataAt += kCryptHeaderSize;
    dataSize -= kCryptHeaderSize;
    return ZipStatus::Ok;
}

ZipStatus WholeBuffer(const ByteSource& source, const ZipEntry& e, uint64_t dataAt,
                      uint64_t dataSize, std::optional<ZipCrypto>& crypto, ZipSink& sink) {
    std::vector<uint8_t> packed(dataSize);
    if (dataSize && !source.ReadAt(dataAt, packed.data(), dataSize)) return ZipStatus::ReadError;
    if (crypto) crypto->Decrypt(packed.data(), packed.size());
    const uint8_t* out = packed.data();
    std::vector<uint8_t> plain;
    if (e.method == kMethodDeflate) {
        plain.resize(e.uncompressedSize);
        size_t got = 0;
        auto r = libdeflate_deflate_decompress(Decompressor(), packed.data(), packed.size(),
                                               plain.data(), plain.size(), &got);
        if (r == LIBDEFLATE_INSUFFICIENT_SPACE) return ZipStatus::CrcMismatch;
        if (r != LIBDEFLATE_SUCCESS) return ZipStatus::Broken;
        if (got != e.uncompressedSize) return ZipStatus::CrcMismatch;
        out = plain.data();
    } else if (dataSize != e.uncompressedSize) {
        return ZipStatus::CrcMismatch;
    }
    size_t n = static_cast<size_t>(e.uncompressedSize);
    if (Crc32(0, out, n) != e.crc) return ZipStatus::CrcMismatch;
    if (n && !sink.Write(out, n)) return ZipStatus::Stopped;
    return ZipStatus::Ok;
}

ZipStatus Streamed(const ByteSource& source, const ZipEntry& e, uint64_t dataAt, uint64_t dataSize,
                   std::optional<ZipCrypto>& crypto, ZipSink& sink) {
    constexpr size_t kPiece = 256 << 10;
    std::vector<uint8_t> in(kPiece), out(kPiece);
    uint32_t crc = 0;
    uint64_t produced = 0;
    z_stream z{};
    bool deflate = e.method == kMethodDeflate;
    if (deflate && inflateInit2(&z, -MAX_WBITS) != Z_OK) return ZipStatus::Broken;
    struct Cleanup {
        z_stream* z;
        bool on;
        ~Cleanup() {
            if (on) inflateEnd(z);
        }
    } cleanup{&z, deflate};
    uint64_t read = 0;
    bool streamEnd = false;
    while (read < dataSize && !streamEnd) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, dataSize - read));
        if (!source.ReadAt(dataAt + read, in.data(), n)) return ZipStatus::ReadError;
        read += n;
        if (crypto) crypto->Decrypt(in.data(), n);
        if (!deflate) {
            crc = Crc32(crc, in.data(), n);
            produced += n;
            if (!sink.Write(in.data(), n)) return ZipStatus::Stopped;
            continue;
        }
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(n);
        while (z.avail_in > 0 || z.avail_out == 0) {
            z.next_out = out.data();
            z.avail_out = static_cast<uInt>(out.size());
            int r = inflate(&z, Z_NO_FLUSH);
            if (r != Z_OK && r != Z_STREAM_END && r != Z_BUF_ERROR) return ZipStatus::Broken;
            size_t got = out.size() - z.avail_out;
            if (got) {
                crc = Crc32(crc, out.data(), got);
                produced += got;
                if (produced > e.uncompressedSize) return ZipStatus::CrcMismatch;
                if (!sink.Write(out.data(), got)) return ZipStatus::Stopped;
            }
            if (r == Z_STREAM_END) {
                streamEnd = true;
                break;
            }
            if (r == Z_BUF_ERROR && got == 0) break;
        }
    }
    if (deflate && !streamEnd) return ZipStatus::Broken;
    if (produced != e.uncompressedSize || crc != e.crc) return ZipStatus::CrcMismatch;
    return ZipStatus::Ok;
}

}  // namespace

ZipStatus ExtractEntry(const ByteSource& source, const ZipEntry& entry, std::string_view password,
                       ZipSink& sink) {
    uint64_t dataAt = 0, dataSize = 0;
    std::optional<ZipCrypto> crypto;
    ZipStatus st = Begin(source, entry, password, dataAt, dataSize, crypto);
    if (st != ZipStatus::Ok) return st;
    if (dataSize <= kWholeBufferLimit && entry.uncompressedSize <= kWholeBufferLimit)
        return WholeBuffer(source, entry, dataAt, dataSize, crypto, sink);
    return Streamed(source, entry, dataAt, dataSize, crypto, sink);
}

ZipStatus CheckPassword(const ByteSource& source, const ZipEntry& entry,
                        std::string_view password) {
    uint64_t dataAt = 0, dataSize = 0;
    std::optional<ZipCrypto> crypto;
    return Begin(source, entry, password, dataAt, dataSize, crypto);
}

}  // namespace kt::zip
