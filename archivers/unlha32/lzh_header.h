// LZH member headers: reading levels 0 to 3 with their extended headers, and
// writing levels 0, 1 and 2.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt::unlha {

// Random access to the archive's bytes.
class ByteReader {
public:
    virtual ~ByteReader() = default;
    // Reads up to n bytes at offset; the count read (short at the end), -1 on error.
    virtual long long ReadAt(uint64_t offset, void* buf, std::size_t n) = 0;
};

struct MemberHeader {
    char method[6] = {};  // "-lh7-"
    uint64_t packedSize = 0;
    uint64_t originalSize = 0;
    int64_t mtime = 0;  // Unix seconds
    uint32_t mtimeNs = 0;
    uint8_t dosAttr = 0x20;
    int level = 2;
    uint16_t crc = 0;  // CRC-16 of the original data
    char osId = 'U';
    std::string name;        // UTF-8, "/" separators; a folder has no trailing "/"
    std::string linkTarget;  // for a stored symbolic link ("name|target")
    bool hasMode = false;
    uint32_t mode = 0;
    // An entry that only marks a folder without being -lhd-: a name ending
    // in a separator, the folder attribute or an empty file name, with no
    // data (older DOS, Amiga and OS-9 writers).
    bool folderOnly = false;
    uint64_t headerOffset = 0;  // first byte of the header in the archive
    uint64_t dataOffset = 0;    // first byte of the packed data

    bool IsDirectory() const;
    uint64_t End() const { return dataOffset + packedSize; }
};

// Reads the header at offset. Returns 0 with *h filled, -1 at the end mark
// (a zero byte) or the end of the file, or an ERROR_ code (broken header,
// header CRC, unknown level, unexpected end).
int ReadHeader(ByteReader& in, uint64_t offset, MemberHeader* h);

// The bytes of a header for h at h.level (0, 1 or 2), sizes and CRC as set
// in h. 0 with *out filled, or ERROR_LONG_FILE_NAME / ERROR_TOO_BIG when the
// level cannot hold the name or size.
int BuildHeader(const MemberHeader& h, std::vector<uint8_t>* out);

}  // namespace kt::unlha
