// Archives of producers that no Debian tool can imitate, written here from
// the format notes: MacLHA's MacBinary-wrapped members (extracted as their
// data fork, exactly), OS-9/68K level-2 headers (one size field two bytes
// short) and folder entries of level 0 and 1 that are not -lhd-.
#include "archivers/codecs/lzh/crc16.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/unlha32/lzh_header.h"
#include "unlha32_support.h"

using namespace kt::test;
using kt::unlha::MemberHeader;

namespace {

constexpr int64_t kMtime = 1700000000;
constexpr uint32_t kMacEpochOffset = 2082844800;

std::string Packed(const std::string& data, const char* method) {
    kt::lzh::EncodeOptions o;
    EXPECT_TRUE(kt::lzh::OptionsForMethod(method, &o));
    kt::lzh::MemorySource src(data.data(), data.size());
    kt::lzh::VectorSink sink;
    EXPECT_EQ(kt::lzh::Encode(o, src, sink).status, kt::lzh::Status::Ok);
    return std::string(sink.bytes.begin(), sink.bytes.end());
}

// A level-2 member as `os` would write it: our header with the OS id put
// in and the header CRC made again.
std::string Member(const std::string& name, const std::string& data, char os,
                   const char* method = "-lh5-", int mode = -1) {
    MemberHeader h;
    std::memcpy(h.method, method, 6);
    h.level = 2;
    h.name = name;
    std::string packed = std::strcmp(method, "-lh0-") == 0 ? data : Packed(data, method);
    h.packedSize = packed.size();
    h.originalSize = data.size();
    h.crc = kt::lzh::Crc16(data.data(), data.size());
    h.mtime = kMtime;
    h.hasMode = mode >= 0;
    h.mode = static_cast<uint32_t>(mode);
    std::vector<uint8_t> b;
    EXPECT_EQ(kt::unlha::BuildHeader(h, &b), 0);
    b[23] = static_cast<uint8_t>(os);
    if (os == 'K') {
        // LHA for OS-9/68K counts the header without its two size bytes.
        uint16_t shortBy2 = static_cast<uint16_t>(b.size() - 2);
        b[0] = static_cast<uint8_t>(shortBy2);
        b[1] = static_cast<uint8_t>(shortBy2 >> 8);
    }
    b[27] = b[28] = 0;  // the CRC header comes first in ours
    uint16_t crc = kt::lzh::Crc16(b.data(), b.size());
    b[27] = static_cast<uint8_t>(crc);
    b[28] = static_cast<uint8_t>(crc >> 8);
    return std::string(b.begin(), b.end()) + packed;
}

void Put32Be(std::string& s, std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (24 - 8 * i));
}

std::string Pad128(std::string s) {
    s.resize((s.size() + 127) / 128 * 128, '\0');
    return s;
}

// MacBinary as MacLHA writes it: the 128-byte header, the data fork, the
// resource fork, each padded to 128 bytes.
std::string MacBinary(const std::string& name, const std::string& data, const std::string& resource,
                      int64_t modified = kMtime) {
    std::string h(128, '\0');
    h[1] = static_cast<char>(name.size());
    h.replace(2, name.size(), name);
    h.replace(65, 8, "TEXTttxt");
    Put32Be(h, 0x53, static_cast<uint32_t>(data.size()));
    Put32Be(h, 0x57, static_cast<uint32_t>(resource.size()));
    Put32Be(h, 0x5B, static_cast<uint32_t>(modified + kMacEpochOffset));
    Put32Be(h, 0x5F, static_cast<uint32_t>(modified + kMacEpochOffset));
    return h + Pad128(data) + Pad128(resource);
}

class LzhProducers : public ::testing::Test {
protected:
    std::string Extract(const std::string& archiveBytes, int* rc = nullptr,
                        std::string* report = nullptr) {
        std::string arc = dir_ / ("a" + std::to_string(++n_) + ".lzh");
        std::string out = dir_ / ("o" + std::to_string(n_) + "/");
        WriteFile(arc, archiveBytes);
        std::string text;
        int r = Unlha32::Get().Run("x " + ArgQuote(arc) + " " + ArgQuote(out), &text);
        if (rc) *rc = r;
        if (report) *report = text;
        return out;
    }
    ScratchDir dir_;
    int n_ = 0;
};

}  // namespace

TEST_F(LzhProducers, MacLhaMembersGiveTheirDataForkExactly) {
    const std::string data = SampleText(5000, 51), resource = SampleBinary(700, 52);
    const std::string wrapped = MacBinary("notes.txt", data, resource);
    std::string out =
        Extract(Member("notes.txt", wrapped, 'm') + Member("dir/notes.txt", wrapped, 'm', "-lh0-") +
                std::string(1, '\0'));
    EXPECT_EQ(ReadFile(out + "notes.txt"), data);
    EXPECT_EQ(ReadFile(out + "dir/notes.txt"), data);
}

TEST_F(LzhProducers, MacLhaMemberWithOnlyAResourceForkGivesTheResourceFork) {
    const std::string resource = SampleBinary(1000, 53);
    std::string out =
        Extract(Member("Icon", MacBinary("Icon", "", resource), 'm') + std::string(1, '\0'));
    EXPECT_EQ(ReadFile(out + "Icon"), resource);
}

