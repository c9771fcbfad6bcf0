// The methods other writers use: Deflate64, bzip2 and LZMA from 7z and zip,
// WinZip AES from 7z, Zstandard and xz from a small writer of our own (no
// Debian tool writes them into a ZIP), an unknown method beside readable
// members, and an archive found only through its Zip64 end record. Every
// one extracts byte-exact; a damaged byte is an error and leaves no file.
#include <lzma.h>
#include <zstd.h>

#include <gtest/gtest.h>

#include "archivers/codecs/zip/zip_crypto.h"
#include "archivers/zip_container/zip_format.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

namespace fs = std::filesystem;

// A one-piece writer for entries whose data is already compressed.
class RawZip {
public:
    void Add(const std::string& name, uint16_t method, const std::string& plain,
             const std::string& packed, uint16_t flags = 0) {
        uint32_t crc = kt::zip::Crc32(0, plain.data(), plain.size());
        std::string h;
        kt::zip::Put32(h, kt::zip::kLocalSig);
        kt::zip::Put16(h, method == 0 ? 10 : 63);  // version needed
        kt::zip::Put16(h, flags);
        kt::zip::Put16(h, method);
        kt::zip::Put16(h, 0);
        kt::zip::Put16(h, 0x5A21);
        kt::zip::Put32(h, crc);
        kt::zip::Put32(h, static_cast<uint32_t>(packed.size()));
        kt::zip::Put32(h, static_cast<uint32_t>(plain.size()));
        kt::zip::Put16(h, static_cast<uint16_t>(name.size()));
        kt::zip::Put16(h, 0);
        std::string c;
        kt::zip::Put32(c, kt::zip::kCentralSig);
        kt::zip::Put16(c, 0x033F);
        c += h.substr(4, 26);
        kt::zip::Put16(c, 0);  // comment
        kt::zip::Put16(c, 0);  // disk
        kt::zip::Put16(c, 0);
        kt::zip::Put32(c, 0100644u << 16);
        kt::zip::Put32(c, static_cast<uint32_t>(body_.size()));
        c += name;
        body_ += h + name + packed;
        central_ += c;
        ++count_;
    }
    std::string Bytes() const {
        std::string e;
        kt::zip::Put32(e, kt::zip::kEndSig);
        kt::zip::Put32(e, 0);
        kt::zip::Put16(e, static_cast<uint16_t>(count_));
        kt::zip::Put16(e, static_cast<uint16_t>(count_));
        kt::zip::Put32(e, static_cast<uint32_t>(central_.size()));
        kt::zip::Put32(e, static_cast<uint32_t>(body_.size()));
        kt::zip::Put16(e, 0);
        return body_ + central_ + e;
    }

private:
    std::string body_, central_;
    int count_ = 0;
};

std::string ZstdOf(const std::string& s) {
    std::string out(ZSTD_compressBound(s.size()), '\0');
    out.resize(ZSTD_compress(out.data(), out.size(), s.data(), s.size(), 5));
    return out;
}

std::string XzOf(const std::string& s) {
    std::string out(lzma_stream_buffer_bound(s.size()), '\0');
    size_t pos = 0;
    EXPECT_EQ(lzma_easy_buffer_encode(3, LZMA_CHECK_CRC64, nullptr,
                                      reinterpret_cast<const uint8_t*>(s.data()), s.size(),
                                      reinterpret_cast<uint8_t*>(out.data()), &pos, out.size()),
              LZMA_OK);
    out.resize(pos);
    return out;
}

struct Files {
    TempDir d;
    std::map<std::string, std::string> files = {
        {"text.txt", SampleText(900000, 7)},
        {"bin.dat", RandomBytes(70000, 8)},
        {"empty.txt", ""},
        {"runs.dat", std::string(300000, 'z') + SampleText(5000, 9)},
        // An exact multiple of the decoders' 256 KiB output piece:
        // the stream ends just as a piece fills.
        {"pieces.dat", SampleText(512 << 10, 13)}};
    Files() {
        for (auto& [name, data] : files) WriteFile(d / ("src/" + name), data);
    }
    std::vector<std::string> Tool(std::vector<std::string> cmd) const {
        for (auto& [name, data] : files) cmd.push_back(name);
        return cmd;
    }
    // Extracts with the library and compares every member.
    void ExpectExact(const std::string& archive, const std::string& options,
                     const std::string& tag) {
        std::string out = d / ("out-" + tag);
        std::string report;
        ASSERT_EQ(
            Libs().RunUnZip("-x -o " + options + " " + Q(archive) + " " + Q(out + "/"), &report), 0)
            << tag << "\n"
            << report;
        for (auto& [name, data] : files)
            EXPECT_TRUE(ReadFile(out + "/" + name) == data) << tag << " " << name;
        EXPECT_EQ(Libs().RunUnZip("-t " + options + " " + Q(archive), &report), 0) << tag << "\n"
                                                                                   << report;
    }
};

