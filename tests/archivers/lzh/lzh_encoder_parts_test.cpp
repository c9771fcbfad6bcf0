// The encoder's parts where speed made the code less plain: the bit writer's
// own output room, the branch-free slot and code arithmetic, and the match
// finder's walk, each held against a simple form of the same job.
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "archivers/codecs/lzh/bit_writer.h"
#include "archivers/codecs/lzh/block_writer.h"
#include "archivers/codecs/lzh/huffman.h"
#include "archivers/codecs/lzh/match_finder.h"

using namespace kt::lzh;

namespace {

// Bits one at a time, most significant first, into bytes padded with zeros.
std::vector<uint8_t> PlainBits(const std::vector<std::pair<uint32_t, int>>& puts) {
    std::vector<uint8_t> out;
    int used = 8;
    for (auto [v, n] : puts) {
        for (int i = n - 1; i >= 0; --i) {
            if (used == 8) {
                out.push_back(0);
                used = 0;
            }
            out.back() = static_cast<uint8_t>(out.back() | (((v >> i) & 1) << (7 - used)));
            ++used;
        }
    }
    return out;
}

}  // namespace

TEST(BitWriter, WritesWhatAPlainBitWriterWritesPastItsReservedRoom) {
    std::mt19937 rng(3);
    BitWriter w;
    w.Reserve(16);  // far less than is written: the room must grow
    std::vector<std::pair<uint32_t, int>> puts;
    for (int i = 0; i < 5000; ++i) {
        int n = static_cast<int>(rng() % 33);  // 0..32
        uint32_t v = rng();                    // bits above n must be ignored
        if (n < 32 && rng() % 2) {
            w.PutShort(v, n);
        } else {
            w.Put(v, n);
        }
        puts.emplace_back(n == 32 ? v : v & ((1u << n) - 1), n);
    }
    int pad = w.FlushBits();
    std::vector<uint8_t> got(w.Data(), w.Data() + w.Size());
    std::vector<uint8_t> want = PlainBits(puts);
    EXPECT_EQ(got, want);
    uint64_t bits = 0;
    for (auto [v, n] : puts) bits += static_cast<uint64_t>(n);
    EXPECT_EQ(static_cast<uint64_t>(pad), want.size() * 8 - bits);
    // Cleared, the writer starts over in the room it has.
    w.Clear();
    w.Put(0xABC, 12);
    EXPECT_EQ(w.FlushBits(), 4);
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()),
              (std::vector<uint8_t>{0xAB, 0xC0}));
}

TEST(BlockWriter, PositionSlotIsTheBitLengthOfTheDistance) {
    EXPECT_EQ(PositionSlot(0), 0);
    EXPECT_EQ(PositionSlot(1), 1);
    for (int bits = 2; bits <= 32; ++bits) {
        uint32_t low = 1u << (bits - 1);
        EXPECT_EQ(PositionSlot(low), bits) << bits;
        EXPECT_EQ(PositionSlot(low | (low - 1)), bits) << bits;
    }
}

TEST(Huffman, CanonicalCodesLeaveUnusedSymbolsAtZero) {
    // One 1-bit code (0), two 2-bit codes (10, 11) in symbol order.
    const uint8_t lengths[] = {2, 0, 1, 0, 2, 0};
    uint16_t codes[6];
    MakeCodes(lengths, 6, codes);
    EXPECT_EQ(std::vector<uint16_t>(codes, codes + 6), (std::vector<uint16_t>{2, 0, 0, 0, 3, 0}));
}

