// The ZIP fuzz targets' bodies over their seed corpus (archives of every
// method we read, AES with the password "pw", a Zip64 end record before a
// marked classic one; raw Deflate and Deflate64 streams; bzip2 streams of
// several blocks, one followed by a second stream; small bzip2 streams of
// runs, every byte value, six Huffman groups, a randomised block) and its
// mutations.
#include <gtest/gtest.h>

#include "archivers/fuzz/zip_fuzz_bodies.h"
#include "tests/archivers/fuzz_replay.h"

using kt::fuzztest::ReplayCorpus;

TEST(ZipFuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    ReplayCorpus("zip", "archive", 16, kt::fuzz::FuzzZipArchive);
}

TEST(ZipFuzzCorpus, InflaterStreamsAndTheirMutationsAreHandled) {
    ReplayCorpus("zip", "inflate", 3, kt::fuzz::FuzzInflate);
}

TEST(ZipFuzzCorpus, Bzip2StreamsAndTheirMutationsDecodeAsTheSequentialDecoderSays) {
    ReplayCorpus("zip", "bzip2", 2, kt::fuzz::FuzzBzip2Blocks);
}

TEST(ZipFuzzCorpus, Bzip2StreamsAndTheirMutationsDecodeAsLibbz2DecodesThem) {
    ReplayCorpus("zip", "bzip2_decoder", 5, kt::fuzz::FuzzBzip2Decoder);
}
