// One input encoded in segments on several threads: the joined stream
// decodes byte-exact for every method, segment borders inside long matches
// cost nothing (each segment looks back into the window before it), and the
// encoder's limits hold as for one thread.
#include <gtest/gtest.h>

#include <atomic>
#include <random>

#include "archivers/codecs/lzh/crc16.h"
#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/codecs/lzh/lzh_method.h"
#include "archivers/codecs/lzh/segment_encoder.h"

using namespace kt::lzh;

namespace {

std::vector<uint8_t> Random(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) b = static_cast<uint8_t>(rng());
    return v;
}

// Random bytes in a repeated unit: after the first unit, all long matches.
std::vector<uint8_t> Repeated(std::size_t unit, std::size_t n, unsigned seed) {
    auto u = Random(unit, seed);
    std::vector<uint8_t> v;
    while (v.size() < n) v.insert(v.end(), u.begin(), u.end());
    v.resize(n);
    return v;
}

// Text-like words with a few random runs, so that blocks end at every bit
// offset and both literals and matches cross the borders.
std::vector<uint8_t> Mixed(std::size_t n, unsigned seed) {
    static const char* kWords[] = {"segment ", "border ", "window ", "\n",
                                   "match ",   "0x1F ",   "長い "};
    std::mt19937 rng(seed);
    std::vector<uint8_t> v;
    while (v.size() < n) {
        if (rng() % 500 == 0) {
            for (int i = 0; i < 300; ++i) v.push_back(static_cast<uint8_t>(rng()));
        }
        const char* w = kWords[rng() % 7];
        v.insert(v.end(), w, w + std::strlen(w));
    }
    v.resize(n);
    return v;
}

EncodeResult PackWith(const std::vector<uint8_t>& data, const char* method, int threads,
                      std::vector<uint8_t>* packed, Effort effort = Effort::Normal) {
    EncodeOptions o;
    EXPECT_TRUE(OptionsForMethod(method, &o));
    o.threads = threads;
    o.effort = effort;
    o.sizeHint = data.size();
    MemorySource src(data.data(), data.size());
    VectorSink sink;
    EncodeResult r = Encode(o, src, sink);
    *packed = std::move(sink.bytes);
    return r;
}

void ExpectDecodes(const std::vector<uint8_t>& packed, const char* method,
                   const std::vector<uint8_t>& data) {
    MemorySource src(packed.data(), packed.size());
    VectorSink sink;
    DecodeResult r = DecodeMember(*FindMethod(method), src, sink, data.size());
    ASSERT_EQ(r.status, Status::Ok) << method;
    EXPECT_EQ(r.crc, Crc16(data.data(), data.size())) << method;
    ASSERT_TRUE(sink.bytes == data) << method << " differs";
}

const std::size_t kSeg = static_cast<std::size_t>(kSegmentBytes);

}  // namespace

TEST(Segments, JoinedStreamsDecodeForEveryMethodAndEffort) {
    // Borders at bit offsets that differ from segment to segment; the last
    // segment short, or the input exactly two segments.
    const std::vector<uint8_t> inputs[] = {Mixed(3 * kSeg + 12345, 1), Mixed(2 * kSeg, 2)};
    for (const char* method : {"-lh5-", "-lh6-", "-lh7-"}) {
        for (const auto& data : inputs) {
            for (int threads : {2, 3}) {
                std::vector<uint8_t> packed;
                EncodeResult r = PackWith(data, method, threads, &packed);
                ASSERT_EQ(r.status, Status::Ok);
                EXPECT_EQ(r.inSize, data.size());
                EXPECT_EQ(r.outSize, packed.size());
                EXPECT_EQ(r.crc, Crc16(data.data(), data.size()));
                ExpectDecodes(packed, method, data);
            }
        }
    }
    auto data = Mixed(2 * kSeg + 999, 3);
    std::vector<uint8_t> packed;
    ASSERT_EQ(PackWith(data, "-lh7-", 2, &packed, Effort::Best).status, Status::Ok);
    ExpectDecodes(packed, "-lh7-", data);
}

TEST(Segments, LongMatchesCrossTheBorders) {
    // Each method's window holds the repeated unit: a segment that could not
    // look back across its border would start with a unit of literals.
    for (auto [method, unit] : {std::pair{"-lh5-", 6000}, std::pair{"-lh7-", 50000}}) {
        auto data = Repeated(static_cast<std::size_t>(unit), 3 * kSeg + 777, 4);
        std::vector<uint8_t> one, split;
        ASSERT_EQ(PackWith(data, method, 1, &one).status, Status::Ok);
        ASSERT_EQ(PackWith(data, method, 2, &split).status, Status::Ok);
        ExpectDecodes(split, method, data);
        EXPECT_LT(split.size(), one.size() + static_cast<std::size_t>(unit) / 4) << method;
    }
}

TEST(Segments, ThreadsAreAskedForAndGivenUpOnIncompressibleData) {
    auto data = Mixed(3 * kSeg, 5);
    // No helper granted: the segments run on the calling thread alone.
    EncodeOptions o;
    o.threads = 4;
    o.sizeHint = data.size();
    std::atomic<int> asked{0};
    o.addThread = [&asked] {
        ++asked;
        return false;
    };
    MemorySource src(data.data(), data.size());
    VectorSink sink;
    EncodeResult r = Encode(o, src, sink);
    ASSERT_EQ(r.status, Status::Ok);
    EXPECT_GT(asked.load(), 0);
    ExpectDecodes(sink.bytes, "-lh7-", data);

    auto noise = Random(3 * kSeg, 6);
    o.addThread = nullptr;
    o.sizeHint = noise.size();
    o.giveUpAfter = noise.size();
    MemorySource nsrc(noise.data(), noise.size());
    VectorSink nsink;
    EXPECT_EQ(Encode(o, nsrc, nsink).status, Status::NotSmaller);
}

TEST(Segments, AnInputLongerThanAnnouncedIsAReadError) {
    auto data = Mixed(3 * kSeg, 7);
    EncodeOptions o;
    o.threads = 2;
    o.sizeHint = 2 * kSeg;
    MemorySource src(data.data(), data.size());
    VectorSink sink;
    EXPECT_EQ(Encode(o, src, sink).status, Status::ReadError);
}
