// Our bzip2 block decoder against libbz2, which wrote every stream here.
// What can go wrong: a Huffman table, MTF or zero run read one symbol off;
// the first-stage run lengths undone at their 4 + 255 edge; the inverse BWT
// walked in segments put back in the wrong order; a block's bytes passed on
// before (or without) its CRC check; a damaged or cut stream called good;
// the randomised blocks we leave to libbz2 coming back different.
#include "archivers/codecs/zip/bzip2_block_decoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archivers/fuzz/zip_fuzz_bodies.h"
#include "bzip2_test_streams.h"

namespace kt::ziptest {
namespace {

using kt::zip::Bzip2BlockDecoder;
using kt::zip::Bzip2BlockResult;
using kt::zip::kBzip2EndMagic;
using kt::zip::ZipStatus;

// libbz2's own reading of a stream: what it passes on, and whether it ends well.
bool Libbz2(const std::string& packed, std::string& out) {
    return kt::fuzz::Libbz2Reads(reinterpret_cast<const uint8_t*>(packed.data()), packed.size(),
                                 out, SIZE_MAX);
}

// Both decoders' readings of packed: the status and exactly the bytes
// expected. Returns how the split one went.
kt::zip::Bzip2SplitReport ExpectBothRead(const std::string& packed, ZipStatus status,
                                         const std::string& out) {
    Bzip2Decoded d;
    for (bool split : {false, true}) {
        SCOPED_TRACE(split ? "split" : "sequential");
        d = split ? Bzip2DecodeSplit(packed) : Bzip2DecodeSequentially(packed);
        EXPECT_EQ(d.status, status);
        EXPECT_TRUE(d.out == out) << d.out.size() << " bytes against " << out.size();
    }
    return d.report;
}

// Our decoder on the block at `bit` of `bytes`, with the read pad behind them.
Bzip2BlockResult DecodeBlockAt(Bzip2BlockDecoder& decoder, const std::string& bytes, uint64_t bit,
                               int level) {
    const std::string padded = bytes + std::string(kt::zip::kBzip2ReadPad, '\0');
    return decoder.Decode(reinterpret_cast<const uint8_t*>(padded.data()), bytes.size(), bit,
                          level);
}

uint64_t GetBits(const std::string& s, uint64_t bit, int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i, ++bit)
        v = v << 1 | (static_cast<uint8_t>(s[bit / 8]) >> (7 - bit % 8) & 1);
    return v;
}

void SetBits(std::string& s, uint64_t bit, int n, uint64_t value) {
    for (int i = n - 1; i >= 0; --i, ++bit) {
        const auto mask = static_cast<char>(0x80 >> (bit % 8));
        s[bit / 8] = static_cast<char>((value >> i & 1) ? s[bit / 8] | mask : s[bit / 8] & ~mask);
    }
}

// bzip2's CRC the slow way, one bit at a time, independent of ours.
uint32_t SlowCrc(const std::string& data) {
    uint32_t c = 0xFFFFFFFF;
    for (unsigned char b : data) {
        c ^= uint32_t{b} << 24;
        for (int i = 0; i < 8; ++i) c = (c & 0x80000000u) ? c << 1 ^ 0x04C11DB7u : c << 1;
    }
    return ~c;
}

// Where each block of a stream starts, then where its end record starts.
std::vector<uint64_t> BlockStarts(const std::string& packed) {
    std::vector<uint64_t> starts{32};
    Bzip2BlockDecoder decoder;
    while (GetBits(packed, starts.back(), 48) != kBzip2EndMagic) {
        // Randomised blocks are parsed to their end as well.
        EXPECT_NE(DecodeBlockAt(decoder, packed, starts.back(), packed[3] - '0'),
                  Bzip2BlockResult::Broken);
        starts.push_back(decoder.EndBit());
    }
    return starts;
}

// What the first block of a stream expands to.
size_t FirstBlockSize(const std::string& packed) {
    Bzip2BlockDecoder decoder;
    EXPECT_EQ(DecodeBlockAt(decoder, packed, 32, packed[3] - '0'), Bzip2BlockResult::Ok);
    std::vector<uint8_t> out;
    EXPECT_EQ(decoder.Expand(out, SIZE_MAX / 2), Bzip2BlockDecoder::Expanded::Ok);
    return out.size();
}

// The stream CRC stored after the end magic, made to fit the block CRCs.
void FixStreamCrc(std::string& packed) {
    const std::vector<uint64_t> starts = BlockStarts(packed);
    uint32_t combined = 0;
    for (size_t i = 0; i + 1 < starts.size(); ++i)
        combined = (combined << 1 | combined >> 31) ^
                   static_cast<uint32_t>(GetBits(packed, starts[i] + 48, 32));
    SetBits(packed, starts.back() + 48, 32, combined);
}

std::string RandomBytes(size_t n, unsigned seed, int alphabet = 256) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() % static_cast<unsigned>(alphabet));
    return s;
}

