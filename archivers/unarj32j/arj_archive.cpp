#include "arj_archive.h"

#include <zlib.h>

#include <cstring>

#include "archivers/common/file_time.h"
#include "archivers/common/read_only_file.h"
#include "platform/archiver_api.h"
#include "platform/cp932.h"

namespace kt::unarj {
namespace {

constexpr uint8_t kId0 = 0x60, kId1 = 0xEA;
constexpr std::size_t kMaxBasicSize = 2600;  // ARJ's own limit on a basic header
constexpr std::size_t kFixedPart = 30;       // first_hdr_size of the oldest writers
constexpr uint8_t kHostUnix = 2;
constexpr uint8_t kPathSym = 0x10;  // "\" was already turned into "/"

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// The stored name as UTF-8: Unix hosts wrote their own bytes; DOS and
// Windows hosts their OEM code page, which is CP932 on the systems that
// made the archives this program meets.
std::string NameOf(const std::string& raw, uint8_t host, uint8_t flags) {
    bool ascii = true;
    for (char c : raw) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    std::string name = ascii || host == kHostUnix ? raw : kt::Cp932ToUtf8(raw);
    if (host != kHostUnix || (flags & kPathSym) == 0) {
        for (char& c : name) {
            if (c == '\\') c = '/';
        }
    }
    return name;
}

}  // namespace

int ArjFile::ReadHeader(uint64_t offset, std::vector<uint8_t>* basic, uint64_t* next) const {
    uint8_t head[4];
    long long got = ReadAt(offset, head, 4);
    if (got < 0) return ERROR_CANNOT_READ;
    if (got < 4) return ERROR_UNEXPECTED_EOF;
    if (head[0] != kId0 || head[1] != kId1) return ERROR_HEADER_BROKEN;
    std::size_t size = Get16(head + 2);
    if (size == 0) {
        *next = offset + 4;
        return -1;
    }
    if (size < kFixedPart || size > kMaxBasicSize) return ERROR_HDR_INVALID_SIZE;
    basic->resize(size + 4);
    if (ReadAt(offset + 4, basic->data(), size + 4) != static_cast<long long>(size + 4))
        return ERROR_UNEXPECTED_EOF;
    if (crc32(0, basic->data(), static_cast<uInt>(size)) != Get32(basic->data() + size))
        return ERROR_HEADER_CRC;
    basic->resize(size);
    // Extended headers (each with its own CRC) follow until a size of 0.
    uint64_t pos = offset + 4 + size + 4;
    for (;;) {
        uint8_t ext[2];
        if (ReadAt(pos, ext, 2) != 2) return ERROR_UNEXPECTED_EOF;
        pos += 2;
        uint16_t extSize = Get16(ext);
        if (extSize == 0) break;
        pos += extSize + 4u;
        if (pos > Size()) return ERROR_UNEXPECTED_EOF;
    }
    *next = pos;
    return 0;
}

bool ArjFile::FindMainHeader(uint64_t* offset) const {
    // A self-extractor keeps its archive after the program: look for the
    // first header whose CRC holds.
    constexpr std::size_t kScan = 1 << 20;
    std::vector<uint8_t> buf(kScan);
    long long got = ReadAt(0, buf.data(), buf.size());
    std::vector<uint8_t> basic;
    for (long long i = 0; i + 4 <= got; ++i) {
        if (buf[i] != kId0 || buf[i + 1] != kId1) continue;
        uint64_t next;
        if (ReadHeader(static_cast<uint64_t>(i), &basic, &next) == 0 &&
            basic[6] == static_cast<uint8_t>(ArjFileType::Main)) {
            *offset = static_cast<uint64_t>(i);
            return true;
        }
    }
    return false;
}

int ArjFile::ReadListing() {
    members_.clear();
    uint64_t offset = 0;
    if (!FindMainHeader(&offset)) return ERROR_NOT_ARC_FILE;
    std::vector<uint8_t> b;
    uint64_t next = 0;
    if (int r = ReadHeader(offset, &b, &next); r != 0) return r < 0 ? ERROR_HEADER_BROKEN : r;
    for (offset = next;;) {
        int r = ReadHeader(offset, &b, &next);
        if (r == -1) return 0;
        if (r != 0) return r;
        ArjMember m;
        const std::size_t fixed = b[0];
        if (fixed < kFixedPart || fixed >= b.size()) return ERROR_HDR_INVALID_SIZE;
        m.hostOs = b[3];
        m.flags = b[4];
        m.method = b[5];
        m.type = static_cast<ArjFileType>(b[6]);
        uint32_t stamp = Get32(b.data() + 8);
        m.mtime =
            m.hostOs == kHostUnix ? static_cast<int64_t>(stamp) : kt::arc::DosDateTimeToUnix(stamp);
        m.packedSize = Get32(b.data() + 12);
        m.originalSize = Get32(b.data() + 16);
        m.crc = Get32(b.data() + 20);
        uint16_t access = Get16(b.data() + 26);
        if (m.hostOs == kHostUnix) {
            m.mode = access & 07777;
        } else {
            m.dosAttr = static_cast<uint8_t>(access);
        }
        const char* name = reinterpret_cast<const char*>(b.data() + fixed);
        m.name = NameOf(std::string(name, strnlen(name, b.size() - fixed)), m.hostOs, m.flags);
        m.dataOffset = next;
        if (m.packedSize > Size() || next > Size() - m.packedSize) return ERROR_UNEXPECTED_EOF;
        offset = next + m.packedSize;
        members_.push_back(std::move(m));
        if (members_.size() > 10000000) return ERROR_TOO_MANY_FILES;
    }
}

std::ptrdiff_t ArjMemberSource::Read(uint8_t* buf, std::size_t n) {
    return kt::arc::ReadStretch(file_, pos_, left_, buf, n);
}

}  // namespace kt::unarj
