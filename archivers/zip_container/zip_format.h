// ZIP records as the reader finds them and the writer emits them: one entry
// model shared by both and the record signatures (the little-endian helpers
// and method numbers come from the codecs). Pure data; no file I/O.
#pragma once

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "archivers/codecs/zip/zip_bytes.h"
#include "archivers/codecs/zip/zip_methods.h"

namespace kt::zip {

inline constexpr uint32_t kLocalSig = 0x04034B50;
inline constexpr uint32_t kCentralSig = 0x02014B50;
inline constexpr uint32_t kEndSig = 0x06054B50;
inline constexpr uint32_t kZip64EndSig = 0x06064B50;
inline constexpr uint32_t kZip64LocatorSig = 0x07064B50;
inline constexpr uint32_t kDescriptorSig = 0x08074B50;

inline constexpr uint16_t kFlagEncrypted = 0x0001;
inline constexpr uint16_t kFlagDescriptor = 0x0008;
inline constexpr uint16_t kFlagUtf8 = 0x0800;

inline constexpr uint16_t kExtraZip64 = 0x0001;
inline constexpr uint16_t kExtraTime = 0x5455;
inline constexpr uint16_t kExtraUnixIds = 0x7875;
inline constexpr uint16_t kExtraUnicodePath = 0x7075;

inline constexpr uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr uint16_t kMax16 = 0xFFFF;

inline constexpr size_t kLocalHeaderSize = 30;
inline constexpr size_t kCentralHeaderSize = 46;
inline constexpr size_t kEndSize = 22;
inline constexpr size_t kZip64EndSize = 56;
inline constexpr size_t kZip64LocatorSize = 20;
inline constexpr size_t kCryptHeaderSize = 12;

// Host system in the high byte of "version made by".
inline constexpr uint8_t kHostDos = 0;
inline constexpr uint8_t kHostUnix = 3;

// One member of an archive. `name` is UTF-8 with "/" separators; `rawName`
// holds the header bytes unchanged (they are written back as they were when
// an entry is copied into a rebuilt archive).
struct ZipEntry {
    std::string name;
    std::string rawName;
    uint16_t versionMadeBy = (kHostUnix << 8) | 30;
    uint16_t versionNeeded = 20;
    uint16_t flags = 0;
    uint16_t method = kMethodDeflate;
    uint16_t dosTime = 0;
    uint16_t dosDate = (1 << 5) | 1;  // 1980-01-01
    uint32_t crc = 0;
    uint64_t compressedSize = 0;  // includes the 12-byte encryption header
    uint64_t uncompressedSize = 0;
    uint64_t localOffset = 0;  // true offset in the file (any stub already counted)
    uint16_t internalAttr = 0;
    uint32_t externalAttr = 0;
    std::optional<int64_t> mtime;  // Unix seconds from the 0x5455 field
    // Extra blocks other than Zip64, kept verbatim for rewriting.
    std::string extraLocal;
    std::string extraCentral;
    std::string comment;

    bool IsEncrypted() const { return flags & kFlagEncrypted; }
    bool HasDescriptor() const { return flags & kFlagDescriptor; }
    bool IsDirectory() const {
        return (!name.empty() && name.back() == '/') ||
               ((versionMadeBy >> 8) != kHostUnix && (externalAttr & 0x10)) ||
               ((versionMadeBy >> 8) == kHostUnix && ((externalAttr >> 16) & 0170000) == 0040000);
    }
    // Unix mode bits when the creator stored them, else 0.
    uint32_t UnixMode() const {
        return (versionMadeBy >> 8) == kHostUnix ? (externalAttr >> 16) : 0;
    }
};

}  // namespace kt::zip
