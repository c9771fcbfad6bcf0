#include "archivers/zip_container/zip_extract.h"

#include <libdeflate.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/core_budget.h"
#include "archivers/codecs/zip/zip_aes.h"
#include "archivers/codecs/zip/zip_bzip2_blocks.h"
#include "archivers/codecs/zip/zip_crypto.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "archivers/zip_container/zip_reader.h"

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

// An entry ready to decode: where its packed bytes are, the method they
// hold and the decryption in front of them.
struct Opened {
    uint64_t dataAt = 0, dataSize = 0;
    uint16_t method = kMethodStored;
    std::optional<ZipCrypto> crypto;
    std::optional<AesInfo> aesInfo;
    std::unique_ptr<AesDecryptor> aes;
};

// Locates the data, checks the method and the password, and positions the
// decryption after its header (ZipCrypto's 12 bytes, AES's salt and verifier).
ZipStatus Begin(const ByteSource& source, const ZipEntry& e, std::string_view password, Opened& o) {
    if (e.flags & 0x0040) return ZipStatus::Unsupported;  // strong encryption
    o.method = e.method;
    if (e.method == kMethodAes) {
        o.aesInfo = FindAesInfo(e.extraCentral);
        if (!o.aesInfo) o.aesInfo = FindAesInfo(e.extraLocal);
        if (!o.aesInfo) return ZipStatus::Broken;
        o.method = o.aesInfo->method;
    }
    if (!MethodSupported(o.method)) return ZipStatus::Unsupported;
    ZipStatus st = LocateEntryData(source, e, o.dataAt);
    if (st != ZipStatus::Ok) return st;
    o.dataSize = e.compressedSize;
    if (o.aesInfo) {
        if (password.empty()) return ZipStatus::NeedPassword;
        const size_t head = o.aesInfo->SaltSize() + kAesVerifierSize;
        if (o.dataSize < head + kAesMacSize) return ZipStatus::Broken;
        uint8_t buf[16 + kAesVerifierSize];
        if (!source.ReadAt(o.dataAt, buf, head)) return ZipStatus::ReadError;
        o.aes = AesDecryptor::Open(*o.aesInfo, password, buf, buf + o.aesInfo->SaltSize());
        if (!o.aes) return ZipStatus::BadPassword;
        o.dataAt += head;
        o.dataSize -= head + kAesMacSize;
        return ZipStatus::Ok;
    }
    if (!e.IsEncrypted()) return ZipStatus::Ok;
    if (password.empty()) return ZipStatus::NeedPassword;
    if (o.dataSize < kCryptHeaderSize) return ZipStatus::Broken;
    uint8_t head[kCryptHeaderSize];
    if (!source.ReadAt(o.dataAt, head, sizeof head)) return ZipStatus::ReadError;
    o.crypto.emplace(password);
    o.crypto->Decrypt(head, kCryptHeaderSize);
    if (head[11] != static_cast<uint8_t>(CheckValue(e) >> 8)) return ZipStatus::BadPassword;
    o.dataAt += kCryptHeaderSize;
    o.dataSize -= kCryptHeaderSize;
    return ZipStatus::Ok;
}

ZipStatus WholeBuffer(const ByteSource& source, const ZipEntry& e, Opened& o, ZipSink& sink) {
    std::vector<uint8_t> packed(o.dataSize);
    if (o.dataSize && !source.ReadAt(o.dataAt, packed.data(), o.dataSize))
        return ZipStatus::ReadError;
    if (o.crypto) o.crypto->Decrypt(packed.data(), packed.size());
    const uint8_t* out = packed.data();
    std::vector<uint8_t> plain;
    if (o.method == kMethodDeflate) {
        plain.resize(e.uncompressedSize);
        size_t got = 0;
        auto r = libdeflate_deflate_decompress(Decompressor(), packed.data(), packed.size(),
                                               plain.data(), plain.size(), &got);
        if (r == LIBDEFLATE_INSUFFICIENT_SPACE) return ZipStatus::CrcMismatch;
        if (r != LIBDEFLATE_SUCCESS) return ZipStatus::Broken;
        if (got != e.uncompressedSize) return ZipStatus::CrcMismatch;
        out = plain.data();
    } else if (o.dataSize != e.uncompressedSize) {
        return ZipStatus::CrcMismatch;
    }
    size_t n = static_cast<size_t>(e.uncompressedSize);
    if (Crc32(0, out, n) != e.crc) return ZipStatus::CrcMismatch;
    if (n && !sink.Write(out, n)) return ZipStatus::Stopped;
    return ZipStatus::Ok;
}

