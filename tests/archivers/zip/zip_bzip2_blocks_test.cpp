// The bzip2 decoder that shares a stream's blocks out over threads: what can
// go wrong is a block found at the wrong bit, a block re-wrapped with one bit
// too many or too few, blocks handed back out of order, a damaged block
// passed as good, or a take-over by the sequential decoder that repeats or
// drops bytes. Every case compares with the plain text or with the
// sequential decoder's reading.
#include <gtest/gtest.h>

#include <string>

#include "bzip2_test_streams.h"
#include "zip_test_support.h"

namespace kt::ziptest {
namespace {

using kt::zip::ZipStatus;

TEST(Bzip2Blocks, ManyBlocksAtEveryBitOffsetComeBackByteExactAndInOrder) {
    // Level 1 (100 000-byte blocks) and level 9, and a text whose blocks
    // repeat, so a block handed back in the wrong place would show.
    const std::string letters = Letters(3'000'000, 1);
    const std::string repeated =
        Letters(150'000, 2) + std::string(400'000, 'x') + Letters(150'000, 2);
    for (const auto& [plain, level] :
         {std::pair{letters, 1}, {letters, 9}, {repeated + repeated + repeated, 1}}) {
        SCOPED_TRACE(level);
        Bzip2Decoded d = Bzip2DecodeSplit(Bzip2Compress(plain, level));
        ASSERT_EQ(d.status, ZipStatus::Ok);
        EXPECT_TRUE(d.out == plain);
        EXPECT_FALSE(d.report.fellBack);
        EXPECT_GE(d.report.blocks, 3u);
    }
}

TEST(Bzip2Blocks, ADamagedByteInALaterBlockIsAnErrorNeverGoodData) {
    const std::string plain = Letters(2'000'000, 3);
    const std::string packed = Bzip2Compress(plain, 1);
    // Inside a block's Huffman data, inside the last block's CRC area and on
    // the stream's own CRC at the very end.
    for (size_t at : {packed.size() * 3 / 4, packed.size() - 40, packed.size() - 2}) {
        SCOPED_TRACE(at);
        std::string bad = packed;
        bad[at] ^= 0x10;
        Bzip2Decoded d = Bzip2DecodeSplit(bad);
        EXPECT_NE(d.status, ZipStatus::Ok);
        // The same verdict as the sequential decoder's, and the same bytes
        // wherever both passed bytes on (the split one may pass on more good
        // blocks before the damaged one: it hands over whole blocks).
        Bzip2Decoded s = Bzip2DecodeSequentially(bad);
        EXPECT_EQ(d.status, s.status);
        const size_t both = std::min(d.out.size(), s.out.size());
        EXPECT_TRUE(d.out.compare(0, both, s.out, 0, both) == 0);
        EXPECT_GT(d.out.size(), 0u);
    }
}

TEST(Bzip2Blocks, WhatTheSplitCannotHandleIsDecodedSequentiallyWithoutRepeatsOrGaps) {
    struct Case {
        std::string tag, packed;
    };
    const std::string first = Letters(700'000, 4), second = Letters(300'000, 5);
    const std::vector<Case> cases = {
        // A second stream behind the first: the sequential decoder's rule
        // (the first stream only) holds.
        {"two streams", Bzip2Compress(first, 1) + Bzip2Compress(second, 1)},
        // One block of runs that expands beyond what a block may hold here.
        {"huge block", Bzip2Compress(Letters(400'000, 6) + std::string(20u << 20, '\0'), 9)},
        // No stream header at all.
        {"not bzip2", std::string("BZx9") + Letters(2000, 7)},
        // Cut short in the last block: the end magic is never found.
        {"truncated", Bzip2Compress(first, 1).substr(0, 300'000)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tag);
        Bzip2Decoded d = Bzip2DecodeSplit(c.packed);
        Bzip2Decoded s = Bzip2DecodeSequentially(c.packed);
        EXPECT_TRUE(d.report.fellBack);
        EXPECT_EQ(d.status, s.status);
        EXPECT_TRUE(d.out == s.out) << d.out.size() << " bytes against " << s.out.size();
    }
    EXPECT_EQ(Bzip2DecodeSplit(cases[0].packed).out, first);
    EXPECT_EQ(Bzip2DecodeSplit(cases[1].packed).status, ZipStatus::Ok);
    EXPECT_NE(Bzip2DecodeSplit(cases[3].packed).status, ZipStatus::Ok);
}

TEST(Bzip2Blocks, ReadErrorsAndAStoppedSinkEndTheDecodingAtOnce) {
    const std::string packed = Bzip2Compress(Letters(2'000'000, 8), 1);
    Bzip2Decoded failed = Bzip2DecodeSplit(packed, packed.size() / 2);
    EXPECT_EQ(failed.status, ZipStatus::ReadError);
    EXPECT_FALSE(failed.report.fellBack);
    Bzip2Decoded stopped = Bzip2DecodeSplit(packed, SIZE_MAX, 300'000);
    EXPECT_EQ(stopped.status, ZipStatus::Stopped);
    EXPECT_FALSE(stopped.report.fellBack);
    EXPECT_LT(stopped.out.size(), 2'000'000u);
}

}  // namespace
}  // namespace kt::ziptest
