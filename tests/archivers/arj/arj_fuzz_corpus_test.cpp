// The ARJ fuzz targets' bodies over their seed corpus (archives of arj at
// every method, and their packed streams) and its mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/arj_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::Corpus;
using kt::fuzztest::Mutations;

TEST(ArjFuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    auto seeds = Corpus("arj", "archive");
    ASSERT_GE(seeds.size(), 5u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzArjArchive);
}

TEST(ArjFuzzCorpus, DecoderStreamsAndTheirMutationsAreHandled) {
    auto seeds = Corpus("arj", "decoder");
    ASSERT_GE(seeds.size(), 4u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzArjDecoder);
}
