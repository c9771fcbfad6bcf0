#include "rar_headers.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <archive.h>

#include <cstdint>
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

ScanEnd ScanRar4(const File& f, uint64_t pos, std::vector<MemberFacts>* facts) {
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
        if (type == 0x7B) return ScanEnd::Complete;  // end of archive
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
            m.crc = Le(h + 16, 4);
            facts->push_back(m);
        }
        pos += size + data;
    }
    return pos == f.Size() && !endBlockDue ? ScanEnd::Complete : ScanEnd::CutShort;
}

ScanEnd ScanRar5(const File& f, uint64_t pos, std::vector<MemberFacts>* facts) {
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
        if (!in.Vint(&type) || !in.Vint(&flags)) return ScanEnd::Unreadable;
        if ((flags & 0x0001) && !in.Vint(&extraSize)) return ScanEnd::Unreadable;
        if ((flags & 0x0002) && !in.Vint(&dataSize)) return ScanEnd::Unreadable;
        if (type == 4) return ScanEnd::Unreadable;  // the headers themselves are encrypted
        if (type == 5) return ScanEnd::Complete;    // end of archive
        if (type == 2) {
            uint64_t fileFlags, unpacked, attributes, compression, host, nameLength;
            uint32_t mtime = 0, crc = 0;
            if (!in.Vint(&fileFlags) || !in.Vint(&unpacked) || !in.Vint(&attributes))
                return ScanEnd::Unreadable;
            if ((fileFlags & 0x0002) && !in.U32(&mtime)) return ScanEnd::Unreadable;
            if ((fileFlags & 0x0004) && !in.U32(&crc)) return ScanEnd::Unreadable;
            if (!in.Vint(&compression) || !in.Vint(&host) || !in.Vint(&nameLength) ||
                !in.Skip(nameLength))
                return ScanEnd::Unreadable;
            MemberFacts m;
            m.folder = (fileFlags & 0x0001) != 0;
            // Split members (flags 0x0008, 0x0010) carry the CRC of the
            // whole file only in their last part.
            m.hasCrc = (fileFlags & 0x0004) && !m.folder && !(flags & 0x0018);
            m.split = (flags & 0x0018) != 0;
            m.crc = crc;
            if (extraSize > h.size()) return ScanEnd::Unreadable;
            in.Seek(h.size() - static_cast<std::size_t>(extraSize));
            while (in.At() < h.size()) {
                uint64_t recordSize, recordType;
                if (!in.Vint(&recordSize)) return ScanEnd::Unreadable;
                std::size_t recordStart = in.At();
                if (!in.Vint(&recordType)) return ScanEnd::Unreadable;
                if (recordType == 0x01) m.encrypted = true;
                in.Seek(recordStart);
                if (!in.Skip(recordSize)) return ScanEnd::Unreadable;
            }
            facts->push_back(m);
        }
        pos = start + headerSize + dataSize;
    }
    return ScanEnd::CutShort;
}

}  // namespace

ScanEnd ScanRarHeaders(const std::string& path, std::vector<MemberFacts>* facts) {
    File f(path);
    std::string start = f.ReadUpTo(0, kSfxSearch);
    for (std::size_t at = start.find("Rar!\x1a\x07"); at != std::string::npos;
         at = start.find("Rar!\x1a\x07", at + 1)) {
        if (start.compare(at, 8, kRar5, 8) == 0) return ScanRar5(f, at, facts);
        if (start.compare(at, 7, kRar4, 7) == 0) return ScanRar4(f, at, facts);
    }
    return ScanEnd::Unreadable;
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

const kt::unpack::ReadingFormats kRarFormats{EnableRar, RarMethod, ScanRarHeaders};

}  // namespace kt::unrar32
