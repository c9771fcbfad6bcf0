// The ZIP fuzz targets' bodies over their seed corpus (archives of every
// method we read, AES with the password "pw", a Zip64 end record before a
// marked classic one; raw Deflate and Deflate64 streams; bzip2 streams of
// several blocks, one followed by a second stream; small bzip2 streams of
// runs, every byte value, six Huffman groups, a randomised block) and its
// mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/zip_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::Corpus;
using kt::fuzztest::Mutations;

TEST(ZipFuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    auto seeds = Corpus("zip", "archive");
    ASSERT_GE(seeds.size(), 16u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzZipArchive);
}

TEST(ZipFuzzCorpus, InflaterStreamsAndTheirMutationsAreHandled) {
    auto seeds = Corpus("zip", "inflate");
    ASSERT_GE(seeds.size(), 3u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzInflate);
}

TEST(ZipFuzzCorpus, Bzip2StreamsAndTheirMutationsDecodeAsTheSequentialDecoderSays) {
    auto seeds = Corpus("zip", "bzip2");
    ASSERT_GE(seeds.size(), 2u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzBzip2Blocks);
}

TEST(ZipFuzzCorpus, Bzip2StreamsAndTheirMutationsDecodeAsLibbz2DecodesThem) {
    auto seeds = Corpus("zip", "bzip2_decoder");
    ASSERT_GE(seeds.size(), 5u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzBzip2Decoder);
}
