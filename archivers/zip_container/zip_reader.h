// Reading an archive's directory: the end record (Zip64 when present), the
// central directory, and each entry's local header. Tolerates data in front
// of the archive (self-extractor stubs) whether or not the offsets were
// adjusted for it. Every size and offset is checked against the source, so a
// damaged archive gives a status, never a read outside it.
#pragma once

#include <vector>

#include "archivers/zip_container/zip_format.h"
#include "archivers/zip_container/zip_io.h"
#include "archivers/codecs/zip/zip_status.h"

namespace kt::zip {

struct ZipDirectory {
    std::vector<ZipEntry> entries;
    uint64_t prefixSize = 0;     // bytes before the first local header (stub)
    uint64_t centralOffset = 0;  // true offset of the central directory
    std::string comment;
    // Set when the directory could not be read because the end record
    // names other disks: the last part of a set split over several files.
    bool splitSet = false;
};

ZipStatus ReadZipDirectory(const ByteSource& source, ZipDirectory& out);

// Recovery: builds the directory by walking local headers from the start,
// for archives whose central directory is lost. Entries whose sizes are only
// in a data descriptor are found by searching for the descriptor.
ZipStatus ScanLocalHeaders(const ByteSource& source, ZipDirectory& out);

// Offset of the entry's data (after its local header), checked against the
// source size together with the compressed size.
ZipStatus LocateEntryData(const ByteSource& source, const ZipEntry& entry, uint64_t& dataOffset);

// Parses an extra area into the entry: Zip64 sizes (for the fields that hold
// the all-ones marker), the 0x5455 modification time and the 0x7075 name;
// other blocks are kept in `kept`.
void ParseExtra(const uint8_t* p, size_t n, ZipEntry& entry, bool central, std::string& kept,
                std::string& unicodePath, bool& zip64Ok);

}  // namespace kt::zip