std::string Text(size_t n) {
    static const char* words[] = {"archive ", "the ",  "of ",      "compressed ", "block ",
                                  "and ",     "file ", "header, ", "to ",         "a ",
                                  "stream. ", "data ", "in ",      "folder\n"};
    std::mt19937 rng(7);
    std::string s;
    while (s.size() < n) s += words[rng() % 14];
    s.resize(n);
    return s;
}

// Runs of every length around the run-length stage's edges (4 equal bytes
// and a count of up to 255 more), every count once, of changing bytes,
// ending in a run of 4.
std::string Runs() {
    std::string s;
    for (size_t len = 4; len <= 259; ++len) s += std::string(len, 'r') + 's';
    std::mt19937 rng(3);
    for (size_t len : {1, 2, 3, 4, 5, 8, 255, 258, 259, 260, 263, 518, 519, 1000, 4000})
        s += std::string(len, static_cast<char>(rng())) + static_cast<char>(rng());
    for (int i = 0; i < 400; ++i) s += std::string(1 + rng() % 600, static_cast<char>(rng() % 3));
    return s + std::string(4, 'z');
}

std::string AllBytes() {
    std::string s;
    for (int round = 0; round < 20; ++round)
        for (int b = 0; b < 256; ++b) s += static_cast<char>(round % 2 ? 255 - b : b);
    return s;
}

// The number of Huffman groups of a stream's first block.
int Groups(const std::string& packed) {
    uint64_t bit = 32 + 48 + 32 + 1 + 24;
    const uint64_t ranges = GetBits(packed, bit, 16);
    bit += 16 + 16 * static_cast<uint64_t>(__builtin_popcountll(ranges));
    return static_cast<int>(GetBits(packed, bit, 3));
}

