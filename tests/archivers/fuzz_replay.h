// Replays a fuzz target's body over its seed corpus and simple mutations of
// each seed (every truncation, single-bit flips), so `make test` keeps the
// malformed-input guarantees without libFuzzer.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace kt::fuzztest {

// Every file of tests/archivers/<format>/fuzz_corpus/<kind> (of fuzz_corpus
// itself for an empty kind).
inline std::vector<std::string> Corpus(const std::string& format, const std::string& kind) {
    std::vector<std::string> files;
    auto dir =
        std::filesystem::path(KT_SOURCE_DIR) / "tests/archivers" / format / "fuzz_corpus" / kind;
    for (auto& e : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(e.path(), std::ios::binary);
        files.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

template <class F>
void Mutations(const std::string& seed, F&& body) {
    auto run = [&](const std::string& s) {
        body(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    run(seed);
    for (std::size_t n = 0; n < seed.size(); n += 1 + seed.size() / 200) run(seed.substr(0, n));
    std::mt19937 rng(42);
    for (int i = 0; i < 300 && !seed.empty(); ++i) {
        std::string m = seed;
        for (int k = 0; k < 1 + i % 4; ++k)
            m[rng() % m.size()] ^= static_cast<char>(1 << (rng() % 8));
        run(m);
    }
}

// Every seed of a corpus and its mutations through `body`. The corpus must
// hold at least `minimum` seeds, so that a lost or emptied folder fails.
template <class F>
void ReplayCorpus(const std::string& format, const std::string& kind, std::size_t minimum,
                  F&& body) {
    const auto seeds = Corpus(format, kind);
    ASSERT_GE(seeds.size(), minimum);
    for (const auto& s : seeds) Mutations(s, body);
}

}  // namespace kt::fuzztest
