// The ARJ fuzz targets' bodies over their seed corpus (archives of arj at
// every method, and their packed streams) and its mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/arj_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::ReplayCorpus;

TEST(ArjFuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    ReplayCorpus("arj", "archive", 5, kt::fuzz::FuzzArjArchive);
}

TEST(ArjFuzzCorpus, DecoderStreamsAndTheirMutationsAreHandled) {
    ReplayCorpus("arj", "decoder", 4, kt::fuzz::FuzzArjDecoder);
}