// Any method, any decryption, in pieces of bounded size. With AES the MAC
// is compared after the last packed byte, before the entry is called good;
// AE-2 entries carry no CRC, the MAC alone vouches for them.
ZipStatus Streamed(const ByteSource& source, const ZipEntry& e, Opened& o, ZipSink& sink) {
    uint64_t read = 0;
    bool readFailed = false;
    PullFn pull = [&](uint8_t* buf, size_t n) -> std::ptrdiff_t {
        n = static_cast<size_t>(std::min<uint64_t>(n, o.dataSize - read));
        if (n == 0) return 0;
        if (!source.ReadAt(o.dataAt + read, buf, n)) {
            readFailed = true;
            return -1;
        }
        read += n;
        if (o.crypto) o.crypto->Decrypt(buf, n);
        if (o.aes) o.aes->Decrypt(buf, n);
        return static_cast<std::ptrdiff_t>(n);
    };
    uint32_t crc = 0;
    uint64_t produced = 0;
    bool tooLong = false;
    EmitFn emit = [&](const uint8_t* data, size_t n) {
        produced += n;
        if (produced > e.uncompressedSize) {
            tooLong = true;
            return false;
        }
        crc = Crc32(crc, data, n);
        return sink.Write(data, n);
    };
    ZipStatus st;
    if (o.method == kMethodBzip2 && !o.crypto && !o.aes && o.dataSize >= kBzip2SplitMin &&
        CoreCount() > 1) {
        // Plain bzip2 can be read anywhere, so its blocks can be shared out.
        ReadAtFn read = [&](uint64_t at, uint8_t* buf, size_t n) {
            return source.ReadAt(o.dataAt + at, buf, n);
        };
        st = DecodeBzip2Blocks(read, o.dataSize, emit);
    } else {
        st = DecodeMethod(o.method, e.flags, e.uncompressedSize, pull, emit);
    }
    if (tooLong) st = ZipStatus::CrcMismatch;
    if (o.aes && !readFailed) {
        std::vector<uint8_t> rest(64 << 10);
        while (pull(rest.data(), rest.size()) > 0) {
        }
        uint8_t mac[kAesMacSize];
        if (!source.ReadAt(o.dataAt + o.dataSize, mac, sizeof mac)) return ZipStatus::ReadError;
        if (!o.aes->Authentic(mac)) return ZipStatus::AuthFailed;
    }
    if (st != ZipStatus::Ok) return st;
    if (produced != e.uncompressedSize) return ZipStatus::CrcMismatch;
    const bool crcStored = !o.aesInfo || o.aesInfo->version == 1;
    if (crcStored && crc != e.crc) return ZipStatus::CrcMismatch;
    return ZipStatus::Ok;
}

}  // namespace

ZipStatus ExtractEntry(const ByteSource& source, const ZipEntry& entry, std::string_view password,
                       ZipSink& sink) {
    Opened o;
    ZipStatus st = Begin(source, entry, password, o);
    if (st != ZipStatus::Ok) return st;
    const bool simple = !o.aes && (o.method == kMethodStored || o.method == kMethodDeflate);
    if (simple && o.dataSize <= kWholeBufferLimit && entry.uncompressedSize <= kWholeBufferLimit)
        return WholeBuffer(source, entry, o, sink);
    return Streamed(source, entry, o, sink);
}

std::string FailureText(const ZipEntry& entry, ZipStatus status) {
    if (status != ZipStatus::Unsupported) return ZipStatusText(status);
    if (entry.flags & 0x0040) return "unsupported encryption (PKWARE strong encryption)";
    uint16_t method = entry.method;
    if (method == kMethodAes) {
        auto info = FindAesInfo(entry.extraCentral);
        if (info) method = info->method;
    }
    return "unsupported compression method " + std::to_string(method) + " (" + MethodName(method) +
           ")";
}

ZipStatus CheckPassword(const ByteSource& source, const ZipEntry& entry,
                        std::string_view password) {
    Opened o;
    return Begin(source, entry, password, o);
}

}  // namespace kt::zip
