// The LZH codec on its own: round trips over every method and effort, the
// fixed stream facts other decoders rely on, and malformed streams.
#include <cstring>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "archivers/codecs/lzh/crc16.h"
#include "archivers/codecs/lzh/huffman.h"
#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/codecs/lzh/lzh_method.h"
#include "archivers/codecs/lzh/match_finder.h"

using namespace kt::lzh;

namespace {

std::vector<uint8_t> Text(std::size_t n, unsigned seed) {
    static const char* kWords[] = {"lorem ", "ipsum ",    "archive ", "window ", "\n",
                                   "batch ", "compress ", "0123 ",    "日本語 ", "kt "};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    while (v.size() < n) {
        const char* w = kWords[rng() % 10];
        v.insert(v.end(), w, w + std::strlen(w));
    }
    v.resize(n);
    return v;
}

std::vector<uint8_t> Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// Sources that hand out tiny pieces test the decoders' buffer refills.
class TrickleSource : public Source {
public:
    TrickleSource(const std::vector<uint8_t>& d, std::size_t step) : d_(d), step_(step) {}
    std::ptrdiff_t Read(uint8_t* buf, std::size_t n) override {
        n = std::min({n, step_, d_.size() - pos_});
        std::memcpy(buf, d_.data() + pos_, n);
        pos_ += n;
        return static_cast<std::ptrdiff_t>(n);
    }

private:
    const std::vector<uint8_t>& d_;
    std::size_t step_, pos_ = 0;
};

std::vector<uint8_t> Pack(const std::vector<uint8_t>& data, const char* method, Effort e) {
    EncodeOptions o;
    EXPECT_TRUE(OptionsForMethod(method, &o));
    o.effort = e;
    MemorySource src(data.data(), data.size());
    VectorSink sink;
    EncodeResult r = Encode(o, src, sink);
    EXPECT_EQ(r.status, Status::Ok);
    EXPECT_EQ(r.inSize, data.size());
    EXPECT_EQ(r.outSize, sink.bytes.size());
    EXPECT_EQ(r.crc, Crc16(data.data(), data.size()));
    return sink.bytes;
}

DecodeResult Unpack(const std::vector<uint8_t>& packed, const char* method, uint64_t size,
                    std::vector<uint8_t>* out, std::size_t step = 1 << 20) {
    TrickleSource src(packed, step);
    VectorSink sink;
    DecodeResult r = DecodeMember(*FindMethod(method), src, sink, size);
    *out = std::move(sink.bytes);
    return r;
}

}  // namespace

TEST(Crc16, CheckValue) { EXPECT_EQ(Crc16("123456789", 9), 0xBB3D); }

TEST(Huffman, LengthsAreLimitedAndComplete) {
    // Fibonacci frequencies force an unlimited tree far deeper than 16.
    uint32_t f[40];
    f[0] = f[1] = 1;
    for (int i = 2; i < 40; ++i) f[i] = f[i - 1] + f[i - 2];
    uint8_t len[40];
    BuildLengths(f, 40, 16, len);
    double kraft = 0;
    for (int i = 0; i < 40; ++i) {
        ASSERT_GE(len[i], 1);
        ASSERT_LE(len[i], 16);
        kraft += 1.0 / (1 << len[i]);
    }
    EXPECT_DOUBLE_EQ(kraft, 1.0);
    EXPECT_LE(len[39], len[0]);
}

struct RoundTripCase {
    const char* method;
    Effort effort;
};

class RoundTrip : public ::testing::TestWithParam<RoundTripCase> {};

