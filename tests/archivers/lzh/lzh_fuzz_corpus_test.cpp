// The fuzz targets' bodies over their seed corpus and simple mutations of
// it (every truncation, single-byte flips), so `make test` keeps the
// malformed-input guarantees without libFuzzer.
#include <random>

#include "archivers/fuzz/lzh_fuzz_bodies.h"
#include "unlha32_support.h"

using namespace kt::test;

namespace {

std::vector<std::string> Corpus(const char* kind) {
    std::vector<std::string> files;
    for (auto& e : fs::directory_iterator(fs::path(KT_SOURCE_DIR) / "tests/archivers/lzh/fuzz_corpus" / kind)) {
        files.push_back(ReadFile(e.path().string()));
    }
    return files;
}

template <class F>
void Mutations(const std::string& seed, F&& body) {
    auto run = [&](const std::string& s) { body(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
    run(seed);
    for (std::size_t n = 0; n < seed.size(); n += 1 + seed.size() / 200) run(seed.substr(0, n));
    std::mt19937 rng(42);
    for (int i = 0; i < 300 && !seed.empty(); ++i) {
        std::string m = seed;
        for (int k = 0; k < 1 + i % 4; ++k) m[rng() % m.size()] ^= static_cast<char>(1 << (rng() % 8));
        run(m);
    }
}

}  // namespace

TEST(FuzzCorpus, ArchivesAndTheirMutationsAreHandled) {
    auto seeds = Corpus("archive");
    ASSERT_GE(seeds.size(), 10u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzArchive);
}

TEST(FuzzCorpus, DecoderStreamsAndTheirMutationsAreHandled) {
    auto seeds = Corpus("decoder");
    ASSERT_GE(seeds.size(), 3u);
    for (const auto& s : seeds) Mutations(s, kt::fuzz::FuzzDecoder);
}

TEST(FuzzCorpus, RoundTripSeeds) {
    for (const auto& s : Corpus("roundtrip")) {
        kt::fuzz::FuzzRoundTrip(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
}