// Flips one byte in the middle of the largest member's data.
std::string Damaged(std::string bytes) {
    size_t at = bytes.find("text.txt");  // the first local header's name
    bytes[at + bytes.size() / 4] ^= 0x20;
    return bytes;
}

}  // namespace

TEST(Unzip32Methods, PeerArchivesOfEveryMethodExtractByteExact) {
    if (RunTool({"7z"}) < 0 || RunTool({"zip", "-v"}) < 0)
        GTEST_SKIP() << "7z or zip not installed";
    Files f;
    const std::string src = f.d / "src";
    struct Case {
        std::string tag;
        std::vector<std::string> cmd;
        std::string options;
    };
    const std::vector<Case> cases = {
        {"deflate64", f.Tool({"7z", "a", "-tzip", "-m0=Deflate64", f.d / "d64.zip"}), ""},
        {"bzip2-7z", f.Tool({"7z", "a", "-tzip", "-m0=BZip2", f.d / "bz.zip"}), ""},
        {"bzip2-zip", f.Tool({"zip", "-q", "-Z", "bzip2", f.d / "zbz.zip"}), ""},
        {"lzma", f.Tool({"7z", "a", "-tzip", "-m0=LZMA", f.d / "lzma.zip"}), ""},
        {"aes256", f.Tool({"7z", "a", "-tzip", "-pSecret 1", "-mem=AES256", f.d / "aes256.zip"}),
         "-P \"Secret 1\""},
        {"aes192",
         f.Tool({"7z", "a", "-tzip", "-pSecret", "-mem=AES192", "-m0=BZip2", f.d / "aes192.zip"}),
         "-P Secret"},
        {"aes128",
         f.Tool(
             {"7z", "a", "-tzip", "-pSecret", "-mem=AES128", "-m0=Deflate64", f.d / "aes128.zip"}),
         "-P Secret"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        ASSERT_EQ(RunTool(c.cmd, src), 0);
        f.ExpectExact(c.cmd[c.cmd.size() - f.files.size() - 1], c.options, c.tag);
    }
}

TEST(Unzip32Methods, ZstandardAndXzFromOurOwnWriter) {
    Files f;
    RawZip zip;
    for (auto& [name, data] : f.files)
        zip.Add(name, name == "bin.dat" ? 95 : 93, data,
                name == "bin.dat" ? XzOf(data) : ZstdOf(data));
    WriteFile(f.d / "zx.zip", zip.Bytes());
    f.ExpectExact(f.d / "zx.zip", "", "zstd-xz");
}

TEST(Unzip32Methods, DamagedByteInAnyMethodIsAnErrorAndNoFile) {
    if (RunTool({"7z"}) < 0) GTEST_SKIP() << "7z not installed";
    TempDir d;
    WriteFile(d / "src/text.txt", SampleText(400000, 11));
    RawZip own;
    own.Add("text.txt", 93, ReadFile(d / "src/text.txt"), ZstdOf(ReadFile(d / "src/text.txt")));
    WriteFile(d / "zstd.zip", own.Bytes());
    RawZip ownXz;
    ownXz.Add("text.txt", 95, ReadFile(d / "src/text.txt"), XzOf(ReadFile(d / "src/text.txt")));
    WriteFile(d / "xz.zip", ownXz.Bytes());
    struct Case {
        std::string tag, archive, options;
        int code;
    };
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", "-m0=Deflate64", d / "d64.zip", "text.txt"}, d / "src"),
              0);
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", "-m0=BZip2", d / "bz.zip", "text.txt"}, d / "src"), 0);
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", "-m0=LZMA", d / "lzma.zip", "text.txt"}, d / "src"), 0);
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", "-pSecret", "-mem=AES256", d / "aes.zip", "text.txt"},
                      d / "src"),
              0);
    const Case cases[] = {
        {"deflate64", d / "d64.zip", "", 0}, {"bzip2", d / "bz.zip", "", 0},
        {"lzma", d / "lzma.zip", "", 0},     {"zstd", d / "zstd.zip", "", 0},
        {"xz", d / "xz.zip", "", 0},         {"aes", d / "aes.zip", "-P Secret", ERROR_FILE_CRC}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        WriteFile(d / "bad.zip", Damaged(ReadFile(c.archive)));
        std::string out = d / ("out-" + c.tag);
        std::string report;
        int rc = Libs().RunUnZip("-x -o " + c.options + " " + Q(d / "bad.zip") + " " + Q(out + "/"),
                                 &report);
        EXPECT_NE(rc, 0) << report;
        if (c.code) {
            EXPECT_EQ(rc, c.code) << report;
        }
        EXPECT_FALSE(Exists(out + "/text.txt")) << report;
        EXPECT_NE(report.find("text.txt"), std::string::npos) << report;
        EXPECT_NE(Libs().RunUnZip("-t " + c.options + " " + Q(d / "bad.zip")), 0);
    }
}

