#include "archivers/zip_container/zip_writer.h"

#include "archivers/codecs/zip/deflate_levels.h"

#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>

#include "archivers/codecs/zip/zip_aes.h"
#include "archivers/codecs/zip/zip_crypto.h"
#include "archivers/zip_container/zip_extract.h"
#include "archivers/codecs/zip/zip_methods.h"
#include "archivers/zip_container/zip_names.h"
#include "archivers/zip_container/zip_piece_pool.h"
#include "archivers/zip_container/zip_reader.h"

namespace kt::zip {
namespace {

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// One compressor per libdeflate level, kept for the life of the thread: allocating one
// costs more than compressing a small file.
libdeflate_compressor* Compressor(int level) {
    thread_local std::array<std::unique_ptr<libdeflate_compressor, CompressorDeleter>, 10> cache;
    auto& c = cache[static_cast<size_t>(level)];
    if (!c) c.reset(libdeflate_alloc_compressor(level));
    return c.get();
}

// Flag bit 11 only for real UTF-8; other bytes (a legacy file name on disk)
// are stored as they are, for readers to take in their legacy code page.
void SetName(ZipEntry& e) {
    e.rawName = e.name;
    if (IsAscii(e.name) || !IsValidUtf8(e.name))
        e.flags &= static_cast<uint16_t>(~kFlagUtf8);
    else
        e.flags |= kFlagUtf8;
}

uint16_t NeededVersion(const ZipEntry& e, bool zip64) {
    uint16_t v = 10;
    if (e.method == kMethodDeflate || e.IsEncrypted() || e.IsDirectory()) v = 20;
    if (e.IsDirectory() && !e.IsEncrypted() && e.method == kMethodStored) v = 10;
    if (zip64) v = 45;
    if (e.method == kMethodAes) v = 51;
    return v;
}

// Makes e a WinZip AE-2 entry: method 99, the real method in the AES block
// of both headers, and no CRC (the MAC vouches for the data instead).
void MarkAes(ZipEntry& e, int strength) {
    const std::string block = AesExtraBlock(strength, e.method);
    e.extraLocal += block;
    e.extraCentral += block;
    e.method = kMethodAes;
    e.flags |= kFlagEncrypted;
    e.crc = 0;
}

bool NeedsZip64Sizes(const ZipEntry& e) {
    return e.compressedSize >= kMax32 || e.uncompressedSize >= kMax32;
}

std::string Descriptor(const ZipEntry& e, bool zip64) {
    std::string d;
    Put32(d, kDescriptorSig);
    Put32(d, e.crc);
    if (zip64) {
        Put64(d, e.compressedSize);
        Put64(d, e.uncompressedSize);
    } else {
        Put32(d, static_cast<uint32_t>(e.compressedSize));
        Put32(d, static_cast<uint32_t>(e.uncompressedSize));
    }
    return d;
}

}  // namespace

uint16_t LevelFlags(int level) {
    if (level >= 8) return 2;
    if (level == 2) return 4;
    if (level == 1) return 6;
    return 0;
}

bool ZipWriter::WriteLocal(const ZipEntry& e, bool zip64) {
    std::string h;
    h.reserve(kLocalHeaderSize + e.rawName.size() + 20 + e.extraLocal.size());
    Put32(h, kLocalSig);
    Put16(h, NeededVersion(e, zip64));
    Put16(h, e.flags);
    Put16(h, e.method);
    Put16(h, e.dosTime);
    Put16(h, e.dosDate);
    Put32(h, e.crc);
    Put32(h, zip64 ? kMax32 : static_cast<uint32_t>(e.compressedSize));
    Put32(h, zip64 ? kMax32 : static_cast<uint32_t>(e.uncompressedSize));
    Put16(h, static_cast<uint16_t>(e.rawName.size()));
    Put16(h, static_cast<uint16_t>((zip64 ? 20 : 0) + e.extraLocal.size()));
    h += e.rawName;
    if (zip64) {
        Put16(h, kExtraZip64);
        Put16(h, 16);
        Put64(h, e.uncompressedSize);
        Put64(h, e.compressedSize);
    }
    h += e.extraLocal;
    return out_.Write(h.data(), h.size());
}

ZipStatus ZipWriter::AddBuffer(ZipEntry e, const uint8_t* data, size_t size,
                               const WriteOptions& opt) {
    if (e.rawName.size() > kMax16 || e.extraLocal.size() > 0xFF00 || e.extraCentral.size() > 0xFF00)
        return ZipStatus::TooBig;
    SetName(e);
    e.flags &= kFlagUtf8;
    e.uncompressedSize = size;
    e.crc = Crc32(0, data, size);
    e.localOffset = out_.Position();

    // Written over before it is read: no zero fill (a file's worth per file).
    std::unique_ptr<uint8_t[]> packed;
    const uint8_t* body = data;
    size_t bodySize = size;
    e.method = kMethodStored;
    if (opt.level > 0 && size > 0 && !e.IsDirectory()) {
        int level = std::clamp(opt.level, 1, 9);
        libdeflate_compressor* c = Compressor(DeflateLevelFor(level));
        if (!c) return ZipStatus::WriteError;
        const size_t bound = libdeflate_deflate_compress_bound(c, size);
        packed = std::make_unique_for_overwrite<uint8_t[]>(bound);
        size_t n = libdeflate_deflate_compress(c, data, size, packed.get(), bound);
        if (n > 0 && n < size) {
            body = packed.get();
            bodySize = n;
            e.method = kMethodDeflate;
            e.flags |= LevelFlags(level);
        }
    }
    std::optional<ZipCrypto> crypto;
    std::unique_ptr<AesEncryptor> aes;
    uint8_t head[16 + kAesVerifierSize], mac[kAesMacSize];
    size_t headSize = 0;
    if (!opt.password.empty() && !e.IsDirectory()) {
        e.flags |= kFlagEncrypted;
        if (body == data) {
            packed = std::make_unique_for_overwrite<uint8_t[]>(size);
            if (size) std::memcpy(packed.get(), data, size);
        }
        body = packed.get();
        if (opt.aesStrength > 0) {
            aes = AesEncryptor::Create(opt.aesStrength, opt.password, head);
            if (!aes) return ZipStatus::WriteError;
            headSize = AesEncryptor::HeadSize(opt.aesStrength);
            MarkAes(e, opt.aesStrength);
            aes->Encrypt(packed.get(), bodySize);
            if (!aes->Finish(mac)) return ZipStatus::WriteError;
        } else {
            crypto.emplace(opt.password);
            if (!crypto->MakeHeader(static_cast<uint16_t>(e.crc >> 16), head))
                return ZipStatus::WriteError;
            headSize = kCryptHeaderSize;
            crypto->Encrypt(packed.get(), bodySize);
        }
    }
    e.compressedSize = headSize + bodySize + (aes ? kAesMacSize : 0);
    bool zip64 = NeedsZip64Sizes(e);
    e.versionNeeded = NeededVersion(e, zip64);
    if (!WriteLocal(e, zip64)) return ZipStatus::WriteError;
    if (headSize && !out_.Write(head, headSize)) return ZipStatus::WriteError;
    if (bodySize && !out_.Write(body, bodySize)) return ZipStatus::WriteError;
    if (aes && !out_.Write(mac, sizeof mac)) return ZipStatus::WriteError;
    entries_.push_back(std::move(e));
    return ZipStatus::Ok;
}

ZipStatus ZipWriter::AddSource(ZipEntry meta, const ByteSource& source, const WriteOptions& opt,
                               const ProgressFn& progress) {
    uint64_t size = source.Size();
    if (size > kWholeFileLimit) return Streamed(std::move(meta), source, opt, progress);
    auto data = std::make_unique_for_overwrite<uint8_t[]>(size);
    if (size && !source.ReadAt(0, data.get(), size)) return ZipStatus::ReadError;
    if (progress && !progress(size)) return ZipStatus::Stopped;
    return AddBuffer(std::move(meta), data.get(), size, opt);
}

ZipStatus ZipWriter::Streamed(ZipEntry e, const ByteSource& source, const WriteOptions& opt,
                              const ProgressFn& progress) {
    if (e.rawName.size() > kMax16 || e.extraLocal.size() > 0xFF00) return ZipStatus::TooBig;
    SetName(e);
    e.flags &= kFlagUtf8;
    const uint64_t size = source.Size();
    const int level = std::clamp(opt.level, 0, 9);
    e.method = level > 0 ? kMethodDeflate : kMethodStored;
    if (level > 0) e.flags |= LevelFlags(level);
    const bool aesWanted = !opt.password.empty() && opt.aesStrength > 0;
    const bool encrypt = !opt.password.empty() && !aesWanted;
    // The CRC is not known before the data, so a ZipCrypto entry checks the
    // password against the DOS time and carries its sizes after the data.
    if (encrypt) e.flags |= kFlagEncrypted | kFlagDescriptor;
    if (aesWanted) MarkAes(e, opt.aesStrength);
    // Room for Zip64 sizes in the local header whenever they could be needed.
    const bool zip64 = size >= 0xFE000000ull;
    e.localOffset = out_.Position();
    e.crc = 0;
    e.compressedSize = 0;
    e.uncompressedSize = 0;
    if (!WriteLocal(e, zip64)) return ZipStatus::WriteError;

    std::optional<ZipCrypto> crypto;
    if (encrypt) {
        crypto.emplace(opt.password);
        uint8_t head[kCryptHeaderSize];
        if (!crypto->MakeHeader(e.dosTime, head) || !out_.Write(head, sizeof head))
            return ZipStatus::WriteError;
        e.compressedSize = kCryptHeaderSize;
    }
    std::unique_ptr<AesEncryptor> aes;
    if (aesWanted) {
        uint8_t head[16 + kAesVerifierSize];
        aes = AesEncryptor::Create(opt.aesStrength, opt.password, head);
        const size_t headSize = AesEncryptor::HeadSize(opt.aesStrength);
        if (!aes || !out_.Write(head, headSize)) return ZipStatus::WriteError;
        e.compressedSize = headSize;
    }

    // Pieces are deflated independently and joined into one stream (the
    // window restarts at each piece, a few bytes per piece), so several are
    // deflated at once. Encryption, output and progress stay on this thread,
    // in order.
    PiecePool pieces(source, DeflateLevelFor(level), kMaxWorkers);
    PiecePool::Piece piece;
    uint64_t done = 0;
    while (pieces.Next(piece)) {
        e.crc = static_cast<uint32_t>(
            crc32_combine(e.crc, piece.crc, static_cast<z_off_t>(piece.rawSize)));
        if (crypto) crypto->Encrypt(piece.data, piece.size);
        if (aes) aes->Encrypt(piece.data, piece.size);
        e.compressedSize += piece.size;
        if (piece.size && !out_.Write(piece.data, piece.size)) return ZipStatus::WriteError;
        done += piece.rawSize;
        if (progress && !progress(done)) return ZipStatus::Stopped;
    }
    if (pieces.Status() != ZipStatus::Ok) return pieces.Status();
    if (aes) {
        uint8_t mac[kAesMacSize];
        if (!aes->Finish(mac) || !out_.Write(mac, sizeof mac)) return ZipStatus::WriteError;
        e.compressedSize += kAesMacSize;
        e.crc = 0;
    }
    e.uncompressedSize = size;
    if (!zip64 && NeedsZip64Sizes(e)) return ZipStatus::TooBig;
    e.versionNeeded = NeededVersion(e, zip64);

    // Patch CRC and sizes into the local header, then the descriptor.
    uint8_t fix[12];
    Store32(fix, e.crc);
    Store32(fix + 4, zip64 ? kMax32 : static_cast<uint32_t>(e.compressedSize));
    Store32(fix + 8, zip64 ? kMax32 : static_cast<uint32_t>(e.uncompressedSize));
    if (!out_.WriteAt(e.localOffset + 14, fix, sizeof fix)) return ZipStatus::WriteError;
    if (zip64) {
        std::string sizes;
        Put64(sizes, e.uncompressedSize);
        Put64(sizes, e.compressedSize);
        uint64_t at = e.localOffset + kLocalHeaderSize + e.rawName.size() + 4;
        if (!out_.WriteAt(at, sizes.data(), sizes.size())) return ZipStatus::WriteError;
    }
    if (e.HasDescriptor()) {
        std::string d = Descriptor(e, zip64);
        if (!out_.Write(d.data(), d.size())) return ZipStatus::WriteError;
    }
    entries_.push_back(std::move(e));
    return ZipStatus::Ok;
}

ZipStatus ZipWriter::CopyEntry(const ByteSource& from, const ZipEntry& entry) {
    uint64_t dataAt = 0;
    ZipStatus st = LocateEntryData(from, entry, dataAt);
    if (st != ZipStatus::Ok) return st;
    ZipEntry e = entry;
    e.localOffset = out_.Position();
    bool zip64 = NeedsZip64Sizes(e);
    if (!WriteLocal(e, zip64)) return ZipStatus::WriteError;
    constexpr size_t kPiece = 1 << 20;
    std::vector<uint8_t> buf(static_cast<size_t>(std::min<uint64_t>(kPiece, e.compressedSize)));
    for (uint64_t done = 0; done < e.compressedSize;) {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kPiece, e.compressedSize - done));
        if (!from.ReadAt(dataAt + done, buf.data(), n)) return ZipStatus::ReadError;
        if (!out_.Write(buf.data(), n)) return ZipStatus::WriteError;
        done += n;
    }
    if (e.HasDescriptor()) {
        std::string d = Descriptor(e, zip64);
        if (!out_.Write(d.data(), d.size())) return ZipStatus::WriteError;
    }
    entries_.push_back(std::move(e));
    return ZipStatus::Ok;
}

