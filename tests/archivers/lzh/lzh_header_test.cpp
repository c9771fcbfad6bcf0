// Member headers: what our writer produces at each level reads back the same,
// the header variants other writers produce (level 3, Windows-style trailing
// CRC header, Unix level-0 extension, UTF-16 names) are understood, broken
// headers are reported, and archives crafted to escape their folder do not.
#include "archivers/codecs/lzh/crc16.h"
#include "archivers/unlha32/lzh_archive.h"
#include "archivers/unlha32/lzh_header.h"
#include "unlha32_support.h"

using namespace kt::test;
using kt::unlha::MemberHeader;

namespace {

class MemoryReader : public kt::unlha::ByteReader {
public:
    explicit MemoryReader(std::vector<uint8_t> b) : b_(std::move(b)) {}
    long long ReadAt(uint64_t off, void* buf, std::size_t n) override {
        if (off >= b_.size()) return 0;
        n = std::min<std::size_t>(n, b_.size() - off);
        std::memcpy(buf, b_.data() + off, n);
        return static_cast<long long>(n);
    }

private:
    std::vector<uint8_t> b_;
};

MemberHeader Sample(const std::string& name, int level) {
    MemberHeader h;
    std::memcpy(h.method, "-lh0-", 6);
    h.level = level;
    h.name = name;
    h.packedSize = h.originalSize = 5;
    h.crc = 0x1234;
    h.mtime = 1700000000;
    h.hasMode = level > 0;
    h.mode = 0100644;
    return h;
}

int ReadBack(const std::vector<uint8_t>& bytes, MemberHeader* h) {
    MemoryReader r(bytes);
    return kt::unlha::ReadHeader(r, 0, h);
}

// An archive of stored members with the given names (written unchecked).
std::string CraftArchive(const std::vector<std::pair<std::string, std::string>>& members) {
    std::string out;
    for (const auto& [name, data] : members) {
        MemberHeader h = Sample(name, 2);
        h.packedSize = h.originalSize = data.size();
        h.crc = kt::lzh::Crc16(data.data(), data.size());
        std::vector<uint8_t> bytes;
        EXPECT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
        out.append(bytes.begin(), bytes.end());
        out += data;
    }
    out += '\0';
    return out;
}

void PutExt(std::vector<uint8_t>* v, uint8_t type, const std::string& data, int sizeBytes) {
    std::size_t size = 1 + data.size() + sizeBytes;
    for (int i = 0; i < sizeBytes; ++i) v->push_back(static_cast<uint8_t>(size >> (8 * i)));
    v->push_back(type);
    v->insert(v->end(), data.begin(), data.end());
}

}  // namespace

TEST(LzhHeader, EachLevelReadsBackNameTimeModeAndSizes) {
    for (int level : {0, 1, 2}) {
        for (std::string name : {"a.txt", "dir/sub/日本語.txt", "dir/Ελληνικά😀.txt"}) {
            if (level == 0 && name.find("😀") != std::string::npos)
                continue;  // level 0 has no UTF-16 name
            MemberHeader h = Sample(name, level), back;
            std::vector<uint8_t> bytes;
            ASSERT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
            ASSERT_EQ(ReadBack(bytes, &back), 0) << level << " " << name;
            EXPECT_EQ(back.name, name) << level;
            EXPECT_EQ(back.crc, 0x1234);
            EXPECT_EQ(back.packedSize, 5u);
            EXPECT_EQ(back.originalSize, 5u);
            EXPECT_EQ(back.dataOffset, bytes.size());
            EXPECT_LE(std::abs(back.mtime - h.mtime), 2) << level;  // level 0 keeps DOS time
            if (level > 0) {
                EXPECT_EQ(back.mode, 0100644u);
                EXPECT_EQ(bytes[19], 0x20);  // libarchive insists on it
            }
        }
    }
}

TEST(LzhHeader, NamesCp932CannotHoldCarryUtf16AndUnderscores) {
    MemberHeader h = Sample("Ελληνικά.txt", 2);
    std::vector<uint8_t> bytes;
    ASSERT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
    std::string raw(bytes.begin(), bytes.end());
    EXPECT_NE(raw.find("_.txt"), std::string::npos);                         // the CP932 field
    EXPECT_NE(raw.find(std::string(".\0t\0x\0t\0", 8)), std::string::npos);  // UTF-16LE ".txt" tail
    EXPECT_NE(raw.find(std::string("\x46\xA4\x03\0\0", 5)), std::string::npos);  // code page 932
}