TEST(Unzip32Methods, AesChecksPasswordMacAndTheAe1Crc) {
    if (RunTool({"7z"}) < 0) GTEST_SKIP() << "7z not installed";
    TempDir d;
    const std::string text = SampleText(50000, 12);
    WriteFile(d / "src/a.txt", text);
    ASSERT_EQ(
        RunTool({"7z", "a", "-tzip", "-pright", "-mem=AES256", d / "aes.zip", "a.txt"}, d / "src"),
        0);
    const std::string bytes = ReadFile(d / "aes.zip");
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-x -o -P wrong " + Q(d / "aes.zip") + " " + Q(d / "w/"), &report),
              ERROR_PASSWORD_FILE);
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "aes.zip") + " " + Q(d / "w/")),
              ERROR_PASSWORD_FILE);
    EXPECT_FALSE(Exists(d / "w/a.txt"));
    // The same entry as AE-1: the CRC in the directory counts then, and a
    // wrong one is an error even though the MAC is sound.
    size_t central = bytes.find("PK\x01\x02");
    size_t aes = bytes.find(std::string("\x01\x99\x07\x00", 4), central);
    ASSERT_NE(aes, std::string::npos);
    std::string ae1 = bytes;
    ae1[aes + 4] = 1;
    uint32_t crc = kt::zip::Crc32(0, text.data(), text.size());
    // Both copies of the CRC: the local header repeats the directory's.
    for (int i = 0; i < 4; ++i) {
        ae1[central + 16 + i] = static_cast<char>(crc >> (8 * i));
        ae1[14 + i] = static_cast<char>(crc >> (8 * i));
    }
    WriteFile(d / "ae1.zip", ae1);
    EXPECT_EQ(Libs().RunUnZip("-x -o -P right " + Q(d / "ae1.zip") + " " + Q(d / "ae1/"), &report),
              0)
        << report;
    EXPECT_EQ(ReadFile(d / "ae1/a.txt"), text);
    ae1[central + 16] ^= 1;
    ae1[14] ^= 1;
    WriteFile(d / "ae1-bad.zip", ae1);
    EXPECT_EQ(Libs().RunUnZip("-x -o -P right " + Q(d / "ae1-bad.zip") + " " + Q(d / "ae1b/")),
              ERROR_FILE_CRC);
    EXPECT_FALSE(Exists(d / "ae1b/a.txt"));
    // The MAC covers the data to its last byte.
    std::string tail = bytes;
    tail[central - 11] ^= 1;  // the last encrypted byte, before the 10-byte MAC
    WriteFile(d / "tail.zip", tail);
    EXPECT_EQ(Libs().RunUnZip("-x -o -P right " + Q(d / "tail.zip") + " " + Q(d / "t/"), &report),
              ERROR_FILE_CRC);
    EXPECT_NE(report.find("HMAC"), std::string::npos) << report;
    EXPECT_FALSE(Exists(d / "t/a.txt"));
}

