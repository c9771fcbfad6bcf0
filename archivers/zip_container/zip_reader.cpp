#include "archivers/zip_container/zip_reader.h"

#include <algorithm>
#include <optional>

#include "archivers/codecs/zip/zip_crypto.h"
#include "archivers/zip_container/zip_names.h"

namespace kt::zip {
namespace {

// Finds the end record in the last 64 KiB + 22 bytes; the last candidate whose
// comment length reaches exactly to the end wins, else the last candidate.
bool FindEnd(const ByteSource& source, uint64_t& endPos, std::vector<uint8_t>& tail) {
    uint64_t size = source.Size();
    if (size < kEndSize) return false;
    uint64_t span = std::min<uint64_t>(size, kEndSize + 0xFFFF);
    tail.resize(span);
    if (!source.ReadAt(size - span, tail.data(), span)) return false;
    bool found = false;
    for (size_t i = span - kEndSize + 1; i-- > 0;) {
        if (Get32(&tail[i]) != kEndSig) continue;
        uint16_t commentLen = Get16(&tail[i + 20]);
        if (i + kEndSize + commentLen == span) {
            endPos = size - span + i;
            return true;
        }
        if (!found) {
            endPos = size - span + i;
            found = true;
        }
    }
    return found;
}

}  // namespace

void ParseExtra(const uint8_t* p, size_t n, ZipEntry& entry, bool central, std::string& kept,
                std::string& unicodePath, bool& zip64Ok) {
    zip64Ok = true;
    size_t i = 0;
    while (i + 4 <= n) {
        uint16_t id = Get16(p + i);
        uint16_t len = Get16(p + i + 2);
        if (i + 4 + len > n) break;  // a cut block ends the area
        const uint8_t* d = p + i + 4;
        if (id == kExtraZip64) {
            size_t at = 0;
            auto take = [&](uint64_t& field) {
                if (at + 8 > len) {
                    zip64Ok = false;
                    return;
                }
                field = Get64(d + at);
                at += 8;
            };
            if (entry.uncompressedSize == kMax32) take(entry.uncompressedSize);
            if (entry.compressedSize == kMax32) take(entry.compressedSize);
            if (central && entry.localOffset == kMax32) take(entry.localOffset);
        } else {
            if (id == kExtraTime && len >= 5 && (d[0] & 1)) {
                entry.mtime = static_cast<int32_t>(Get32(d + 1));
            } else if (id == kExtraUnicodePath && len >= 5 && d[0] == 1) {
                uint32_t crc = Get32(d + 1);
                if (crc == Crc32(0, entry.rawName.data(), entry.rawName.size()))
                    unicodePath.assign(reinterpret_cast<const char*>(d + 5), len - 5);
            }
            kept.append(reinterpret_cast<const char*>(p + i), 4 + len);
        }
        i += 4 + len;
    }
}

namespace {

// Where the end records say the central directory is.
struct DirectorySpan {
    uint64_t count = 0, size = 0, offset = 0;
    uint64_t end = 0;  // true offset just past the directory
};

// A Zip64 end record at pos, when it is one and names a single-disk archive.
std::optional<DirectorySpan> Zip64EndAt(const ByteSource& source, uint64_t pos) {
    uint8_t rec[kZip64EndSize];
    if (pos > source.Size() || source.Size() - pos < kZip64EndSize ||
        !source.ReadAt(pos, rec, sizeof rec) || Get32(rec) != kZip64EndSig)
        return std::nullopt;
    if (Get32(rec + 16) != 0 || Get32(rec + 20) != 0) return std::nullopt;  // multi-disk
    return DirectorySpan{Get64(rec + 32), Get64(rec + 40), Get64(rec + 48), pos};
}

// The Zip64 end record named by the locator right before the end record;
// with offsets not adjusted for a stub it sits right before the locator.
std::optional<DirectorySpan> Zip64End(const ByteSource& source, uint64_t endPos) {
    if (endPos < kZip64LocatorSize) return std::nullopt;
    uint8_t loc[kZip64LocatorSize];
    if (!source.ReadAt(endPos - kZip64LocatorSize, loc, sizeof loc) ||
        Get32(loc) != kZip64LocatorSig)
        return std::nullopt;
    if (auto span = Zip64EndAt(source, Get64(loc + 8))) return span;
    if (endPos < kZip64LocatorSize + kZip64EndSize) return std::nullopt;
    return Zip64EndAt(source, endPos - kZip64LocatorSize - kZip64EndSize);
}

// A Zip64 end record found by its signature in the last MiB before the end
// record, for archives whose locator is damaged too.
std::optional<DirectorySpan> Zip64EndBySearch(const ByteSource& source, uint64_t endPos) {
    uint64_t from = endPos > (1u << 20) ? endPos - (1u << 20) : 0;
    std::vector<uint8_t> buf(endPos - from);
    if (buf.size() < kZip64EndSize || !source.ReadAt(from, buf.data(), buf.size()))
        return std::nullopt;
    for (size_t i = buf.size() - 3; i-- > 0;) {
        if (Get32(&buf[i]) != kZip64EndSig) continue;
        if (auto span = Zip64EndAt(source, from + i)) return span;
    }
    return std::nullopt;
}

ZipStatus ReadCentral(const ByteSource& source, const DirectorySpan& span, ZipDirectory& out) {
    const uint64_t count = span.count, cdSize = span.size, cdOffset = span.offset, cdEnd = span.end;
    out.entries.clear();
    if (cdSize > cdEnd) return ZipStatus::Broken;
    uint64_t cdStart = cdEnd - cdSize;
    // Data in front of the archive shifts every stored offset by its length.
    if (cdOffset > cdStart) return ZipStatus::Broken;
    uint64_t shift = cdStart - cdOffset;
    if (count > cdSize / kCentralHeaderSize) return ZipStatus::Broken;
    out.centralOffset = cdStart;

    std::vector<uint8_t> cd(cdSize);
    if (cdSize && !source.ReadAt(cdStart, cd.data(), cdSize)) return ZipStatus::ReadError;
    out.entries.reserve(count);
    size_t pos = 0;
    for (uint64_t k = 0; k < count; ++k) {
        if (pos + kCentralHeaderSize > cd.size()) return ZipStatus::Broken;
        const uint8_t* h = &cd[pos];
        if (Get32(h) != kCentralSig) return ZipStatus::Broken;
        size_t nameLen = Get16(h + 28), extraLen = Get16(h + 30), commentLen2 = Get16(h + 32);
        if (pos + kCentralHeaderSize + nameLen + extraLen + commentLen2 > cd.size())
            return ZipStatus::Broken;
        ZipEntry e;
        e.versionMadeBy = Get16(h + 4);
        e.versionNeeded = Get16(h + 6);
        e.flags = Get16(h + 8);
        e.method = Get16(h + 10);
        e.dosTime = Get16(h + 12);
        e.dosDate = Get16(h + 14);
        e.crc = Get32(h + 16);
        e.compressedSize = Get32(h + 20);
        e.uncompressedSize = Get32(h + 24);
        e.internalAttr = Get16(h + 36);
        e.externalAttr = Get32(h + 38);
        e.localOffset = Get32(h + 42);
        const uint8_t* v = h + kCentralHeaderSize;
        e.rawName.assign(reinterpret_cast<const char*>(v), nameLen);
        std::string unicodePath;
        bool zip64Ok = true;
        ParseExtra(v + nameLen, extraLen, e, true, e.extraCentral, unicodePath, zip64Ok);
        if (!zip64Ok) return ZipStatus::Broken;
        e.comment.assign(reinterpret_cast<const char*>(v + nameLen + extraLen), commentLen2);
        e.name = DecodeEntryName(e.rawName, e.flags & kFlagUtf8, IsDosHost(e.versionMadeBy),
                                 unicodePath);
        if (e.localOffset > cdOffset) return ZipStatus::Broken;
        e.localOffset += shift;
        out.entries.push_back(std::move(e));
        pos += kCentralHeaderSize + nameLen + extraLen + commentLen2;
    }
    uint64_t first = cdStart;
    for (const auto& e : out.entries) first = std::min(first, e.localOffset);
    out.prefixSize = out.entries.empty() ? shift : first;
    return ZipStatus::Ok;
}

// The local header repeats what the central directory says of a member; a
// copy that disagrees is damage in one of them, whichever the reader trusts
// (unzip compares them too). Sizes and CRC are compared only where the local
// header holds them: not behind a data descriptor, not moved to Zip64.
bool LocalAgreesWithCentral(const ByteSource& source, const ZipEntry& entry, const uint8_t* h) {
    const uint16_t flags = Get16(h + 6);
    if ((flags & kFlagEncrypted) != (entry.flags & kFlagEncrypted)) return false;
    if (Get16(h + 8) != entry.method) return false;
    if (!(flags & kFlagDescriptor) && !entry.HasDescriptor()) {
        if (Get32(h + 14) != entry.crc) return false;
        const uint32_t packed = Get32(h + 18), size = Get32(h + 22);
        if (packed != kMax32 && packed != entry.compressedSize) return false;
        if (size != kMax32 && size != entry.uncompressedSize) return false;
    }
    const size_t nameLen = Get16(h + 26);
    if (nameLen != entry.rawName.size()) return false;
    std::string name(nameLen, '\0');
    if (nameLen && !source.ReadAt(entry.localOffset + kLocalHeaderSize, name.data(), nameLen))
        return false;
    return name == entry.rawName;
}

}  // namespace

ZipStatus ReadZipDirectory(const ByteSource& source, ZipDirectory& out) {
    out = ZipDirectory{};
    std::vector<uint8_t> tail;
    uint64_t endPos = 0;
    if (!FindEnd(source, endPos, tail)) return ZipStatus::NotZip;
    uint8_t end[kEndSize];
    if (!source.ReadAt(endPos, end, kEndSize)) return ZipStatus::ReadError;
    uint16_t commentLen = Get16(end + 20);
    if (endPos + kEndSize + commentLen <= source.Size()) {
        out.comment.resize(commentLen);
        if (commentLen && !source.ReadAt(endPos + kEndSize, out.comment.data(), commentLen))
            return ZipStatus::ReadError;
    }
    // A sound Zip64 end record is believed over the classic one, whose
    // 16- and 32-bit fields are the ones that overflow or get damaged.
    if (auto span = Zip64End(source, endPos)) {
        if (ReadCentral(source, *span, out) == ZipStatus::Ok) return ZipStatus::Ok;
    }
    ZipStatus st = ZipStatus::Unsupported;
    const bool oneDisk = Get16(end + 4) == 0 && Get16(end + 6) == 0;
    if (oneDisk && Get16(end + 8) != Get16(end + 10)) {
        // One disk holds it all: then the count of entries on this disk and
        // the total are one number twice, and two that differ are damage.
        st = ZipStatus::Broken;
    } else if (oneDisk) {
        DirectorySpan classic{Get16(end + 10), Get32(end + 12), Get32(end + 16), endPos};
        st = ReadCentral(source, classic, out);
        if (st == ZipStatus::Ok) return st;
    }
    if (auto span = Zip64EndBySearch(source, endPos)) {
        if (ReadCentral(source, *span, out) == ZipStatus::Ok) return ZipStatus::Ok;
    }
    out.splitSet = !oneDisk;
    return st;
}

ZipStatus LocateEntryData(const ByteSource& source, const ZipEntry& entry, uint64_t& dataOffset) {
    uint8_t h[kLocalHeaderSize];
    if (!source.ReadAt(entry.localOffset, h, sizeof h)) return ZipStatus::Broken;
    if (Get32(h) != kLocalSig) return ZipStatus::Broken;
    if (!LocalAgreesWithCentral(source, entry, h)) return ZipStatus::Broken;
    uint64_t at = entry.localOffset + kLocalHeaderSize + Get16(h + 26) + Get16(h + 28);
    if (at > source.Size() || entry.compressedSize > source.Size() - at) return ZipStatus::Broken;
    dataOffset = at;
    return ZipStatus::Ok;
}

ZipStatus ScanLocalHeaders(const ByteSource& source, ZipDirectory& out) {
    out = ZipDirectory{};
    const uint64_t size = source.Size();
    constexpr size_t kWindow = 1 << 16;
    std::vector<uint8_t> buf(kWindow + 3);
    // Search forward for a signature from `from`; returns size when none.
    auto findSig = [&](uint64_t from, uint32_t sig) -> uint64_t {
        while (from + 4 <= size) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(kWindow + 3, size - from));
            if (!source.ReadAt(from, buf.data(), n)) return size;
            for (size_t i = 0; i + 4 <= n; ++i)
                if (Get32(&buf[i]) == sig) return from + i;
            from += n - 3;
        }
        return size;
    };
    uint64_t pos = findSig(0, kLocalSig);
    out.prefixSize = pos;
    while (pos < size) {
        uint8_t h[kLocalHeaderSize];
        if (!source.ReadAt(pos, h, sizeof h)) break;
        ZipEntry e;
        e.versionNeeded = Get16(h + 4);
        e.flags = Get16(h + 6);
        e.method = Get16(h + 8);
        e.dosTime = Get16(h + 10);
        e.dosDate = Get16(h + 12);
        e.crc = Get32(h + 14);
        e.compressedSize = Get32(h + 18);
        e.uncompressedSize = Get32(h + 22);
        e.versionMadeBy = e.versionNeeded;  // host DOS: no Unix mode known
        e.localOffset = pos;
        size_t nameLen = Get16(h + 26), extraLen = Get16(h + 28);
        uint64_t dataAt = pos + kLocalHeaderSize + nameLen + extraLen;
        if (dataAt > size) break;
        std::string raw(nameLen, '\0');
        std::vector<uint8_t> extra(extraLen);
        if (!source.ReadAt(pos + kLocalHeaderSize, raw.data(), nameLen) ||
            !source.ReadAt(pos + kLocalHeaderSize + nameLen, extra.data(), extraLen))
            break;
        e.rawName = raw;
        std::string unicodePath;
        bool zip64Ok = true;
        ParseExtra(extra.data(), extra.size(), e, false, e.extraLocal, unicodePath, zip64Ok);
        e.extraCentral = e.extraLocal;
        // A local header does not say who made it: read it as DOS did.
        e.name = DecodeEntryName(raw, e.flags & kFlagUtf8, true, unicodePath);
        uint64_t next;
        if (e.HasDescriptor() && e.compressedSize == 0) {
            // Sizes follow the data: take the first descriptor whose stored
            // compressed size matches the distance travelled.
            uint64_t d = findSig(dataAt, kDescriptorSig);
            while (d < size) {
                uint8_t desc[24];
                if (d + 16 <= size && source.ReadAt(d, desc, 16) && Get32(desc + 8) == d - dataAt) {
                    e.crc = Get32(desc + 4);
                    e.compressedSize = Get32(desc + 8);
                    e.uncompressedSize = Get32(desc + 12);
                    break;
                }
                if (d + 24 <= size && source.ReadAt(d, desc, 24) && Get64(desc + 8) == d - dataAt) {
                    e.crc = Get32(desc + 4);
                    e.compressedSize = Get64(desc + 8);
                    e.uncompressedSize = Get64(desc + 16);
                    break;
                }
                d = findSig(d + 1, kDescriptorSig);
            }
            if (d >= size) break;
            next = d;
        } else {
            if (e.compressedSize > size - dataAt) break;
            next = dataAt + e.compressedSize;
        }
        if (!e.name.empty() && e.name.back() == '/') e.externalAttr = 0x10;
        out.entries.push_back(std::move(e));
        pos = findSig(next, kLocalSig);
    }
    out.centralOffset = pos;
    return out.entries.empty() ? ZipStatus::NotZip : ZipStatus::Ok;
}

}  // namespace kt::zip
