// The LZH fuzz targets' bodies over their seed corpus and its mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/lzh_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::Corpus;
using kt::fuzztest::ReplayCorpus;

TEST(FuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    ReplayCorpus("lzh", "archive", 14, kt::fuzz::FuzzArchive);
}

TEST(FuzzCorpus, DecoderStreamsAndTheirMutationsAreHandled) {
    ReplayCorpus("lzh", "decoder", 6, kt::fuzz::FuzzDecoder);
}

TEST(FuzzCorpus, RoundTripSeeds) {
    for (const auto& s : Corpus("lzh", "roundtrip")) {
        kt::fuzz::FuzzRoundTrip(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
}
