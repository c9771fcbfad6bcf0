// The LZH fuzz targets' bodies over their seed corpus and its mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/lzh_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::Corpus;
using kt::fuzztest::Mutations;

TEST(FuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    auto seeds = Corpus("lzh", "archive");
    ASSERT_GE(seeds.size(), 14u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzArchive);
}

TEST(FuzzCorpus, DecoderStreamsAndTheirMutationsAreHandled) {
    auto seeds = Corpus("lzh", "decoder");
    ASSERT_GE(seeds.size(), 6u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzDecoder);
}

TEST(FuzzCorpus, RoundTripSeeds) {
    for (const auto& s : Corpus("lzh", "roundtrip")) {
        kt::fuzz::FuzzRoundTrip(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
}