TEST(Unzip32Methods, UnknownMethodIsNamedAndTheOtherMembersStillExtract) {
    if (RunTool({"7z"}) < 0 || RunTool({"zip", "-v"}) < 0)
        GTEST_SKIP() << "7z or zip not installed";
    TempDir d;
    WriteFile(d / "src/ppmd.txt", SampleText(30000, 13));
    WriteFile(d / "src/plain.txt", SampleText(20000, 14));
    ASSERT_EQ(RunTool({"7z", "a", "-tzip", "-m0=PPMd", d / "mixed.zip", "ppmd.txt"}, d / "src"), 0);
    ASSERT_EQ(RunTool({"zip", "-q", d / "mixed.zip", "plain.txt"}, d / "src"), 0);
    std::string report;
    EXPECT_EQ(Libs().RunUnZip("-x -o " + Q(d / "mixed.zip") + " " + Q(d / "out/"), &report),
              ERROR_METHOD);
    EXPECT_NE(report.find("ppmd.txt: unsupported compression method 98 (PPMd)"), std::string::npos)
        << report;
    EXPECT_EQ(ReadFile(d / "out/plain.txt"), ReadFile(d / "src/plain.txt"));
    EXPECT_FALSE(Exists(d / "out/ppmd.txt"));
    EXPECT_EQ(Libs().RunUnZip("-t " + Q(d / "mixed.zip"), &report), ERROR_METHOD);
    EXPECT_NE(report.find("ppmd.txt"), std::string::npos) << report;
}

TEST(Unzip32Methods, DirectoryIsFoundThroughASoundZip64EndRecord) {
    TempDir d;
    const std::string a = SampleText(3000, 15), b = RandomBytes(2000, 16);
    RawZip zip;
    zip.Add("a.txt", 0, a, a);
    zip.Add("b.dat", 0, b, b);
    std::string bytes = zip.Bytes();
    // A Zip64 end record and locator before the end record.
    size_t end = bytes.size() - kt::zip::kEndSize;
    uint64_t cdSize = kt::zip::Get32(reinterpret_cast<const uint8_t*>(&bytes[end + 12]));
    uint64_t cdOffset = kt::zip::Get32(reinterpret_cast<const uint8_t*>(&bytes[end + 16]));
    std::string rec;
    kt::zip::Put32(rec, kt::zip::kZip64EndSig);
    kt::zip::Put64(rec, 44);
    kt::zip::Put16(rec, 45);
    kt::zip::Put16(rec, 45);
    kt::zip::Put32(rec, 0);
    kt::zip::Put32(rec, 0);
    kt::zip::Put64(rec, 2);
    kt::zip::Put64(rec, 2);
    kt::zip::Put64(rec, cdSize);
    kt::zip::Put64(rec, cdOffset);
    std::string loc;
    kt::zip::Put32(loc, kt::zip::kZip64LocatorSig);
    kt::zip::Put32(loc, 0);
    kt::zip::Put64(loc, end);
    kt::zip::Put32(loc, 1);
    // Every field of the classic record as "see the Zip64 record" (disk
    // numbers included, which peers accept), and the same fields damaged.
    std::string marked = bytes.substr(end), damaged = marked;
    for (int i = 4; i < 20; ++i) {
        marked[i] = '\xFF';
        damaged[i] = static_cast<char>(0x5A + i);
    }
    WriteFile(d / "marked.zip", bytes.substr(0, end) + rec + loc + marked);
    WriteFile(d / "damaged.zip", bytes.substr(0, end) + rec + loc + damaged);
    if (RunTool({"7z", "t", d / "marked.zip"}) >= 0) {
        EXPECT_EQ(RunTool({"7z", "t", d / "marked.zip"}), 0);
    }
    if (RunTool({"unzip", "-v"}) >= 0) {
        EXPECT_EQ(RunTool({"unzip", "-tq", d / "marked.zip"}), 0);
    }
    for (const char* name : {"marked", "damaged"}) {
        SCOPED_TRACE(name);
        std::string out = d / (std::string(name) + "/"), report;
        ASSERT_EQ(
            Libs().RunUnZip("-x -o " + Q(d / (std::string(name) + ".zip")) + " " + Q(out), &report),
            0)
            << report;
        EXPECT_EQ(ReadFile(out + "a.txt"), a);
        EXPECT_EQ(ReadFile(out + "b.dat"), b);
    }
    std::string classic = damaged;
    // The same archive without the Zip64 records is refused, not guessed at.
    WriteFile(d / "broken.zip", bytes.substr(0, end) + classic);
    EXPECT_NE(Libs().RunUnZip("-x -o " + Q(d / "broken.zip") + " " + Q(d / "out2/")), 0);
    EXPECT_FALSE(Exists(d / "out2/a.txt"));
}

}  // namespace kt::ziptest