// Longest takes shortcuts (a 4-byte test at the match's edge, the walk cut
// at the first long enough match); All walks the same chain comparing every
// candidate. The longest of All's matches, the nearest of its length, is
// what Longest must find, whatever the chain limit. Small tables collide
// often, so chains also hold candidates that agree on 3 bytes only.
TEST(MatchFinder, LongestFindsWhatTheFullWalkFinds) {
    static const char* kWords[] = {"pack ", "packed ", "packer ", "packing ", "pa",
                                   "ck",    "a",       "\n",      "archive ", "archived ",
                                   "arc ",  "q",       "x",       "arx",      "pax"};
    struct Case {
        int tableBits;
        std::size_t size;
        unsigned seeds;
    };
    for (Case c : {Case{16, 30000, 1}, Case{10, 1000, 40}}) {
        for (unsigned seed = 0; seed < c.seeds; ++seed) {
            std::mt19937 rng(seed);
            std::vector<uint8_t> buf;
            while (buf.size() < c.size) {
                const std::string w = kWords[rng() % 15];
                buf.insert(buf.end(), w.begin(), w.end());
            }
            buf.resize(c.size);
            const int32_t size = static_cast<int32_t>(buf.size());
            buf.resize(buf.size() + kMaxMatch + 16);
            MatchFinder mf(16, buf.data(), c.tableBits);
            int found = 0;
            for (int32_t p = 0; p < size - 3; ++p) {
                const int maxLen = std::min(kMaxMatch, size - p);
                for (int chain : {1, 5, 64}) {
                    for (int nice : {8, kMaxMatch}) {
                        uint16_t lens[64];
                        uint32_t dists[64];
                        int n = mf.All(p, maxLen, chain, nice, lens, dists, 64);
                        uint32_t dist = 0;
                        int len = mf.Longest(p, maxLen, kMinMatch - 1, chain, nice, &dist);
                        ASSERT_EQ(len, n ? lens[n - 1] : 0)
                            << c.tableBits << " " << seed << " " << p;
                        if (n > 0) {
                            ASSERT_EQ(dist, dists[n - 1]) << c.tableBits << " " << seed << " " << p;
                        }
                        found += n > 0;
                    }
                }
                mf.Insert(p);
            }
            EXPECT_GT(found, size);  // the text repeats: most searches find a match
        }
    }
}

// The nearest earlier copy of a 3-byte string is its best match of length 3;
// a string with the same hash in between must not hide it. Two strings of
// one 14-bit hash, a colliding string placed between the copies: the small
// table loses the match (as the normal effort's has always done), a table
// of 18 bits keeps it.
TEST(MatchFinder, ALargerTableOfThreeByteStringsKeepsTheNearestCopy) {
    auto hash = [](const uint8_t* s, int bits) {
        uint32_t v = s[0] | s[1] << 8 | s[2] << 16;
        return ((v << 8) * 2654435761u) >> (32 - bits);
    };
    const uint8_t want[3] = {'a', 'b', 'c'};
    uint8_t other[3] = {0, 0, 0};
    for (uint32_t v = 1; v < (1u << 24); ++v) {
        const uint8_t s[3] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16)};
        if (hash(s, 14) == hash(want, 14) && hash(s, 18) != hash(want, 18)) {
            std::copy(s, s + 3, other);
            break;
        }
    }
    ASSERT_NE(hash(other, 18), hash(want, 18));
    // "abc1" ... "<other>2" ... "abc3": only the first 3 bytes repeat.
    std::vector<uint8_t> buf(64, '.');
    const int32_t first = 0, between = 20, p = 40;
    std::copy(want, want + 3, buf.begin() + first);
    buf[first + 3] = '1';
    std::copy(other, other + 3, buf.begin() + between);
    buf[between + 3] = '2';
    std::copy(want, want + 3, buf.begin() + p);
    buf[p + 3] = '3';
    buf.resize(buf.size() + kMaxMatch + 16);
    struct Row {
        int hash3Bits;
        int matches;
    };
    for (Row r : {Row{14, 0}, Row{18, 1}}) {
        MatchFinder mf(16, buf.data(), 16, r.hash3Bits);
        mf.InsertRange(0, p);
        uint16_t lens[4];
        uint32_t dists[4];
        int n = mf.All(p, 24, 64, kMaxMatch, lens, dists, 4);
        ASSERT_EQ(n, r.matches) << r.hash3Bits;
        if (n > 0) {
            EXPECT_EQ(lens[0], 3);
            EXPECT_EQ(dists[0], static_cast<uint32_t>(p - first - 1));
        }
    }
}