TEST(LzhHeader, LargeSizesUseTheSixtyFourBitHeaderOnlyAtLevelTwo) {
    MemberHeader h = Sample("big.bin", 2), back;
    h.packedSize = 5ull << 30;
    h.originalSize = 6ull << 30;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
    ASSERT_EQ(ReadBack(bytes, &back), 0);
    EXPECT_EQ(back.packedSize, 5ull << 30);
    EXPECT_EQ(back.originalSize, 6ull << 30);
    h.level = 1;
    EXPECT_EQ(kt::unlha::BuildHeader(h, &bytes), ERROR_TOO_BIG);
    h.level = 0;
    EXPECT_EQ(kt::unlha::BuildHeader(h, &bytes), ERROR_TOO_BIG);
}

TEST(LzhHeader, LevelTwoNeverStartsWithAZeroByte) {
    // Find a name length that makes the total a multiple of 256.
    for (int n = 1; n < 300; ++n) {
        MemberHeader h = Sample(std::string(n, 'n'), 2), back;
        std::vector<uint8_t> bytes;
        ASSERT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
        ASSERT_NE(bytes[0], 0) << n;
        ASSERT_EQ(ReadBack(bytes, &back), 0) << n;
        EXPECT_EQ(back.name.size(), static_cast<std::size_t>(n));
    }
}