ZipStatus ZipWriter::Finish(std::string_view comment) {
    const uint64_t cdStart = out_.Position();
    std::string cd;
    for (const ZipEntry& e : entries_) {
        bool bigU = e.uncompressedSize >= kMax32, bigC = e.compressedSize >= kMax32,
             bigO = e.localOffset >= kMax32;
        std::string z64;
        if (bigU) Put64(z64, e.uncompressedSize);
        if (bigC) Put64(z64, e.compressedSize);
        if (bigO) Put64(z64, e.localOffset);
        bool zip64 = !z64.empty();
        Put32(cd, kCentralSig);
        Put16(cd, e.versionMadeBy);
        Put16(cd, std::max(e.versionNeeded, NeededVersion(e, zip64)));
        Put16(cd, e.flags);
        Put16(cd, e.method);
        Put16(cd, e.dosTime);
        Put16(cd, e.dosDate);
        Put32(cd, e.crc);
        Put32(cd, bigC ? kMax32 : static_cast<uint32_t>(e.compressedSize));
        Put32(cd, bigU ? kMax32 : static_cast<uint32_t>(e.uncompressedSize));
        Put16(cd, static_cast<uint16_t>(e.rawName.size()));
        Put16(cd, static_cast<uint16_t>((zip64 ? 4 + z64.size() : 0) + e.extraCentral.size()));
        Put16(cd, static_cast<uint16_t>(std::min<size_t>(e.comment.size(), kMax16)));
        Put16(cd, 0);
        Put16(cd, e.internalAttr);
        Put32(cd, e.externalAttr);
        Put32(cd, bigO ? kMax32 : static_cast<uint32_t>(e.localOffset));
        cd += e.rawName;
        if (zip64) {
            Put16(cd, kExtraZip64);
            Put16(cd, static_cast<uint16_t>(z64.size()));
            cd += z64;
        }
        cd += e.extraCentral;
        cd.append(e.comment, 0, std::min<size_t>(e.comment.size(), kMax16));
        if (cd.size() >= (1u << 20)) {
            if (!out_.Write(cd.data(), cd.size())) return ZipStatus::WriteError;
            cd.clear();
        }
    }
    if (!out_.Write(cd.data(), cd.size())) return ZipStatus::WriteError;
    const uint64_t cdEnd = out_.Position();
    const uint64_t cdSize = cdEnd - cdStart;
    const uint64_t count = entries_.size();
    std::string tail;
    bool zip64 = count >= kMax16 || cdSize >= kMax32 || cdStart >= kMax32;
    if (zip64) {
        Put32(tail, kZip64EndSig);
        Put64(tail, kZip64EndSize - 12);
        Put16(tail, (kHostUnix << 8) | 45);
        Put16(tail, 45);
        Put32(tail, 0);
        Put32(tail, 0);
        Put64(tail, count);
        Put64(tail, count);
        Put64(tail, cdSize);
        Put64(tail, cdStart);
        Put32(tail, kZip64LocatorSig);
        Put32(tail, 0);
        Put64(tail, cdEnd);
        Put32(tail, 1);
    }
    Put32(tail, kEndSig);
    Put16(tail, 0);
    Put16(tail, 0);
    Put16(tail, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
    Put16(tail, static_cast<uint16_t>(std::min<uint64_t>(count, kMax16)));
    Put32(tail, static_cast<uint32_t>(std::min<uint64_t>(cdSize, kMax32)));
    Put32(tail, static_cast<uint32_t>(std::min<uint64_t>(cdStart, kMax32)));
    std::string_view c = comment.substr(0, std::min<size_t>(comment.size(), kMax16));
    Put16(tail, static_cast<uint16_t>(c.size()));
    tail += c;
    if (!out_.Write(tail.data(), tail.size())) return ZipStatus::WriteError;
    return out_.Flush() ? ZipStatus::Ok : ZipStatus::WriteError;
}

}  // namespace kt::zip