TEST(Bzip2BlockDecoder, StreamsOfEveryKindDecodeByteExactAsLibbz2DecodesThem) {
    struct Case {
        std::string tag, plain;
    };
    const std::vector<Case> cases = {
        {"empty", ""},
        {"one byte", "x"},
        {"runs", Runs()},
        {"all byte values", AllBytes()},
        {"random", RandomBytes(200'000, 1)},
        {"text", Text(300'000)},
        {"one byte value", std::string(3'000'000, 'q')},
    };
    for (const Case& c : cases) {
        for (int level : {1, 9}) {
            SCOPED_TRACE(c.tag + " at level " + std::to_string(level));
            const std::string packed = Bzip2Compress(c.plain, level);
            std::string reference;
            ASSERT_TRUE(Libbz2(packed, reference));
            ASSERT_TRUE(reference == c.plain);
            ExpectBothRead(packed, ZipStatus::Ok, c.plain);
        }
    }
    // The cases reach both ends of the group count.
    EXPECT_EQ(Groups(Bzip2Compress("x", 9)), 2);
    EXPECT_EQ(Groups(Bzip2Compress(Text(300'000), 9)), 6);
    EXPECT_GE(BlockStarts(Bzip2Compress(Text(300'000), 1)).size(), 4u);
}

TEST(Bzip2BlockDecoder, ABlockReadAloneEndsWhereTheNextRecordStartsAndCarriesItsCrc) {
    const std::string plain = Text(50'000);
    const std::string packed = Bzip2Compress(plain, 9);
    Bzip2BlockDecoder decoder;
    ASSERT_EQ(DecodeBlockAt(decoder, packed, 32, 9), Bzip2BlockResult::Ok);
    EXPECT_EQ(GetBits(packed, decoder.EndBit(), 48), kBzip2EndMagic);
    EXPECT_EQ(decoder.Crc(), SlowCrc(plain));
    std::vector<uint8_t> out;
    // Not a byte more than the block holds, nor fewer.
    EXPECT_EQ(decoder.Expand(out, plain.size() - 1), Bzip2BlockDecoder::Expanded::TooLarge);
    ASSERT_EQ(decoder.Expand(out, plain.size()), Bzip2BlockDecoder::Expanded::Ok);
    EXPECT_TRUE(std::string(out.begin(), out.end()) == plain);
    // The same block at every bit offset of its first byte.
    for (int shift = 1; shift < 8; ++shift) {
        std::string moved(packed.size() + 1, '\0');
        for (uint64_t b = 0; b < packed.size() * 8; ++b)
            SetBits(moved, b + static_cast<uint64_t>(shift), 1, GetBits(packed, b, 1));
        ASSERT_EQ(DecodeBlockAt(decoder, moved, 32 + static_cast<uint64_t>(shift), 9),
                  Bzip2BlockResult::Ok);
        ASSERT_EQ(decoder.Expand(out, plain.size()), Bzip2BlockDecoder::Expanded::Ok);
        EXPECT_TRUE(std::string(out.begin(), out.end()) == plain) << shift;
    }
}

TEST(Bzip2BlockDecoder, NoByteOfADamagedBlockIsPassedOnAndTheStreamIsAnError) {
    const std::string plain = Text(250'000) + RandomBytes(100'000, 2, 40);
    const std::string packed = Bzip2Compress(plain, 1);
    const std::vector<uint64_t> starts = BlockStarts(packed);
    ASSERT_GE(starts.size(), 4u);
    const std::string firstBlock = plain.substr(0, FirstBlockSize(packed));

    struct Case {
        std::string tag, packed;
    };
    std::vector<Case> cases;
    // The second block's stored CRC off by one bit, the stream CRC made to
    // fit: only the block CRC check can catch this.
    std::string crc = packed;
    SetBits(crc, starts[1] + 48 + 31, 1, GetBits(crc, starts[1] + 48 + 31, 1) ^ 1);
    FixStreamCrc(crc);
    cases.push_back({"block CRC", crc});
    // Bits flipped inside the second block's Huffman data.
    for (uint64_t at : {starts[1] + 2000, (starts[1] + starts[2]) / 2, starts[2] - 300}) {
        std::string flipped = packed;
        SetBits(flipped, at, 1, GetBits(flipped, at, 1) ^ 1);
        cases.push_back({"flipped bit " + std::to_string(at), flipped});
    }
    // Its origin pointer beyond the block.
    std::string origin = packed;
    SetBits(origin, starts[1] + 48 + 32 + 1, 24, 0xFFFFFF);
    cases.push_back({"origin pointer", origin});
    // Cut inside the second block.
    cases.push_back({"cut", packed.substr(0, static_cast<size_t>(starts[1] + 5000) / 8)});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        ExpectBothRead(c.packed, ZipStatus::Broken, firstBlock);
    }
}

TEST(Bzip2BlockDecoder, AWrongStreamCrcOrACutEndRecordIsAnError) {
    const std::string plain = Text(120'000);
    const std::string packed = Bzip2Compress(plain, 1);
    std::string crc = packed;
    const uint64_t end = BlockStarts(packed).back();
    SetBits(crc, end + 48 + 5, 1, GetBits(crc, end + 48 + 5, 1) ^ 1);
    for (const std::string& bad :
         {crc, packed.substr(0, packed.size() - 2), packed.substr(0, packed.size() - 8)}) {
        Bzip2Decoded s = Bzip2DecodeSequentially(bad);
        EXPECT_EQ(s.status, ZipStatus::Broken);
        EXPECT_TRUE(plain.compare(0, s.out.size(), s.out) == 0);
        EXPECT_EQ(Bzip2DecodeSplit(bad).status, ZipStatus::Broken);
    }
    // Not a stream at all, or nothing.
    EXPECT_EQ(Bzip2DecodeSequentially("BZh0" + packed.substr(4)).status, ZipStatus::Broken);
    EXPECT_EQ(Bzip2DecodeSequentially("").status, ZipStatus::Broken);
}

TEST(Bzip2BlockDecoder, ABlockTooLargeToHoldIsCheckedWholeThenPassedOnInPieces) {
    // A few megabytes of one byte: 46 MB per 900 000-byte block at most.
    const std::string plain = Text(1000) + std::string(40u << 20, '\0') + Text(1000);
    const std::string packed = Bzip2Compress(plain, 9);
    Bzip2Decoded s = Bzip2DecodeSequentially(packed);
    ASSERT_EQ(s.status, ZipStatus::Ok);
    EXPECT_TRUE(s.out == plain);
    EXPECT_LE(s.largestPiece, (4u << 20) + 259);
    // Its CRC wrong: not one byte of it goes out.
    std::string bad = packed;
    SetBits(bad, 32 + 48, 1, GetBits(bad, 32 + 48, 1) ^ 1);
    FixStreamCrc(bad);
    Bzip2Decoded d = Bzip2DecodeSequentially(bad);
    EXPECT_EQ(d.status, ZipStatus::Broken);
    EXPECT_EQ(d.out.size(), 0u);
}

TEST(Bzip2BlockDecoder, ARandomisedBlockIsLeftToLibbz2AndComesBackAsLibbz2ReadsIt) {
    // No current writer sets the flag: take the second block of a stream,
    // set it, and give the block the CRC of what libbz2 then reads (the
    // flag flips bytes at set places), so that the stream is sound for it.
    const std::string plain = Text(450'000);
    std::string packed = Bzip2Compress(plain, 1);
    const std::vector<uint64_t> starts = BlockStarts(packed);
    ASSERT_GE(starts.size(), 4u);
    const size_t firstSize = FirstBlockSize(packed);
    SetBits(packed, starts[1] + 48 + 32, 1, 1);
    std::string upToFlipped;
    EXPECT_FALSE(Libbz2(packed, upToFlipped));
    ASSERT_GT(upToFlipped.size(), firstSize);
    const std::string flipped = upToFlipped.substr(firstSize);
    ASSERT_NE(flipped, plain.substr(firstSize, flipped.size()));
    SetBits(packed, starts[1] + 48, 32, SlowCrc(flipped));
    FixStreamCrc(packed);
    std::string reference;
    ASSERT_TRUE(Libbz2(packed, reference));
    ASSERT_EQ(reference.size(), plain.size());
    ASSERT_EQ(reference.substr(firstSize, flipped.size()), flipped);

    // The split decoder reads it itself, without the sequential one.
    EXPECT_FALSE(ExpectBothRead(packed, ZipStatus::Ok, reference).fellBack);
}

}  // namespace
}  // namespace kt::ziptest