TEST_P(RoundTrip, TextRandomRunsAndFarRepeats) {
    const auto [method, effort] = GetParam();
    std::vector<std::vector<uint8_t>> inputs;
    inputs.push_back(Text(300000, 1));
    inputs.push_back(Random(70000, 2));
    inputs.push_back(std::vector<uint8_t>(200000, 'a'));
    inputs.push_back({'x'});
    inputs.push_back({'a', 'b', 'a', 'b', 'a', 'b', 'a'});
    // A block repeated beyond the -lh5- window but inside -lh7-'s.
    auto far = Random(40000, 3);
    far.insert(far.end(), far.begin(), far.end());
    inputs.push_back(far);
    // Longer than the encoder's look-ahead buffer: the window slides.
    inputs.push_back(Text(1300000, 4));
    for (const auto& data : inputs) {
        auto packed = Pack(data, method, effort);
        std::vector<uint8_t> out;
        DecodeResult r = Unpack(packed, method, data.size(), &out, 7);
        ASSERT_EQ(r.status, Status::Ok) << method << " size " << data.size();
        ASSERT_EQ(out, data) << method << " size " << data.size();
        EXPECT_EQ(r.crc, Crc16(data.data(), data.size()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllMethods, RoundTrip,
    ::testing::Values(RoundTripCase{"-lh5-", Effort::Fast}, RoundTripCase{"-lh5-", Effort::Normal},
                      RoundTripCase{"-lh6-", Effort::Normal}, RoundTripCase{"-lh7-", Effort::Fast},
                      RoundTripCase{"-lh7-", Effort::Normal}, RoundTripCase{"-lh7-", Effort::Best},
                      RoundTripCase{"-lh5-", Effort::Best}));

TEST(Encoder, BestIsNotLargerThanNormal) {
    auto data = Text(500000, 9);
    EXPECT_LE(Pack(data, "-lh7-", Effort::Best).size(), Pack(data, "-lh7-", Effort::Normal).size());
    EXPECT_LT(Pack(data, "-lh7-", Effort::Normal).size(), data.size() / 3);
}

// Noise A, then B (A with every eighth byte changed), then A again, each
// half a window long: the second A's match lies the whole window back,
// behind the nearer, shorter ones in B, so it is reached only through the
// chains. The input is long enough for the encoder's buffer to slide.
TEST(Encoder, FindsRepeatsTheWholeWindowBackAcrossSlides) {
    for (const char* method : {"-lh5-", "-lh6-", "-lh7-"}) {
        EncodeOptions o;
        ASSERT_TRUE(OptionsForMethod(method, &o));
        const std::size_t half = std::size_t{1} << (o.dictBits - 1);
        std::vector<uint8_t> data;
        for (unsigned n = 0; data.size() < (3u << 20); ++n) {
            auto a = Random(half, 100 + n);
            auto b = a;
            for (std::size_t i = 7; i < half; i += 8) b[i] ^= 0x5A;
            data.insert(data.end(), a.begin(), a.end());
            data.insert(data.end(), b.begin(), b.end());
            data.insert(data.end(), a.begin(), a.end());
        }
        for (Effort e : {Effort::Fast, Effort::Normal}) {
            auto packed = Pack(data, method, e);
            EXPECT_LT(packed.size(), data.size() / 2) << method;
            std::vector<uint8_t> out;
            ASSERT_EQ(Unpack(packed, method, data.size(), &out).status, Status::Ok) << method;
            ASSERT_EQ(out, data) << method;
        }
    }
}

// The chains straight: a match exactly one window back, behind a nearer
// candidate that soon differs, is found before and after the buffer slides.
TEST(MatchFinder, ReachesTheWholeWindowBackThroughTheChainAfterSlides) {
    for (int dictBits : {13, 16}) {
        const int32_t window = 1 << dictBits;
        auto a = Random(static_cast<std::size_t>(window / 2), 7);
        auto decoy = a;
        decoy[40] ^= 1;
        // Filler (a window that slides away), A, the decoy, then A again.
        std::vector<uint8_t> buf = Random(static_cast<std::size_t>(window), 8);
        for (const auto* part : {&a, &decoy, &a}) buf.insert(buf.end(), part->begin(), part->end());
        buf.resize(buf.size() + kMaxMatch + 16);
        MatchFinder mf(dictBits, buf.data());
        const int32_t again = 2 * window;
        mf.InsertRange(0, again);
        uint32_t dist = 0;
        EXPECT_EQ(mf.Longest(again, kMaxMatch, kMinMatch - 1, 32, kMaxMatch, &dist), kMaxMatch)
            << dictBits;
        EXPECT_EQ(dist, static_cast<uint32_t>(window - 1)) << dictBits;
        // The encoder moves its buffer down by whole windows.
        std::memmove(buf.data(), buf.data() + window,
                     buf.size() - static_cast<std::size_t>(window));
        mf.Slide(window);
        dist = 0;
        EXPECT_EQ(mf.Longest(again - window, kMaxMatch, kMinMatch - 1, 32, kMaxMatch, &dist),
                  kMaxMatch);
        EXPECT_EQ(dist, static_cast<uint32_t>(window - 1)) << dictBits;
        // The decoy alone is what a walk of one candidate finds.
        EXPECT_EQ(mf.Longest(again - window, kMaxMatch, kMinMatch - 1, 1, kMaxMatch, &dist), 40);
    }
}

TEST(MatchFinder, AWalkEndsAtTheFirstPositionOfItsHash) {
    // A long copy lies before the first inserted position, where nothing
    // may lead: at 65535 it is where a link cut to 16 bits would go.
    for (auto [from, before] : {std::pair<int32_t, int32_t>{400, 20}, {70000, 65535}}) {
        std::vector<uint8_t> buf = Random(static_cast<std::size_t>(from) + 4096, 11);
        const auto run = Random(300, 12);
        const int32_t p = from + 2000;
        std::copy(run.begin(), run.end(), buf.begin() + before);
        std::copy(run.begin(), run.begin() + 6, buf.begin() + from);
        buf[static_cast<std::size_t>(from) + 6] = static_cast<uint8_t>(run[6] ^ 1);
        std::copy(run.begin(), run.end(), buf.begin() + p);
        buf.resize(buf.size() + kMaxMatch + 16);
        MatchFinder mf(16, buf.data());
        mf.InsertRange(from, p);
        uint32_t dist = 0;
        EXPECT_EQ(mf.Longest(p, kMaxMatch, kMinMatch - 1, 4096, kMaxMatch, &dist), 6) << from;
        EXPECT_EQ(dist, static_cast<uint32_t>(p - from - 1)) << from;
    }
}

TEST(Encoder, GivesUpOnIncompressibleData) {
    auto data = Random(1 << 20, 5);
    EncodeOptions o;
    o.giveUpAfter = data.size();
    MemorySource src(data.data(), data.size());
    VectorSink sink;
    EXPECT_EQ(Encode(o, src, sink).status, Status::NotSmaller);
}

TEST(Decoder, TruncatedStreamEndsWithUnexpectedEnd) {
    auto data = Text(100000, 6);
    auto packed = Pack(data, "-lh7-", Effort::Normal);
    packed.resize(packed.size() / 2);
    std::vector<uint8_t> out;
    // The header claims a huge size: the decoder must stop at the data's end.
    DecodeResult r = Unpack(packed, "-lh7-", 1ull << 40, &out);
    EXPECT_EQ(r.status, Status::UnexpectedEnd);
    EXPECT_LT(out.size(), data.size());
}

TEST(Decoder, GarbageNeverCrashesAndIsReported) {
    std::mt19937 rng(7);
    int failures = 0;
    for (int i = 0; i < 300; ++i) {
        auto junk = Random(64 + rng() % 2000, static_cast<unsigned>(i + 100));
        std::vector<uint8_t> out;
        DecodeResult r = Unpack(junk, i % 2 ? "-lh7-" : "-lh5-", 100000, &out);
        if (r.status != Status::Ok) ++failures;
        EXPECT_LE(out.size(), 100000u);
    }
    EXPECT_GT(failures, 250);
}

TEST(Decoder, OneSymbolBlockForms) {
    // One literal repeated: the C tree is the single-symbol form, and with
    // greedy parsing the P tree too.
    std::vector<uint8_t> data(1000, 'z');
    auto packed = Pack(data, "-lh5-", Effort::Fast);
    std::vector<uint8_t> out;
    ASSERT_EQ(Unpack(packed, "-lh5-", data.size(), &out).status, Status::Ok);
    EXPECT_EQ(out, data);
}
