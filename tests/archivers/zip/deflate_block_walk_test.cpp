// The block walk that finds where a piece's last block starts and the
// stream ends, checked against zlib's own block-stepping inflate on streams
// of every block kind, and on broken streams, which it must refuse.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <numeric>
#include <random>

#include "archivers/codecs/zip/deflate_block_walk.h"
#include "archivers/codecs/zip/deflate_tables.h"
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
    return os << (b.ok ? "ok" : "refused") << " last block at bit " << b.lastBlockBit
              << ", end at bit " << b.endBit;
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
    b.ok = FindLastBlock(reinterpret_cast<const uint8_t*>(stream.data()), stream.size(),
                         b.lastBlockBit, b.endBit);
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

// Writes deflate bits, least significant first; Huffman codes go most
// significant bit first, as the format sends them.
class BitWriter {
public:
    void Put(uint32_t value, int bits) {
        for (int i = 0; i < bits; ++i) Bit(value >> i & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit(code >> i & 1);
    }
    std::string Bytes() const { return out_; }

private:
    void Bit(uint32_t b) {
        if (used_ == 0) out_.push_back('\0');
        out_.back() = static_cast<char>(out_.back() | b << used_);
        used_ = (used_ + 1) % 8;
    }
    std::string out_;
    int used_ = 0;
};

// The canonical codes of a set of code lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<int>& lengths) {
    int count[16] = {}, next[16] = {};
    for (int l : lengths) ++count[l];
    count[0] = 0;
    for (int len = 1, code = 0; len < 16; ++len) next[len] = code = (code + count[len - 1]) << 1;
    std::vector<uint32_t> codes(lengths.size());
    for (size_t s = 0; s < lengths.size(); ++s)
        if (lengths[s]) codes[s] = static_cast<uint32_t>(next[lengths[s]]++);
    return codes;
}

// A complete code of 16 lengths: 1, 2, ... 14, 15, 15.
std::vector<int> Ladder() {
    std::vector<int> l(16);
    std::iota(l.begin(), l.end() - 1, 1);
    l.back() = 15;
    return l;
}

// Dynamic blocks whose codes span every length from 1 to 15 bits, handed
// out to symbols at random, and a random run of symbols over them: codes
// exactly as wide as a look-up, wider ones in any place, short codes that
// share a look-up with the code after them, lengths and distances with the
// most extra bits. zlib checks each stream as it reads it.
std::string LadderStream(unsigned seed, int blocks) {
    std::mt19937 rng(seed);
    BitWriter w;
    for (int b = 0; b < blocks; ++b) {
        // Literal/length symbols: the end code, 'a' (the run's first byte),
        // length 258 (symbol 285) and distance 1 (symbol 0) must be coded;
        // the rest of the ladder goes to random literals and lengths.
        std::vector<int> pool;
        for (int s = 0; s < 286; ++s)
            if (s != 256 && s != 'a' && s != 285) pool.push_back(s);
        std::shuffle(pool.begin(), pool.end(), rng);
        std::vector<int> litSymbols = {256, 'a', 285};
        litSymbols.insert(litSymbols.end(), pool.begin(), pool.begin() + 13);
        std::shuffle(litSymbols.begin(), litSymbols.end(), rng);
        std::vector<int> distPool(29);
        std::iota(distPool.begin(), distPool.end(), 1);
        std::shuffle(distPool.begin(), distPool.end(), rng);
        std::vector<int> distSymbols = {0};
        distSymbols.insert(distSymbols.end(), distPool.begin(), distPool.begin() + 15);
        std::shuffle(distSymbols.begin(), distSymbols.end(), rng);
        std::vector<int> lit(286), dist(30);
        const std::vector<int> ladder = Ladder();
        for (int i = 0; i < 16; ++i) {
            lit[litSymbols[i]] = ladder[i];
            dist[distSymbols[i]] = ladder[i];
        }
        // Header: a complete code-length code (13 codes of 4 bits, 6 of 5),
        // then every length as itself.
        w.Put(b == blocks - 1, 1);
        w.Put(2, 2);
        w.Put(286 - 257, 5);
        w.Put(30 - 1, 5);
        w.Put(19 - 4, 4);
        std::vector<int> clen(19, 4);
        for (int s = 13; s < 19; ++s) clen[s] = 5;
        for (int i = 0; i < 19; ++i)
            w.Put(static_cast<uint32_t>(clen[kt::zip::kCodeLengthOrder[i]]), 3);
        const std::vector<uint32_t> clCodes = CanonicalCodes(clen);
        for (int l : lit) w.Code(clCodes[l], clen[l]);
        for (int l : dist) w.Code(clCodes[l], clen[l]);
        const std::vector<uint32_t> litCodes = CanonicalCodes(lit),
                                    distCodes = CanonicalCodes(dist);
        auto literal = [&](int s) { w.Code(litCodes[s], lit[s]); };
        auto match = [&](int lengthSymbol, int distSymbol) {
            literal(lengthSymbol);
            w.Put(rng(), kt::zip::kLengthExtra[lengthSymbol - 257]);
            w.Code(distCodes[distSymbol], dist[distSymbol]);
            w.Put(rng(), kt::zip::kDistExtra[distSymbol]);
        };
        // 33,000 bytes of history first, so that any distance is in reach.
        literal('a');
        for (int i = 0; i < 128; ++i) match(285, 0);
        std::vector<int> codedLit, codedDist;
        for (int s = 0; s < 286; ++s)
            if (lit[s] && s != 256) codedLit.push_back(s);
        for (int s = 0; s < 30; ++s)
            if (dist[s]) codedDist.push_back(s);
        for (int i = 0; i < 4000; ++i) {
            const int s = codedLit[rng() % codedLit.size()];
            if (s < 256)
                literal(s);
            else
                match(s, codedDist[rng() % codedDist.size()]);
        }
        literal(256);
    }
    return w.Bytes();
}

TEST(DeflateBlockWalk, FindsTheBlocksOfStreamsWithCodesOfEveryLength) {
    for (unsigned seed = 1; seed <= 40; ++seed) {
        const std::string stream = LadderStream(seed, 1 + seed % 3);
        const Blocks zlib = ByInflate(stream);
        ASSERT_TRUE(zlib.ok) << "seed " << seed;
        EXPECT_EQ(ByWalk(stream), zlib) << "seed " << seed;
        // Cut anywhere in the last block, the stream has no end.
        for (uint64_t cut = zlib.lastBlockBit / 8 + 1; cut * 8 < zlib.endBit; cut += 211)
            EXPECT_FALSE(ByWalk(stream.substr(0, cut)).ok) << "seed " << seed << " cut " << cut;
    }
}

TEST(DeflateBlockWalk, FindsTheBlocksZlibFindsInEveryKindOfStream) {
    const std::vector<std::string> inputs = {
        "",                       // one fixed block with the end code only
        "x",                      // fixed codes
        SampleText(3000, 3),      // short: fixed or one dynamic block
        SampleText(2u << 20, 4),  // many dynamic blocks
        RandomBytes(300000, 5),   // stored blocks
        SampleText(200000, 6) + RandomBytes(200000, 6) + SampleText(200000, 9),  // kinds mixed
        TextWithRareBytes(1u << 20),                                             // long codes
        std::string(1u << 20, '\0'),  // matches of 258 at distance 1
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
