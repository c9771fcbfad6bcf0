// The reading libraries' fuzz body over each seed corpus and simple
// mutations of it (truncations, bit flips, a header length blown up), so
// `make test` keeps the malformed-input guarantees without libFuzzer: no
// crash, no hang, no sanitizer report when built with one.
#include <gtest/gtest.h>

#include <random>

#include "archivers/bga32/bga_reader.h"
#include "archivers/cab32/cab_formats.h"
#include "archivers/fuzz/reading_fuzz_bodies.h"
#include "archivers/tar32/tar_kind.h"
#include "archivers/unrar32/rar_headers.h"
#include "tests/archivers/fuzz_replay.h"

namespace {

void Replay(const kt::unpack::ReadingFormats& formats, const char* format, std::size_t minimum) {
    std::vector<std::string> seeds = kt::fuzztest::Corpus(format, "");
    ASSERT_GE(seeds.size(), minimum);
    auto run = [&](const std::string& s) {
        kt::fuzz::FuzzReading(formats, reinterpret_cast<const uint8_t*>(s.data()), s.size());
    };
    std::mt19937 rng(7);
    for (const std::string& seed : seeds) {
        run(seed);
        for (std::size_t n = 0; n < seed.size(); n += 1 + seed.size() / 64) run(seed.substr(0, n));
        for (int i = 0; i < 200; ++i) {
            std::string m = seed;
            for (int k = 0; k < 1 + i % 4; ++k)
                m[rng() % m.size()] ^= static_cast<char>(1 << (rng() % 8));
            run(m);
        }
        for (std::size_t at = 0; at + 4 <= std::min<std::size_t>(seed.size(), 64); at += 4) {
            std::string m = seed;
            m.replace(at, 4, "\xff\xff\xff\x7f", 4);
            run(m);
        }
    }
}

TEST(ReadingFuzzCorpus, Tar) { Replay(kt::tar32::kTarFormats, "tar", 8); }
TEST(ReadingFuzzCorpus, Cab) { Replay(kt::cab32::kCabFormats, "cab", 2); }
TEST(ReadingFuzzCorpus, Rar) { Replay(kt::unrar32::kRarFormats, "rar", 5); }
TEST(ReadingFuzzCorpus, Bga) { Replay(kt::bga32::kBgaFormats, "bga", 3); }

}  // namespace
