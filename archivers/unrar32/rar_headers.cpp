#include "rar_headers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>

#include <cstdint>
#include <cctype>
#include <cstring>

#include "archivers/common/unique_fd.h"

namespace kt::unrar32 {
namespace {

using kt::unpack::MemberFacts;
using kt::unpack::ScanEnd;

constexpr char kRar4[] = "Rar!\x1a\x07\x00";
constexpr char kRar5[] = "Rar!\x1a\x07\x01\x00";
// A self-extractor keeps the archive behind its program; the signature is
// looked for this far in.
constexpr std::size_t kSfxSearch = 1 << 20;

class File {
public:
    explicit File(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st;
        if (fd_.get() >= 0 && fstat(fd_.get(), &st) == 0) size_ = static_cast<uint64_t>(st.st_size);
    }
    bool Read(uint64_t at, void* buf, std::size_t n) const {
        if (at > size_ || n > size_ - at) return false;
        return ::pread(fd_.get(), buf, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n);
    }
    std::string ReadUpTo(uint64_t at, std::size_t n) const {
        if (at >= size_) return {};
        std::string s(static_cast<std::size_t>(std::min<uint64_t>(n, size_ - at)), '\0');
        return Read(at, s.data(), s.size()) ? s : std::string();
    }
    uint64_t Size() const { return size_; }

private:
    kt::arc::UniqueFd fd_;
    uint64_t size_ = 0;
};

uint32_t Le(const unsigned char* p, int n) {
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Reads RAR 5 variable-length numbers from a header held in memory.
class Fields {
public:
    explicit Fields(const std::string& s) : s_(s) {}
    bool Vint(uint64_t* v) {
        *v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at_ >= s_.size()) return false;
            unsigned char b = static_cast<unsigned char>(s_[at_++]);
            *v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if (!(b & 0x80)) return true;
        }
        return false;
    }
    bool U32(uint32_t* v) {
        if (s_.size() - at_ < 4) return false;
        *v = Le(reinterpret_cast<const unsigned char*>(s_.data() + at_), 4);
        at_ += 4;
        return true;
    }
    bool Skip(uint64_t n) {
        if (n > s_.size() - at_) return false;
        at_ += static_cast<std::size_t>(n);
        return true;
    }
    std::size_t At() const { return at_; }
    void Seek(std::size_t at) { at_ = at; }

private:
    const std::string& s_;
    std::size_t at_ = 0;
};

// The names a redirection (5) or owner (6) record of a RAR 5 file header
// holds lie inside the record.
bool NamesFit(const std::string& record, uint64_t type) {
    Fields in(record);
    uint64_t value, flags, length;
    if (type == 0x05)
        return in.Vint(&value) && in.Vint(&flags) && in.Vint(&length) && in.Skip(length);
    if (type != 0x06) return true;
    if (!in.Vint(&flags)) return false;
    for (uint64_t name : {0x1u, 0x2u})  // the user's name, the group's
        if ((flags & name) && !(in.Vint(&length) && in.Skip(length))) return false;
    return true;
}

ScanEnd ScanRar4(const File& f, uint64_t pos, std::vector<MemberFacts>* facts, bool* more) {
    pos += 7;
    // Producers of version 2.9 and later always end with an end block;
    // older ones end where the last member does.
    bool endBlockDue = false;
    while (pos + 7 <= f.Size()) {
        unsigned char base[11] = {};
        if (!f.Read(pos, base, 7)) return ScanEnd::Unreadable;
        unsigned type = base[2];
        unsigned flags = Le(base + 3, 2);
        uint64_t size = Le(base + 5, 2);
        if (size < 7) return ScanEnd::Unreadable;
        uint64_t data = 0;
        if (flags & 0x8000) {
            if (!f.Read(pos + 7, base + 7, 4)) return ScanEnd::CutShort;
            data = Le(base + 7, 4);
        }
        if (type == 0x7B) {  // end of archive; of a volume when another follows
            *more = (flags & 0x0001) != 0;
            return ScanEnd::Complete;
        }
        if (type == 0x74) {
            unsigned char h[32];
            if (size < 32) return ScanEnd::Unreadable;
            if (!f.Read(pos, h, 32)) return ScanEnd::CutShort;
            if (flags & 0x0100) {  // 64-bit sizes: the high half of the packed size
                unsigned char high[4];
                if (!f.Read(pos + 32, high, 4)) return ScanEnd::CutShort;
                data += static_cast<uint64_t>(Le(high, 4)) << 32;
            }
            if (h[24] >= 29) endBlockDue = true;
            MemberFacts m;
            m.folder = (flags & 0x00E0) == 0x00E0;
            m.encrypted = (flags & 0x0004) != 0;
            // A member split over volumes stores the CRC of each part.
            m.hasCrc = !m.folder && !(flags & 0x0003);
            m.split = (flags & 0x0003) != 0;
            m.splitBefore = (flags & 0x0001) != 0;
            m.splitAfter = (flags & 0x0002) != 0;
            m.crc = Le(h + 16, 4);
            facts->push_back(m);
        }
        pos += size + data;
    }
    return pos == f.Size() && !endBlockDue ? ScanEnd::Complete : ScanEnd::CutShort;
}

ScanEnd ScanRar5(const File& f, uint64_t pos, std::vector<MemberFacts>* facts, bool* more) {
    pos += 8;
    while (pos < f.Size()) {
        std::string head = f.ReadUpTo(pos + 4, 3);
        if (pos + 4 + 3 > f.Size()) return ScanEnd::CutShort;
        Fields sizeField(head);
        uint64_t headerSize = 0;
        if (!sizeField.Vint(&headerSize) || headerSize == 0 || headerSize > (2u << 20))
            return ScanEnd::Unreadable;
        uint64_t start = pos + 4 + sizeField.At();
        std::string h = f.ReadUpTo(start, static_cast<std::size_t>(headerSize));
        if (h.size() != headerSize) return ScanEnd::CutShort;
        Fields in(h);
        uint64_t type, flags, extraSize = 0, dataSize = 0;
        if (!in.Vint(&type) || !in.Vint(&flags)) return ScanEnd::Broken;
        if ((flags & 0x0001) && !in.Vint(&extraSize)) return ScanEnd::Broken;
        if ((flags & 0x0002) && !in.Vint(&dataSize)) return ScanEnd::Broken;
        if (type == 4) return ScanEnd::Unreadable;  // the headers themselves are encrypted
        if (type == 5) {  // end of archive; of a volume when another follows
            uint64_t endFlags = 0;
            *more = in.Vint(&endFlags) && (endFlags & 0x0001);
            return ScanEnd::Complete;
        }
        if (type == 2) {
            uint64_t fileFlags, unpacked, attributes, compression, host, nameLength;
            uint32_t mtime = 0, crc = 0;
            if (!in.Vint(&fileFlags) || !in.Vint(&unpacked) || !in.Vint(&attributes))
                return ScanEnd::Broken;
            if ((fileFlags & 0x0002) && !in.U32(&mtime)) return ScanEnd::Broken;
            if ((fileFlags & 0x0004) && !in.U32(&crc)) return ScanEnd::Broken;
            if (!in.Vint(&compression) || !in.Vint(&host) || !in.Vint(&nameLength) ||
                !in.Skip(nameLength))
                return ScanEnd::Broken;
            MemberFacts m;
            m.folder = (fileFlags & 0x0001) != 0;
            // Split members (flags 0x0008, 0x0010) carry the CRC of the
            // whole file only in their last part.
            m.hasCrc = (fileFlags & 0x0004) && !m.folder && !(flags & 0x0018);
            m.split = (flags & 0x0018) != 0;
            m.splitBefore = (flags & 0x0008) != 0;
            m.splitAfter = (flags & 0x0010) != 0;
            m.crc = crc;
            if (extraSize > h.size()) return ScanEnd::Broken;
            in.Seek(h.size() - static_cast<std::size_t>(extraSize));
            while (in.At() < h.size()) {
                uint64_t recordSize, recordType;
                if (!in.Vint(&recordSize)) return ScanEnd::Broken;
                std::size_t recordStart = in.At();
                if (!in.Vint(&recordType)) return ScanEnd::Broken;
                if (recordType == 0x01) m.encrypted = true;
                const std::size_t bodyAt = in.At();
                in.Seek(recordStart);
                if (!in.Skip(recordSize)) return ScanEnd::Broken;
                if (!NamesFit(h.substr(bodyAt, in.At() - bodyAt), recordType))
                    return ScanEnd::Broken;
            }
            facts->push_back(m);
        }
        pos = start + headerSize + dataSize;
    }
    return ScanEnd::CutShort;
}

// One file of the set; *more when its end header says a volume follows.
ScanEnd ScanOneFile(const std::string& path, std::vector<MemberFacts>* facts, bool* more) {
    File f(path);
    std::string start = f.ReadUpTo(0, kSfxSearch);
    for (std::size_t at = start.find("Rar!\x1a\x07"); at != std::string::npos;
         at = start.find("Rar!\x1a\x07", at + 1)) {
        if (start.compare(at, 8, kRar5, 8) == 0) return ScanRar5(f, at, facts, more);
        if (start.compare(at, 7, kRar4, 7) == 0) return ScanRar4(f, at, facts, more);
    }
    return ScanEnd::Unreadable;
}

// Whether the file starts as a RAR volume, and with the old naming
// (name.rar, name.r00, name.r01, ...) rather than name.partN.rar.
bool IsVolume(const std::string& path, bool* oldNaming) {
    File f(path);
    std::string h = f.ReadUpTo(0, 64);
    *oldNaming = false;
    if (h.compare(0, 7, kRar4, 7) == 0 && h.size() >= 12 && h[9] == 0x73) {
        unsigned flags = Le(reinterpret_cast<const unsigned char*>(h.data()) + 10, 2);
        *oldNaming = !(flags & 0x0010);
        return (flags & 0x0001) != 0;
    }
    if (h.size() <= 12 || h.compare(0, 8, kRar5, 8) != 0) return false;
    const std::string main = h.substr(12);  // after the signature and the header's CRC
    Fields in(main);
    uint64_t size, type, flags, extra = 0, archiveFlags = 0;
    return in.Vint(&size) && in.Vint(&type) && type == 1 && in.Vint(&flags) &&
           (!(flags & 0x0001) || in.Vint(&extra)) && in.Vint(&archiveFlags) &&
           (archiveFlags & 0x0001);
}

bool Exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::vector<std::string> RarVolumes(const std::string& first) {
    std::vector<std::string> set{first};
    bool oldNaming = false;
    if (!IsVolume(first, &oldNaming)) return set;
    const std::size_t slash = first.rfind('/');
    const std::size_t leafAt = slash == std::string::npos ? 0 : slash + 1;
    std::string lower = first.substr(leafAt);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower.size() < 4 || lower.compare(lower.size() - 4, 4, ".rar") != 0) return set;
    const std::size_t stem = first.size() - 4;  // before ".rar"
    if (!oldNaming) {
        // name.partN.rar: the number's digits, kept as wide as they are.
        std::size_t digits = stem;
        while (digits > leafAt && std::isdigit(static_cast<unsigned char>(first[digits - 1])))
            --digits;
        if (digits == stem || digits < leafAt + 5 || lower.compare(digits - leafAt - 5, 5, ".part"))
            return set;
        const std::size_t width = stem - digits;
        for (unsigned long n = std::stoul(first.substr(digits, width)) + 1; set.size() < 10000;
             ++n) {
            std::string number = std::to_string(n);
            if (number.size() < width) number.insert(0, width - number.size(), '0');
            std::string next = first.substr(0, digits) + number + first.substr(stem);
            if (!Exists(next)) break;
            set.push_back(next);
        }
        return set;
    }
    // name.rar, then name.r00 to name.r99.
    for (int n = 0; n < 100; ++n) {
        std::string next = first.substr(0, stem) + ".r" + (n < 10 ? "0" : "") + std::to_string(n);
        if (!Exists(next)) break;
        set.push_back(next);
    }
    return set;
}

