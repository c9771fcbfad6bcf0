// An ARJ archive on disk: the main header (found after a self-extractor or
// other prefix) and the local header of every member, each checked against
// its CRC-32, with a source over each member's packed bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archivers/codecs/lzh/stream.h"
#include "archivers/common/read_only_file.h"

namespace kt::unarj {

enum class ArjFileType : uint8_t { Binary = 0, Text = 1, Main = 2, Folder = 3, VolumeLabel = 4 };

struct ArjMember {
    std::string name;  // UTF-8 with "/" separators, as stored (cleaned only on extraction)
    int method = 0;
    ArjFileType type = ArjFileType::Binary;
    uint8_t flags = 0;
    uint8_t hostOs = 0;
    int64_t mtime = 0;  // Unix seconds
    uint32_t mode = 0;  // Unix mode bits when the host was Unix, else 0
    uint8_t dosAttr = 0x20;
    uint32_t crc = 0;  // CRC-32 of the original data
    uint64_t packedSize = 0, originalSize = 0;
    uint64_t dataOffset = 0;

    static constexpr uint8_t kGarbled = 0x01, kVolume = 0x04, kExtFile = 0x08;
    bool Garbled() const { return flags & kGarbled; }
    // The member continues in the next volume, or starts in the previous one.
    bool Split() const { return flags & (kVolume | kExtFile); }
    bool IsFolder() const { return type == ArjFileType::Folder; }
};

class ArjFile {
public:
    bool Open(const std::string& path) { return file_.Open(path); }
    // Reads the whole listing; 0 or an ERROR_ code (not an archive, a header
    // whose CRC fails, an unexpected end).
    int ReadListing();
    const std::vector<ArjMember>& Members() const { return members_; }
    long long ReadAt(uint64_t offset, void* buf, std::size_t n) const {
        return file_.ReadAt(offset, buf, n);
    }
    uint64_t Size() const { return file_.Size(); }

private:
    // The basic header at offset: 0 with its bytes, -1 at the end marker, or an ERROR_ code.
    int ReadHeader(uint64_t offset, std::vector<uint8_t>* basic, uint64_t* next) const;
    bool FindMainHeader(uint64_t* offset) const;

    kt::arc::ReadOnlyFile file_;
    std::vector<ArjMember> members_;
};

// The packed bytes of one member.
class ArjMemberSource : public kt::lzh::Source {
public:
    ArjMemberSource(const ArjFile& file, const ArjMember& m)
        : file_(file), pos_(m.dataOffset), left_(m.packedSize) {}
    std::ptrdiff_t Read(uint8_t* buf, std::size_t n) override;

private:
    const ArjFile& file_;
    uint64_t pos_, left_;
};

}  // namespace kt::unarj
