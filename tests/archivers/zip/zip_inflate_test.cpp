// Our inflater read as plain Deflate against zlib's output at every level
// (the Deflate64 side is checked against 7z's archives in the method
// tests), fed in pieces of every size, and its refusals: a stream that ends
// early, a distance before the first byte, codes no table allows.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "archivers/codecs/zip/zip_inflate.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::zip::DeflateVariant;
using kt::zip::ZipStatus;

std::string RawDeflate(const std::string& s, int level) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, s.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(s.data()));
    z.avail_in = static_cast<uInt>(s.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

ZipStatus InflateAll(const std::string& packed, std::string* out, size_t piece = 1 << 20,
                     DeflateVariant v = DeflateVariant::Deflate) {
    size_t pos = 0;
    kt::zip::PullFn pull = [&](uint8_t* buf, size_t n) -> std::ptrdiff_t {
        n = std::min({n, piece, packed.size() - pos});
        std::memcpy(buf, packed.data() + pos, n);
        pos += n;
        return static_cast<std::ptrdiff_t>(n);
    };
    kt::zip::EmitFn emit = [&](const uint8_t* d, size_t n) {
        out->append(reinterpret_cast<const char*>(d), n);
        return true;
    };
    return kt::zip::Inflate(v, pull, emit);
}

}  // namespace

TEST(ZipInflate, ReadsZlibStreamsAtEveryLevelInAnyPieces) {
    const std::string inputs[] = {SampleText(300000, 3), RandomBytes(100000, 4),
                                  std::string(200000, 'q'), "", "x"};
    for (const std::string& in : inputs) {
        for (int level : {0, 1, 6, 9}) {
            std::string packed = RawDeflate(in, level);
            for (size_t piece : {size_t{1}, size_t{7}, size_t{1} << 20}) {
                if (piece == 1 && in.size() > 100000) continue;
                std::string out;
                ASSERT_EQ(InflateAll(packed, &out, piece), ZipStatus::Ok) << level << " " << piece;
                EXPECT_TRUE(out == in) << level << " " << piece;
            }
        }
    }
}

TEST(ZipInflate, RefusesTruncatedAndImpossibleStreams) {
    std::string packed = RawDeflate(SampleText(50000, 5), 6);
    std::string out;
    EXPECT_EQ(InflateAll(packed.substr(0, packed.size() / 2), &out), ZipStatus::Broken);
    out.clear();
    EXPECT_EQ(InflateAll(packed.substr(0, packed.size() - 1), &out), ZipStatus::Broken);
    // A fixed-code block whose first symbol copies from distance 1: nothing
    // was written yet. Bits: final 1, type 01, length code 257 (0000001),
    // distance code 0 (00000).
    const std::string before = {static_cast<char>(0x03), static_cast<char>(0x02), 0, 0};
    out.clear();
    EXPECT_EQ(InflateAll(before, &out), ZipStatus::Broken);
    // Block type 3 does not exist.
    out.clear();
    EXPECT_EQ(InflateAll(std::string(1, '\x07'), &out), ZipStatus::Broken);
    // A stored block whose length and its complement disagree.
    out.clear();
    EXPECT_EQ(InflateAll(std::string("\x01\x05\x00\x00\x00", 5), &out), ZipStatus::Broken);
    // Deflate has no distance codes 30 and 31; Deflate64 does.
    std::string d64;
    EXPECT_EQ(InflateAll(RawDeflate("abc", 6), &d64, 1 << 20, DeflateVariant::Deflate64),
              ZipStatus::Ok);
    EXPECT_EQ(d64, "abc");
}

}  // namespace kt::ziptest
