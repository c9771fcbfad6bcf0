// The ZIP reader fuzz target's seeds, replayed: every seed is a sound
// archive from a real writer, so its directory must read; every seed cut
// short or with a byte flipped must be answered without a crash (the
// sanitizer builds of `make fuzz` catch what a plain build would not).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archivers/codecs/zip/fuzz/zip_reader_fuzz_body.h"

namespace {

namespace fs = std::filesystem;

TEST(ZipFuzzCorpus, EverySeedReadsAndItsDamagedFormsAreAnswered) {
    int seeds = 0;
    for (const auto& e :
         fs::directory_iterator(fs::path(KT_SOURCE_DIR) / "tests/archivers/zip/fuzz_corpus")) {
        std::ifstream in(e.path(), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), {});
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
        EXPECT_TRUE(kt::zip::FuzzZipReader(p, bytes.size())) << e.path();
        for (std::size_t cut = 0; cut < bytes.size(); cut += 1 + bytes.size() / 64)
            kt::zip::FuzzZipReader(p, cut);
        for (std::size_t at = 0; at < bytes.size(); at += 1 + bytes.size() / 64) {
            std::string flipped = bytes;
            flipped[at] = static_cast<char>(flipped[at] ^ 0x5A);
            kt::zip::FuzzZipReader(reinterpret_cast<const uint8_t*>(flipped.data()),
                                   flipped.size());
        }
        ++seeds;
    }
    EXPECT_GT(seeds, 5);
}

}  // namespace