TEST_F(LzhProducers, MacBinaryIsKeptWhenItIsNotMacLhasWrapping) {
    const std::string data = SampleText(3000, 54), resource = SampleBinary(300, 55);
    struct Case {
        const char* why;
        std::string member;
        std::string expected;
    };
    const std::string wrapped = MacBinary("a.txt", data, resource);
    std::string flagged = wrapped;
    flagged[0x4A] = 1;                                  // a field MacLHA leaves zero
    std::string plain = std::string(200, '\0') + data;  // starts with zeros, but no header
    const Case cases[] = {
        {"an archived .bin file from another system", Member("a.txt", wrapped, 'U'), wrapped},
        {"a name other than the member's",
         Member("a.txt", MacBinary("a.txt.bin", data, resource), 'm'),
         MacBinary("a.txt.bin", data, resource)},
        {"a non-zero reserved field", Member("a.txt", flagged, 'm'), flagged},
        {"fork lengths that do not add up", Member("a.txt", wrapped + std::string(256, 'x'), 'm'),
         wrapped + std::string(256, 'x')},
        {"a modification time days away",
         Member("a.txt", MacBinary("a.txt", data, resource, kMtime - 5 * 86400), 'm'),
         MacBinary("a.txt", data, resource, kMtime - 5 * 86400)},
        {"a plain file from MacLHA", Member("a.txt", plain, 'm'), plain},
        {"a member shorter than a MacBinary header", Member("a.txt", "tiny", 'm', "-lh0-"), "tiny"},
    };
    for (const Case& c : cases) {
        int rc = -1;
        std::string report;
        std::string out = Extract(c.member + std::string(1, '\0'), &rc, &report);
        EXPECT_EQ(rc, 0) << c.why << ": " << report;
        EXPECT_TRUE(ReadFile(out + "a.txt") == c.expected) << c.why;
    }
}

TEST_F(LzhProducers, DamageInTheStrippedResourceForkIsStillACrcError) {
    const std::string data = SampleText(2000, 56), resource = SampleBinary(2000, 57);
    std::string member = Member("a.txt", MacBinary("a.txt", data, resource), 'm', "-lh0-");
    member[member.size() - 300] ^= 0x01;  // inside the resource fork
    int rc = 0;
    std::string out = Extract(member + std::string(1, '\0'), &rc);
    EXPECT_EQ(rc, ERROR_FILE_CRC);
    EXPECT_FALSE(fs::exists(out + "a.txt"));
}

TEST_F(LzhProducers, Os9LevelTwoHeadersTwoBytesShortReadWithTheirPermissions) {
    const std::string a = SampleText(20000, 61), b = SampleBinary(3000, 62);
    // OS-9 permissions: owner read+write, public read (0x0B); all six bits (0x3F).
    std::string out = Extract(Member("os9/a.txt", a, 'K', "-lh5-", 0x0B) +
                              Member("os9/run", b, 'K', "-lh0-", 0x3F) + std::string(1, '\0'));
    EXPECT_TRUE(ReadFile(out + "os9/a.txt") == a);
    EXPECT_TRUE(ReadFile(out + "os9/run") == b);
    mode_t mask = umask(0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat((out + "os9/a.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u & ~mask);
    ASSERT_EQ(stat((out + "os9/run").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0777u & ~mask);
}

namespace {

// A level-0 member as LHA for MS-DOS writes it: the whole path with "\",
// the DOS attribute, no extended area.
std::string Level0(const std::string& path, const std::string& data, uint8_t attr) {
    std::string h;
    h += static_cast<char>(22 + path.size());
    h += '\0';
    h += "-lh0-";
    for (uint32_t v :
         {static_cast<uint32_t>(data.size()), static_cast<uint32_t>(data.size()), 0x5A215A21u})
        for (int i = 0; i < 4; ++i) h += static_cast<char>(v >> (8 * i));
    h += static_cast<char>(attr);
    h += '\0';  // level 0
    h += static_cast<char>(path.size());
    h += path;
    uint16_t crc = kt::lzh::Crc16(data.data(), data.size());
    h += static_cast<char>(crc);
    h += static_cast<char>(crc >> 8);
    uint8_t sum = 0;
    for (std::size_t i = 2; i < h.size(); ++i) sum = static_cast<uint8_t>(sum + h[i]);
    h[1] = static_cast<char>(sum);
    return h + data;
}

}  // namespace

TEST_F(LzhProducers, FolderEntriesThatAreNotLhdMakeFoldersNotFiles) {
    // A separator at the end, the folder attribute, and (level 2, as Amiga
    // writers do) an empty file name below a folder: each only marks a folder.
    std::string out =
        Extract(Level0("DOCS\\", "", 0x10) + Level0("DOCS\\README.TXT", "read me\n", 0x20) +
                Level0("EMPTY", "", 0x10) + Level0("TRAIL\\", "", 0x20) +
                Member("amiga/", "", 'A', "-lh0-") + std::string(1, '\0'));
    EXPECT_EQ(ReadFile(out + "DOCS/README.TXT"), "read me\n");
    EXPECT_TRUE(fs::is_directory(out + "EMPTY"));
    EXPECT_TRUE(fs::is_directory(out + "TRAIL"));
    EXPECT_TRUE(fs::is_directory(out + "amiga"));
    // A plain empty file stays a file.
    std::string plain = Extract(Level0("EMPTY.TXT", "", 0x20) + std::string(1, '\0'));
    EXPECT_TRUE(fs::is_regular_file(plain + "EMPTY.TXT"));
}
