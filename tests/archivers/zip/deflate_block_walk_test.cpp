// The block walk that finds where a piece's last block starts and the
// stream ends, checked against zlib's own block-stepping inflate on streams
// of every block kind, and on broken streams, which it must refuse.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <random>

#include "deflate_block_walk.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::zip::FindLastBlock;

struct Blocks {
    bool ok = false;
    uint64_t lastBlockBit = 0, endBit = 0;
    bool operator==(const Blocks&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Blocks& b) {
    return os << (b.ok ? "ok" : "refused") << " last block at bit " << b.lastBlockBit << ", end at bit " << b.endBit;
}

// What zlib says: it stops after every end-of-block code and tells how many
// bits of the last byte it left unused.
Blocks ByInflate(const std::string& stream) {
    Blocks b;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return b;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::vector<uint8_t> out(1 << 16);
    for (;;) {
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        int r = inflate(&z, Z_BLOCK);
        if (z.data_type & 128) {
            uint64_t bit = static_cast<uint64_t>(z.total_in) * 8 - (z.data_type & 7);
            if (z.data_type & 64) {
                b.endBit = bit;
                b.ok = true;
            } else {
                b.lastBlockBit = bit;
            }
        }
        if (r == Z_STREAM_END) break;
        if ((r != Z_OK && r != Z_BUF_ERROR) || (r == Z_BUF_ERROR && z.avail_in == 0)) {
            b.ok = false;
            break;
        }
    }
    inflateEnd(&z);
    if (!b.ok) b = {};
    return b;
}

Blocks ByWalk(const std::string& stream) {
    Blocks b;
    b.ok = FindLastBlock(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(), b.lastBlockBit, b.endBit);
    if (!b.ok) b = {};
    return b;
}

std::string Deflate(const std::string& data, int level) {
    libdeflate_compressor* c = libdeflate_alloc_compressor(level);
    std::string out(libdeflate_deflate_compress_bound(c, data.size()), '\0');
    out.resize(libdeflate_deflate_compress(c, data.data(), data.size(), out.data(), out.size()));
    libdeflate_free_compressor(c);
    return out;
}

// Text sprinkled with every byte value: rare literals get codes longer than
// the walk's look-up table.
std::string TextWithRareBytes(size_t size) {
    std::string s = SampleText(size, 7);
    std::mt19937 rng(8);
    for (size_t i = 0; i < s.size(); i += 50 + rng() % 400) s[i] = static_cast<char>(rng());
    return s;
}

TEST(DeflateBlockWalk, FindsTheBlocksZlibFindsInEveryKindOfStream) {
    const std::vector<std::string> inputs = {
        "",                                                   // one fixed block with the end code only
        "x",                                                  // fixed codes
        SampleText(3000, 3),                                  // short: fixed or one dynamic block
        SampleText(2u << 20, 4),                              // many dynamic blocks
        RandomBytes(300000, 5),                               // stored blocks
        SampleText(200000, 6) + RandomBytes(200000, 6) + SampleText(200000, 9),  // kinds mixed
        TextWithRareBytes(1u << 20),                          // long codes
        std::string(1u << 20, '\0'),                          // matches of 258 at distance 1
    };
    for (size_t i = 0; i < inputs.size(); ++i) {
        for (int level : {1, 6, 9, 12}) {
            const std::string stream = Deflate(inputs[i], level);
            const Blocks zlib = ByInflate(stream);
            ASSERT_TRUE(zlib.ok) << "input " << i << " level " << level;
            EXPECT_EQ(ByWalk(stream), zlib) << "input " << i << " level " << level;
        }
    }
}

TEST(DeflateBlockWalk, RefusesCutAndDamagedStreams) {
    const std::string stream = Deflate(TextWithRareBytes(400000) + RandomBytes(70000, 10), 6);
    ASSERT_TRUE(ByWalk(stream).ok);
    // Every cut short of the end code loses the final block or part of it.
    const uint64_t end = ByWalk(stream).endBit;
    for (size_t keep = 0; keep < stream.size(); keep += keep < 64 ? 1 : 997) {
        if (keep * 8 >= end) break;
        EXPECT_FALSE(ByWalk(stream.substr(0, keep)).ok) << "cut at " << keep;
    }
    EXPECT_FALSE(ByWalk(stream.substr(0, (end - 1) / 8)).ok);
    // Damage: wherever zlib still reads a whole stream, the walk finds the
    // same blocks; elsewhere it only has to end without reading past the
    // buffer (it does not check distances, so it may accept what zlib does not).
    std::mt19937 rng(11);
    int whole = 0;
    for (int round = 0; round < 300; ++round) {
        std::string bad = stream;
        bad[rng() % bad.size()] ^= static_cast<char>(1u << (rng() % 8));
        if (round % 3 == 0) bad = RandomBytes(2000, static_cast<unsigned>(round));
        const Blocks zlib = ByInflate(bad), walk = ByWalk(bad);
        if (zlib.ok) {
            EXPECT_EQ(walk, zlib) << "round " << round;
            ++whole;
        }
    }
    EXPECT_GT(whole, 10);  // the comparison did take place
}

}  // namespace
}  // namespace kt::ziptest
