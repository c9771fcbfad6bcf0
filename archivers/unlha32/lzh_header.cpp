#include "lzh_header.h"

#include <cstring>

#include "archivers/codecs/lzh/crc16.h"
#include "archivers/common/file_time.h"
#include "archivers/common/stored_name.h"
#include "lzh_names.h"
#include "platform/archiver_api.h"

namespace kt::unlha {
namespace {

// Where the fields of a base header lie. The first 20 bytes mean the same at
// every level but for the size field; the level byte sits at 20 in all.
constexpr std::size_t kSizeAt = 0;        // levels 0/1: one byte; level 2: two bytes
constexpr std::size_t kChecksumAt = 1;    // levels 0/1: sum of the bytes from 2 on
constexpr std::size_t kMethodAt = 2;      // "-lh5-"
constexpr std::size_t kPackedSizeAt = 7;  // level 1: the skip size, extended headers included
constexpr std::size_t kOriginalSizeAt = 11;
constexpr std::size_t kTimeAt = 15;     // levels 0/1: MS-DOS date and time; 2/3: Unix time
constexpr std::size_t kDosAttrAt = 19;  // levels 0/1
constexpr std::size_t kLevelAt = 20;
constexpr std::size_t kNameLengthAt = 21;    // levels 0/1; the name follows
constexpr std::size_t kNameAt = 22;          // levels 0/1; then the CRC (and the OS id at level 1)
constexpr std::size_t kCrcAt = 21;           // levels 2/3
constexpr std::size_t kOsAt = 23;            // levels 2/3
constexpr std::size_t kFirstExtSizeAt = 24;  // level 2: two bytes; the extended headers start at 26
constexpr std::size_t kLevel2ExtAt = 26;
constexpr std::size_t kLevel3TotalAt = 24;  // level 3: four bytes
constexpr std::size_t kLevel3FirstExtSizeAt = 28;
constexpr std::size_t kLevel3ExtAt = 32;

uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t Get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint64_t Get64(const uint8_t* p) { return Get32(p) | static_cast<uint64_t>(Get32(p + 4)) << 32; }

void Put16(std::vector<uint8_t>* v, uint32_t x) {
    v->push_back(static_cast<uint8_t>(x));
    v->push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>* v, uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

bool IsMethodId(const uint8_t* p) {
    return p[0] == '-' && p[4] == '-' && (p[1] == 'l' || p[1] == 'p');
}

// Collected while walking the extended headers.
struct Ext {
    std::string name, dir, uname, udir;
    bool hasName = false, hasDir = false, hasUName = false, hasUDir = false;
    uint32_t codePage = 0;
    bool hasCrc = false;
    std::size_t crcPos = 0;  // offset of the CRC bytes within the header bytes
    uint16_t headerCrc = 0;
};

// Name bytes of a header, cut at their first NUL before anything looks at them.
std::string StoredName(const uint8_t* p, std::size_t n) {
    return std::string(kt::arc::CutAtNul(std::string_view(reinterpret_cast<const char*>(p), n)));
}
std::string StoredNameUtf16le(const uint8_t* p, std::size_t n) {
    return std::string(
        kt::arc::CutAtNulUtf16le(std::string_view(reinterpret_cast<const char*>(p), n)));
}

// Applies one extended header (type + data) to h.
void ApplyExt(const uint8_t* d, std::size_t n, std::size_t posInHeader, MemberHeader* h, Ext* e) {
    if (n < 1) return;
    uint8_t type = d[0];
    const uint8_t* p = d + 1;
    std::size_t len = n - 1;
    switch (type) {
        case 0x00:
            if (len >= 2) {
                e->hasCrc = true;
                e->crcPos = posInHeader + 1;
                e->headerCrc = Get16(p);
            }
            break;
        case 0x01:
            e->name = StoredName(p, len);
            e->hasName = true;
            break;
        case 0x02:
            e->dir = StoredName(p, len);
            e->hasDir = true;
            break;
        case 0x40:
            if (len >= 1) h->dosAttr = p[0];
            break;
        case 0x41:
            if (len >= 16) {
                int64_t s;
                uint32_t ns;
                if (kt::arc::FiletimeToUnix(Get64(p + 8), &s, &ns)) {
                    h->mtime = s;
                    h->mtimeNs = ns;
                }
            }
            break;
        case 0x42:
            if (len >= 16) {
                h->packedSize = Get64(p);
                h->originalSize = Get64(p + 8);
            }
            break;
        case 0x44:
            e->uname = StoredNameUtf16le(p, len);
            e->hasUName = true;
            break;
        case 0x45:
            e->udir = StoredNameUtf16le(p, len);
            e->hasUDir = true;
            break;
        case 0x46:
            if (len >= 4) e->codePage = Get32(p);
            break;
        case 0x50:
            if (len >= 2) {
                h->mode = Get16(p);
                h->hasMode = true;
            }
            break;
        case 0x54:
            if (len >= 4) h->mtime = static_cast<int32_t>(Get32(p));
            break;
        case 0x7F:  // OS/2 level-3 attribute block: DOS attr, mode, gid, uid, ...
            if (len >= 4) {
                h->mode = Get16(p + 2);
                h->hasMode = true;
            }
            break;
        case 0xFF:  // level-3 attribute block of Windows writers: mode, gid, uid, ...
            if (len >= 4) {
                h->mode = Get32(p) & 0xFFFF;
                h->hasMode = true;
            }
            break;
        default:
            break;
    }
}

// OS-9 permissions (owner read/write/exec in bits 0-2, public in 3-5,
// folder in 7) as Unix mode bits; OS-9 has no group, public stands for it.
uint32_t Os9ToUnixMode(uint32_t os9) {
    uint32_t owner = os9 & 7, others = (os9 >> 3) & 7;
    auto rwx = [](uint32_t bits) { return (bits & 1) << 2 | (bits & 2) | (bits & 4) >> 2; };
    return ((os9 & 0x80) ? 0040000u : 0100000u) | rwx(owner) << 6 | rwx(others) << 3 | rwx(others);
}

// The level-0 extended area after the CRC, by the tool that wrote it:
// LHa for UNIX ('U': minor version, Unix time, mode, uid, gid), OS-9/68K
// ('K': the same, with the time twice, so the ids are read from the end),
// OS-9 ('9': its permissions at 1).
void ApplyLevel0Area(const uint8_t* a, std::size_t n, MemberHeader* h) {
    if (n >= 12 && (a[0] == 'U' || a[0] == 'K') && a[1] == 0) {
        h->mtime = static_cast<int32_t>(Get32(a + 2));
        h->mode = Get16(a + n - 6);
        if (a[0] == 'K') h->mode = Os9ToUnixMode(h->mode);
        h->hasMode = true;
        h->osId = static_cast<char>(a[0]);
    } else if (n >= 22 && a[0] == '9') {
        h->mode = Os9ToUnixMode(Get16(a + 1));
        h->hasMode = true;
        h->osId = '9';
    }
}

// Folder bytes of header 0x02 ("a\xFFb\xFF") to "a/b".
std::string DirBytes(std::string d) {
    for (char& c : d) {
        if (static_cast<unsigned char>(c) == 0xFF) c = '/';
    }
    return d;
}

std::string UDirBytes(const std::string& d) {
    // UTF-16LE with 0xFFFF separators.
    std::string out;
    for (std::size_t i = 0; i + 1 < d.size(); i += 2) {
        if (static_cast<unsigned char>(d[i]) == 0xFF &&
            static_cast<unsigned char>(d[i + 1]) == 0xFF) {
            out += '/';
            out += '\0';
        } else {
            out += d[i];
            out += d[i + 1];
        }
    }
    return out;
}

std::string Join(std::string dir, const std::string& name) {
    while (!dir.empty() && dir.back() == '/') dir.pop_back();
    if (dir.empty()) return name;
    if (name.empty()) return dir;
    return dir + "/" + name;
}

// The hosts whose names use "\" between folders (and a code page).
bool IsDosHost(char osId) { return osId == 'M' || osId == '2' || osId == 'w' || osId == 'W'; }

std::string Backslashes(std::string s) {
    for (char& c : s) {
        if (c == '\\') c = '/';
    }
    return s;
}

// Names of the base header and extended headers into h->name.
void FinishName(const std::string& baseName, const Ext& e, MemberHeader* h) {
    std::string name, dir;
    // Level 0 and 1 are the MS-DOS generation: CP932 names, "\" between
    // folders, whoever wrote them. From level 2 on, a Unix producer that
    // names no code page stored its file names' own bytes, and its "\" is
    // part of a name.
    const bool ownBytes = h->level >= 2 && h->osId == 'U' && e.codePage == 0;
    if (ownBytes && !e.hasUName && !e.hasUDir) {
        name = e.hasName ? e.name : baseName;
        dir = DirBytes(e.dir);
    } else if (e.hasUName || e.hasUDir) {
        name = e.hasUName ? Utf16leToUtf8(e.uname)
                          : StoredToUtf8(e.hasName ? e.name : baseName, e.codePage, h->osId);
        dir = e.hasUDir ? Utf16leToUtf8(UDirBytes(e.udir))
                        : StoredToUtf8(DirBytes(e.dir), e.codePage, h->osId);
    } else {
        name = StoredToUtf8(e.hasName ? e.name : baseName, e.codePage, h->osId);
        dir = StoredToUtf8(DirBytes(e.dir), e.codePage, h->osId);
    }
    std::string full = Join(dir, name);
    if (h->level < 2 || IsDosHost(h->osId)) full = Backslashes(full);
    const bool endsInSeparator = !full.empty() && full.back() == '/';
    while (!full.empty() && full.back() == '/') full.pop_back();
    const bool noData = h->packedSize == 0 && h->originalSize == 0;
    const bool namelessInFolder = name.empty() && !dir.empty();
    if (noData && !full.empty() && (endsInSeparator || (h->dosAttr & 0x10) || namelessInFolder)) {
        h->folderOnly = std::strcmp(h->method, "-lhd-") != 0;
    }
    // A symbolic link is stored as "link|target".
    std::size_t bar = full.find('|');
    if (bar != std::string::npos && std::strcmp(h->method, "-lhd-") == 0) {
        h->linkTarget = full.substr(bar + 1);
        full.resize(bar);
    }
    h->name = full;
}

// Walks extended headers starting at pos in hdr (sizes of sizeBytes);
// returns the total of their sizes, or -1 when one runs past the buffer.
long long WalkExt(const std::vector<uint8_t>& hdr, std::size_t pos, std::size_t firstSize,
                  int sizeBytes, MemberHeader* h, Ext* e) {
    std::size_t size = firstSize;
    long long total = 0;
    while (size != 0) {
        if (size < static_cast<std::size_t>(1 + sizeBytes) || pos + size > hdr.size()) return -1;
        ApplyExt(hdr.data() + pos, size - sizeBytes, pos, h, e);
        total += static_cast<long long>(size);
        std::size_t next = sizeBytes == 2 ? Get16(hdr.data() + pos + size - 2)
                                          : Get32(hdr.data() + pos + size - 4);
        pos += size;
        size = next;
    }
    return total;
}

bool ReadExactly(ByteReader& in, uint64_t off, std::vector<uint8_t>* v, std::size_t n) {
    std::size_t old = v->size();
    v->resize(old + n);
    return in.ReadAt(off + old, v->data() + old, n) == static_cast<long long>(n);
}

bool CheckHeaderCrc(std::vector<uint8_t> bytes, const Ext& e) {
    if (!e.hasCrc) return true;
    bytes[e.crcPos] = bytes[e.crcPos + 1] = 0;
    return kt::lzh::Crc16(bytes.data(), bytes.size()) == e.headerCrc;
}

// A level-2 header of `total` bytes at offset.
int ReadLevel2(ByteReader& in, uint64_t offset, std::size_t total, MemberHeader* h) {
    *h = MemberHeader();
    h->headerOffset = offset;
    h->level = 2;
    std::vector<uint8_t> b;
    if (!ReadExactly(in, offset, &b, total)) return ERROR_UNEXPECTED_EOF;
    std::memcpy(h->method, b.data() + kMethodAt, 5);
    h->packedSize = Get32(b.data() + kPackedSizeAt);
    h->originalSize = Get32(b.data() + kOriginalSizeAt);
    h->mtime = static_cast<int64_t>(Get32(b.data() + kTimeAt));
    h->crc = Get16(b.data() + kCrcAt);
    h->osId = static_cast<char>(b[kOsAt]);
    Ext e;
    if (WalkExt(b, kLevel2ExtAt, Get16(b.data() + kFirstExtSizeAt), 2, h, &e) < 0)
        return ERROR_HEADER_BROKEN;
    if (!CheckHeaderCrc(b, e)) return ERROR_HEADER_CRC;
    // On OS-9/68K the Unix mode header holds OS-9 permissions.
    if (h->osId == 'K' && h->hasMode) h->mode = Os9ToUnixMode(h->mode);
    h->dataOffset = offset + total;
    FinishName(std::string(), e, h);
    return 0;
}

}  // namespace

bool MemberHeader::IsDirectory() const {
    return (std::strcmp(method, "-lhd-") == 0 && linkTarget.empty()) || folderOnly;
}

int ReadHeader(ByteReader& in, uint64_t offset, MemberHeader* h) {
    *h = MemberHeader();
    h->headerOffset = offset;
    std::vector<uint8_t> b;
    b.resize(kNameAt);
    long long got = in.ReadAt(offset, b.data(), kNameAt);
    if (got < 0) return ERROR_CANNOT_READ;
    if (got == 0 || (got >= 1 && b[0] == 0)) return -1;
    if (got < static_cast<long long>(kNameAt)) return ERROR_UNEXPECTED_EOF;
    if (!IsMethodId(b.data() + kMethodAt)) return ERROR_HEADER_BROKEN;
    std::memcpy(h->method, b.data() + kMethodAt, 5);
    h->level = b[kLevelAt];
    Ext e;
    switch (h->level) {
        case 0:
        case 1: {
            std::size_t total = static_cast<std::size_t>(b[kSizeAt]) + 2;
            std::size_t n = b[kNameLengthAt];
            if (total < kNameAt + n + (h->level == 1 ? 5u : 0u)) return ERROR_HDR_INVALID_SIZE;
            b.resize(0);
            if (!ReadExactly(in, offset, &b, total)) return ERROR_UNEXPECTED_EOF;
            uint8_t sum = 0;
            for (std::size_t i = 2; i < total; ++i) sum = static_cast<uint8_t>(sum + b[i]);
            if (sum != b[kChecksumAt]) return ERROR_HEADER_CRC;
            h->packedSize = Get32(b.data() + kPackedSizeAt);
            h->originalSize = Get32(b.data() + kOriginalSizeAt);
            h->mtime = kt::arc::DosDateTimeToUnix(Get32(b.data() + kTimeAt));
            std::string baseName = StoredName(b.data() + kNameAt, n);
            if (h->level == 0) {
                h->dosAttr = b[kDosAttrAt];
                h->osId = 'M';
                // The CRC after the name, then an optional Unix area.
                const std::size_t after = kNameAt + n;
                if (total >= after + 2) h->crc = Get16(b.data() + after);
                if (total > after + 2) ApplyLevel0Area(b.data() + after + 2, total - after - 2, h);
                h->dataOffset = offset + total;
                FinishName(baseName, e, h);
                return 0;
            }
            h->crc = Get16(b.data() + kNameAt + n);
            h->osId = static_cast<char>(b[kNameAt + n + 2]);
            std::size_t first = Get16(b.data() + total - 2);
            // Extended headers follow the base header; read them one by one.
            std::size_t pos = total;
            std::size_t size = first;
            uint64_t extTotal = 0;
            while (size != 0) {
                if (size < 3 || b.size() > (1u << 20)) return ERROR_HDR_INVALID_SIZE;
                if (!ReadExactly(in, offset, &b, size)) return ERROR_UNEXPECTED_EOF;
                ApplyExt(b.data() + pos, size - 2, pos, h, &e);
                extTotal += size;
                pos += size;
                size = Get16(b.data() + pos - 2);
            }
            uint64_t skip = Get32(b.data() + kPackedSizeAt);
            if (h->packedSize == skip) {
                // No 0x42 header changed it: the skip size includes the
                // extended headers.
                if (skip < extTotal) return ERROR_HDR_INVALID_SIZE;
                h->packedSize = skip - extTotal;
            }
            if (!CheckHeaderCrc(b, e)) return ERROR_HEADER_CRC;
            h->dataOffset = offset + b.size();
            FinishName(baseName, e, h);
            return 0;
        }
        case 2: {
            std::size_t total = Get16(b.data() + kSizeAt);
            if (total < kLevel2ExtAt) return ERROR_HDR_INVALID_SIZE;
            // LHA for OS-9/68K counts the header without its own size field:
            // two bytes short. Its OS id tells; the header's CRC and chain
            // decide, so that a correct header with that id still reads.
            uint8_t os = 0;
            if (in.ReadAt(offset + kOsAt, &os, 1) == 1 && os == 'K') {
                MemberHeader os9;
                if (ReadLevel2(in, offset, total + 2, &os9) == 0) {
                    *h = std::move(os9);
                    return 0;
                }
            }
            return ReadLevel2(in, offset, total, h);
        }
        case 3: {
            b.resize(0);
            if (!ReadExactly(in, offset, &b, kLevel3ExtAt)) return ERROR_UNEXPECTED_EOF;
            // Level 3 counts in four-byte units, and says so where the size would be.
            if (Get16(b.data() + kSizeAt) != 4) return ERROR_HEADER_BROKEN;
            std::size_t total = Get32(b.data() + kLevel3TotalAt);
            if (total < kLevel3ExtAt || total > (1u << 24)) return ERROR_HDR_INVALID_SIZE;
            b.resize(0);
            if (!ReadExactly(in, offset, &b, total)) return ERROR_UNEXPECTED_EOF;
            h->packedSize = Get32(b.data() + kPackedSizeAt);
            h->originalSize = Get32(b.data() + kOriginalSizeAt);
            h->mtime = static_cast<int64_t>(Get32(b.data() + kTimeAt));
            h->crc = Get16(b.data() + kCrcAt);
            h->osId = static_cast<char>(b[kOsAt]);
            if (WalkExt(b, kLevel3ExtAt, Get32(b.data() + kLevel3FirstExtSizeAt), 4, h, &e) < 0)
                return ERROR_HEADER_BROKEN;
            if (!CheckHeaderCrc(b, e)) return ERROR_HEADER_CRC;
            h->dataOffset = offset + total;
            FinishName(std::string(), e, h);
            return 0;
        }
        default:
            return ERROR_UNKNOWN_LEVEL;
    }
}

namespace {

struct NameParts {
    std::string dirCp, nameCp;  // CP932, dir with 0xFF separators and trailing 0xFF
    std::string dirU16, nameU16;
    bool lossy = false;
    bool raw = false;  // the name's own bytes, no code page (not UTF-8)
};

NameParts SplitName(const MemberHeader& h) {
    NameParts p;
    std::string dir, name;
    if (h.IsDirectory()) {
        dir = h.name;
    } else {
        std::size_t slash = h.name.rfind('/');
        if (slash != std::string::npos) {
            dir = h.name.substr(0, slash);
            name = h.name.substr(slash + 1);
        } else {
            name = h.name;
        }
    }
    if (!IsValidUtf8Name(h.name)) {
        // Bytes in no known encoding: kept as they are, so the name comes
        // back byte for byte.
        p.raw = true;
        p.nameCp = name;
        if (!dir.empty()) {
            p.dirCp = dir;
            for (char& c : p.dirCp) {
                if (c == '/') c = static_cast<char>(0xFF);
            }
            p.dirCp += static_cast<char>(0xFF);
        }
        return p;
    }
    bool l1 = false, l2 = false;
    p.nameCp = NameToCp932(name, &l1);
    if (!dir.empty()) {
        p.dirCp = NameToCp932(dir, &l2);
        for (char& c : p.dirCp) {
            if (c == '/') c = static_cast<char>(0xFF);
        }
        p.dirCp += static_cast<char>(0xFF);
    }
    p.lossy = l1 || l2;
    if (p.lossy) {
        p.nameU16 = Utf8ToUtf16le(name);
        if (!dir.empty()) {
            std::string u = Utf8ToUtf16le(dir);
            for (std::size_t i = 0; i + 1 < u.size(); i += 2) {
                if (u[i] == '/' && u[i + 1] == 0) u[i] = u[i + 1] = static_cast<char>(0xFF);
            }
            p.dirU16 = u + "\xFF\xFF";
        }
    }
    return p;
}

void PutExt(std::vector<uint8_t>* v, uint8_t type, const std::string& data) {
    // The previous header's next-size field (or the base header's) was
    // written as a placeholder by the caller: fill it with this size.
    std::size_t size = data.size() + 3;
    (*v)[v->size() - 2] = static_cast<uint8_t>(size);
    (*v)[v->size() - 1] = static_cast<uint8_t>(size >> 8);
    v->push_back(type);
    v->insert(v->end(), data.begin(), data.end());
    Put16(v, 0);
}

std::string Le(uint64_t x, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i) s += static_cast<char>((x >> (8 * i)) & 0xFF);
    return s;
}

}  // namespace

int BuildHeader(const MemberHeader& h, std::vector<uint8_t>* out) {
    out->clear();
    NameParts n = SplitName(h);
    bool big = h.packedSize > 0xFFFFFFFFull || h.originalSize > 0xFFFFFFFFull;
    uint32_t dos = kt::arc::UnixToDosDateTime(h.mtime);
    std::vector<uint8_t>& v = *out;
    uint8_t attr = h.IsDirectory() ? 0x10 : h.dosAttr;
    if (h.level == 0) {
        if (big) return ERROR_TOO_BIG;
        std::string path = n.dirCp;
        for (char& c : path) {
            if (static_cast<unsigned char>(c) == 0xFF) c = '\\';
        }
        path += n.nameCp;
        if (path.size() > 233) return ERROR_LONG_FILE_NAME;
        v.push_back(static_cast<uint8_t>(22 + path.size()));
        v.push_back(0);
        v.insert(v.end(), h.method, h.method + 5);
        Put32(&v, static_cast<uint32_t>(h.packedSize));
        Put32(&v, static_cast<uint32_t>(h.originalSize));
        Put32(&v, dos);
        v.push_back(attr);
        v.push_back(0);
        v.push_back(static_cast<uint8_t>(path.size()));
        v.insert(v.end(), path.begin(), path.end());
        Put16(&v, h.crc);
        uint8_t sum = 0;
        for (std::size_t i = 2; i < v.size(); ++i) sum = static_cast<uint8_t>(sum + v[i]);
        v[1] = sum;
        return 0;
    }
    if (h.level == 1) {
        if (big) return ERROR_TOO_BIG;
        bool inBase = n.nameCp.size() <= 230;
        std::string base = inBase ? n.nameCp : std::string();
        v.push_back(static_cast<uint8_t>(25 + base.size()));
        v.push_back(0);
        v.insert(v.end(), h.method, h.method + 5);
        Put32(&v, 0);  // skip size, set below
        Put32(&v, static_cast<uint32_t>(h.originalSize));
        Put32(&v, dos);
        v.push_back(0x20);
        v.push_back(1);
        v.push_back(static_cast<uint8_t>(base.size()));
        v.insert(v.end(), base.begin(), base.end());
        Put16(&v, h.crc);
        v.push_back('U');
        Put16(&v, 0);
        std::size_t baseSize = v.size();
        if (!n.raw) PutExt(&v, 0x46, Le(932, 4));
        if (!inBase) PutExt(&v, 0x01, n.nameCp);
        if (!n.dirCp.empty()) PutExt(&v, 0x02, n.dirCp);
        if (attr != 0x20) PutExt(&v, 0x40, Le(attr, 2));
        if (n.lossy) {
            PutExt(&v, 0x44, n.nameU16);
            if (!n.dirU16.empty()) PutExt(&v, 0x45, n.dirU16);
        }
        if (h.hasMode) PutExt(&v, 0x50, Le(h.mode, 2));
        PutExt(&v, 0x54, Le(static_cast<uint32_t>(h.mtime), 4));
        uint64_t skip = h.packedSize + (v.size() - baseSize);
        if (skip > 0xFFFFFFFFull) return ERROR_TOO_BIG;
        for (int i = 0; i < 4; ++i) v[kPackedSizeAt + i] = static_cast<uint8_t>(skip >> (8 * i));
        uint8_t sum = 0;
        for (std::size_t i = kMethodAt; i < baseSize; ++i) sum = static_cast<uint8_t>(sum + v[i]);
        v[kChecksumAt] = sum;
        return 0;
    }
    // Level 2.
    Put16(&v, 0);  // total size, set below
    v.insert(v.end(), h.method, h.method + 5);
    Put32(&v, static_cast<uint32_t>(h.packedSize));
    Put32(&v, static_cast<uint32_t>(h.originalSize));
    Put32(&v, static_cast<uint32_t>(h.mtime));
    v.push_back(0x20);
    v.push_back(2);
    Put16(&v, h.crc);
    v.push_back('U');
    Put16(&v, 0);
    PutExt(&v, 0x00, Le(0, 2));
    if (!n.raw) PutExt(&v, 0x46, Le(932, 4));
    PutExt(&v, 0x01, n.nameCp);
    if (!n.dirCp.empty()) PutExt(&v, 0x02, n.dirCp);
    if (attr != 0x20) PutExt(&v, 0x40, Le(attr, 2));
    if (n.lossy) {
        PutExt(&v, 0x44, n.nameU16);
        if (!n.dirU16.empty()) PutExt(&v, 0x45, n.dirU16);
    }
    if (big) PutExt(&v, 0x42, Le(h.packedSize, 8) + Le(h.originalSize, 8));
    if (h.hasMode) PutExt(&v, 0x50, Le(h.mode, 2));
    // A first byte of 0 would read as the end mark to old readers.
    if ((v.size() & 0xFF) == 0) v.push_back(0);
    if (v.size() > 0xFFFF) return ERROR_LONG_FILE_NAME;
    v[kSizeAt] = static_cast<uint8_t>(v.size());
    v[kSizeAt + 1] = static_cast<uint8_t>(v.size() >> 8);
    uint16_t crc = kt::lzh::Crc16(v.data(), v.size());
    // The 0x00 header sits first: its type byte, then the CRC.
    v[kLevel2ExtAt + 1] = static_cast<uint8_t>(crc);
    v[kLevel2ExtAt + 2] = static_cast<uint8_t>(crc >> 8);
    return 0;
}

}  // namespace kt::unlha