ScanEnd ScanRarHeaders(const std::string& path, std::vector<MemberFacts>* facts) {
    bool more = false;
    const std::vector<std::string> set = RarVolumes(path);
    for (std::size_t k = 0; k < set.size(); ++k) {
        std::vector<MemberFacts> part;
        more = false;
        ScanEnd end = ScanOneFile(set[k], &part, &more);
        if (end != ScanEnd::Complete) return end;
        std::size_t from = 0;
        // A member going on from the volume before is one member with it:
        // whole once its last part does not go on, and then checked
        // against the CRC of that last part, which is the whole file's.
        if (k > 0 && !part.empty() && part[0].splitBefore && !facts->empty() &&
            facts->back().splitAfter) {
            MemberFacts& m = facts->back();
            m.splitAfter = part[0].splitAfter;
            m.split = m.splitBefore || m.splitAfter;
            m.encrypted = m.encrypted || part[0].encrypted;
            m.crc = part[0].crc;
            m.hasCrc = !m.split && !m.folder && part[0].crc != 0;
            from = 1;
        }
        facts->insert(facts->end(), part.begin() + static_cast<std::ptrdiff_t>(from), part.end());
    }
    // The last volume beside this one says another follows. A member cut
    // there fails when it is read (the rest of the archive can still be
    // listed and extracted); with none cut, whole members may be missing.
    const bool memberCut = !facts->empty() && facts->back().splitAfter;
    return more && !memberCut ? ScanEnd::CutShort : ScanEnd::Complete;
}

namespace {

void EnableRar(struct archive* a) {
    archive_read_support_format_rar(a);
    archive_read_support_format_rar5(a);
}

std::string RarMethod(int, int format) {
    return (format & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_RAR_V5 ? "rar5" : "rar";
}

}  // namespace

const kt::unpack::ReadingFormats kRarFormats{EnableRar, RarMethod, ScanRarHeaders,
                                             nullptr,   false,     RarVolumes};

}  // namespace kt::unrar32
