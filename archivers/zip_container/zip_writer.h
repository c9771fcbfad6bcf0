// Writing an archive front to back: entries from memory, from a source read
// piece by piece, or copied unchanged from another archive; then the central
// directory and the end records. Zip64 structures appear only where a size,
// an offset or the entry count needs them.
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "archivers/zip_container/zip_format.h"
#include "archivers/zip_container/zip_io.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

struct WriteOptions {
    int level = 6;              // 0 stores, 1-9 deflate (the ZIP scale: deflate_levels.h)
    std::string_view password;  // key bytes (CP932); empty: no encryption
    int aesStrength = 0;        // with a password: 0 ZipCrypto, 1-3 WinZip AE-2 AES-128/192/256
};

// Called with the number of source bytes consumed so far; false stops.
using ProgressFn = std::function<bool(uint64_t done)>;

class ZipWriter {
public:
    explicit ZipWriter(ZipOutput& out) : out_(out) {}

    // `meta` supplies name, times, attributes and extra blocks; the writer
    // fills in method, flags, CRC, sizes and the offset. The entry name is
    // stored as UTF-8 with flag bit 11 when it is not ASCII.
    ZipStatus AddBuffer(ZipEntry meta, const uint8_t* data, size_t size, const WriteOptions& opt);
    ZipStatus AddSource(ZipEntry meta, const ByteSource& source, const WriteOptions& opt,
                        const ProgressFn& progress = {});
    // Copies an entry of another archive with its compressed bytes unchanged.
    ZipStatus CopyEntry(const ByteSource& from, const ZipEntry& entry);
    ZipStatus Finish(std::string_view comment = {});

    const std::vector<ZipEntry>& Entries() const { return entries_; }

private:
    ZipStatus Streamed(ZipEntry e, const ByteSource& source, const WriteOptions& opt,
                       const ProgressFn& progress);
    bool WriteLocal(const ZipEntry& e, bool zip64);

    ZipOutput& out_;
    std::vector<ZipEntry> entries_;
};

// Entries above this size (two pieces) are compressed piece by piece, on as
// many cores as are free, instead of in one call on one core.
inline constexpr uint64_t kWholeFileLimit = 8u << 20;
// Threads that deflate pieces of one large entry at once, cores permitting.
// Each holds one piece in and out (about 8.5 MB) and one more is being
// written, so memory stays under 64 MB whatever the machine.
inline constexpr size_t kMaxWorkers = 4;

// The general-purpose flag bits 1-2 that describe a deflate level.
uint16_t LevelFlags(int level);

}  // namespace kt::zip