TEST(LzhHeader, WindowsStyleLevelThreeHeader) {
    // Word size 4, extended headers 0x46, 0x01, 0x02, 0x40, then the CRC
    // header last with one extra byte, as Windows writers lay it out.
    std::vector<uint8_t> v = {4, 0, '-', 'l', 'h', '0', '-'};
    auto put32 = [&](uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    put32(3);
    put32(3);
    put32(1700000000);
    v.push_back(0x20);
    v.push_back(3);
    v.push_back(0x34);
    v.push_back(0x12);
    v.push_back('M');
    put32(0);  // total size, set below
    std::vector<uint8_t> ext;
    PutExt(&ext, 0x46, std::string("\xA4\x03\0\0", 4), 4);
    PutExt(&ext, 0x01, "\x93\xfa\x96\x7b.txt", 4);  // 日本.txt in CP932
    PutExt(&ext, 0x02, "dir\xFF", 4);
    PutExt(&ext, 0x40, std::string("\x20\0", 2), 4);
    PutExt(&ext, 0x00, std::string("\0\0\x07", 3), 4);
    for (int i = 0; i < 4; ++i) ext.push_back(0);
    v.insert(v.end(), ext.begin(), ext.end());
    uint32_t total = static_cast<uint32_t>(v.size());
    for (int i = 0; i < 4; ++i) v[24 + i] = static_cast<uint8_t>(total >> (8 * i));
    uint16_t crc = kt::lzh::Crc16(v.data(), v.size());
    std::size_t crcAt = v.size() - 4 - 3;  // the 0x00 header's data
    v[crcAt] = static_cast<uint8_t>(crc);
    v[crcAt + 1] = static_cast<uint8_t>(crc >> 8);
    MemberHeader back;
    ASSERT_EQ(ReadBack(v, &back), 0);
    EXPECT_EQ(back.name, "dir/日本.txt");
    EXPECT_EQ(back.level, 3);
    EXPECT_EQ(back.crc, 0x1234);
    EXPECT_EQ(back.dataOffset, v.size());
    v[crcAt] ^= 1;
    EXPECT_EQ(ReadBack(v, &back), ERROR_HEADER_CRC);
}

TEST(LzhHeader, UnixLevelZeroExtensionAndBackslashPaths) {
    std::string path = "dir\\\x95\x5c.txt";  // 表 has 0x5C as its second byte
    std::vector<uint8_t> v = {0, 0, '-', 'l', 'h', '0', '-', 0, 0,    0, 0,
                              0, 0, 0,   0,   0,   0,   0,   0, 0x20, 0};
    v.push_back(static_cast<uint8_t>(path.size()));
    v.insert(v.end(), path.begin(), path.end());
    v.push_back(0x34);
    v.push_back(0x12);
    std::string unixExt = std::string("U\0", 2) + std::string("\x00\xf1\x53\x65", 4) +
                          std::string("\xed\x81", 2) + std::string("\0\0\0\0", 4);
    v.insert(v.end(), unixExt.begin(), unixExt.end());
    v[0] = static_cast<uint8_t>(v.size() - 2);
    uint8_t sum = 0;
    for (std::size_t i = 2; i < v.size(); ++i) sum = static_cast<uint8_t>(sum + v[i]);
    v[1] = sum;
    MemberHeader back;
    ASSERT_EQ(ReadBack(v, &back), 0);
    EXPECT_EQ(back.name, "dir/表.txt");
    EXPECT_EQ(back.mtime, 0x6553f100);
    EXPECT_EQ(back.mode, 0100755u);
    v[1] ^= 1;
    EXPECT_EQ(ReadBack(v, &back), ERROR_HEADER_CRC);
}

TEST(LzhHeader, BrokenHeadersAreReportedNotTrusted) {
    MemberHeader h = Sample("a.txt", 2), back;
    std::vector<uint8_t> bytes;
    ASSERT_EQ(kt::unlha::BuildHeader(h, &bytes), 0);
    auto flipped = bytes;
    flipped[40] ^= 0x40;  // a byte of the name
    EXPECT_EQ(ReadBack(flipped, &back), ERROR_HEADER_CRC);
    auto cut = bytes;
    cut.resize(bytes.size() - 3);
    EXPECT_EQ(ReadBack(cut, &back), ERROR_UNEXPECTED_EOF);
    auto level = bytes;
    level[20] = 9;
    EXPECT_EQ(ReadBack(level, &back), ERROR_UNKNOWN_LEVEL);
    EXPECT_EQ(ReadBack({0}, &back), -1);  // the end mark
    EXPECT_EQ(ReadBack({}, &back), -1);
}

TEST(LzhArchive, TraversalArchiveExtractsNothingOutsideItsFolder) {
    Unlha32& lib = Unlha32::Get();
    ASSERT_NE(lib.command, nullptr);
    ScratchDir dir, outside;
    fs::create_directories(dir / "target");
    fs::create_directory_symlink(outside.path, dir / "target/link");
    WriteFile(dir / "t.lzh", CraftArchive({{"../evil.txt", "1"},
                                           {"a/../../evil2.txt", "2"},
                                           {"/abs/evil3.txt", "3"},
                                           {"link/evil4.txt", "4"},
                                           {"good.txt", "5"}}));
    std::string report;
    int r = lib.Run("x " + ArgQuote(dir / "t.lzh") + " " + ArgQuote(dir / "target/"), &report);
    EXPECT_NE(r, 0) << report;
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.path), fs::directory_iterator()), 0);
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir.path.parent_path() / "evil2.txt"));
    EXPECT_FALSE(fs::exists("/abs/evil3.txt"));
    EXPECT_EQ(ReadFile(dir / "target/abs/evil3.txt"), "3");  // the root is dropped
    EXPECT_EQ(ReadFile(dir / "target/good.txt"), "5");
    EXPECT_NE(report.find("unsafe name refused: ../evil.txt"), std::string::npos) << report;
}

TEST(LzhArchive, PrefixedArchiveIsFoundAfterItsStub) {
    Unlha32& lib = Unlha32::Get();
    ScratchDir dir;
    std::string stub(5000, 'S');
    stub[100] = '-';  // a stray dash must not fool the scan
    WriteFile(dir / "sfx.lzh", stub + CraftArchive({{"in.txt", "payload"}}));
    EXPECT_TRUE(lib.check((dir / "sfx.lzh").c_str(), CHECKARCHIVE_FULLCRC));
    std::vector<char> buf(16);
    DWORD written = 0;
    ASSERT_EQ(lib.extractMem(nullptr, (" " + ArgQuote(dir / "sfx.lzh") + " in.txt").c_str(),
                             reinterpret_cast<LPBYTE>(buf.data()), 16, nullptr, nullptr, &written),
              0);
    EXPECT_EQ(std::string(buf.data(), written), "payload");
    WriteFile(dir / "plain.txt", "not an archive at all");
    EXPECT_FALSE(lib.check((dir / "plain.txt").c_str(), CHECKARCHIVE_ALL));
    EXPECT_EQ(lib.open(nullptr, (dir / "plain.txt").c_str(), 0x800002), nullptr);
    EXPECT_EQ(lib.fileCount((dir / "plain.txt").c_str()), -1);
}
