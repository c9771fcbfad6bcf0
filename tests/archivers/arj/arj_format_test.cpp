// ARJ archives made by Debian's arj at every method read back through our
// header reader and decoders byte-exact, and damage to a header or to data
// is caught (header CRC-32, data CRC-32).
#include <zlib.h>

#include <gtest/gtest.h>

#include "archivers/codecs/lzh/arj_decoder.h"
#include "archivers/unarj32j/arj_archive.h"
#include "arj_test_support.h"
#include "platform/archiver_api.h"

using namespace kt::arjtest;

namespace {

struct Crc32Sink : kt::lzh::Sink {
    bool Write(const uint8_t* d, std::size_t n) override {
        crc = crc32(crc, d, static_cast<uInt>(n));
        data.append(reinterpret_cast<const char*>(d), n);
        return true;
    }
    uLong crc = 0;
    std::string data;
};

}  // namespace

TEST(ArjFormat, EveryMethodOfArjDecodesByteExact) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    SampleTree tree;
    for (int method = 0; method <= 4; ++method) {
        SCOPED_TRACE("method " + std::to_string(method));
        std::string arc = tree.Pack(method);
        kt::unarj::ArjFile file;
        ASSERT_TRUE(file.Open(arc));
        ASSERT_EQ(file.ReadListing(), 0);
        std::size_t seen = 0;
        for (const kt::unarj::ArjMember& m : file.Members()) {
            auto it = tree.files.find(m.name);
            ASSERT_NE(it, tree.files.end()) << m.name;
            ++seen;
            kt::unarj::ArjMemberSource src(file, m);
            Crc32Sink sink;
            kt::lzh::DecodeResult r = kt::lzh::DecodeArj(m.method, src, sink, m.originalSize);
            ASSERT_EQ(r.status, kt::lzh::Status::Ok) << m.name;
            EXPECT_EQ(sink.crc, m.crc) << m.name;
            EXPECT_TRUE(sink.data == it->second) << m.name;
            EXPECT_NEAR(static_cast<double>(m.mtime), static_cast<double>(tree.mtime), 2.0)
                << m.name;
        }
        EXPECT_EQ(seen, tree.files.size());
    }
}

TEST(ArjFormat, DamagedHeaderIsAHeaderCrcError) {
    if (!HaveArj()) GTEST_SKIP() << "arj not installed";
    SampleTree tree;
    std::string bytes = ReadFile(tree.Pack(1));
    std::size_t second = bytes.find("\x60\xEA", 4);  // the first member's header
    bytes[second + 20] ^= 0x01;                      // its modification time
    WriteFile(tree.dir / "bad.arj", bytes);
    kt::unarj::ArjFile file;
    ASSERT_TRUE(file.Open(tree.dir / "bad.arj"));
    EXPECT_EQ(file.ReadListing(), ERROR_HEADER_CRC);
}
