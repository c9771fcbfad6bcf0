// Google Benchmark of the LZH codec over a file named by KT_BENCH_FILE (or
// a generated text when unset): encoding at each effort and decoding.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/codecs/lzh/lzh_method.h"

using namespace kt::lzh;

namespace {

const std::vector<uint8_t>& Input() {
    static std::vector<uint8_t> data = [] {
        std::vector<uint8_t> v;
        if (const char* f = std::getenv("KT_BENCH_FILE")) {
            std::ifstream in(f, std::ios::binary);
            v.assign(std::istreambuf_iterator<char>(in), {});
        } else {
            static const char* kWords[] = {"archive ", "window ", "the ",  "compress ",
                                           "batch ",   "\n",      "file ", "list "};
            std::mt19937 rng(1);
            while (v.size() < (4u << 20)) {
                const char* w = kWords[rng() % 8];
                while (*w) v.push_back(static_cast<uint8_t>(*w++));
            }
        }
        return v;
    }();
    return data;
}

std::vector<uint8_t> Packed(Effort e) {
    EncodeOptions o;
    o.effort = e;
    MemorySource src(Input().data(), Input().size());
    VectorSink sink;
    Encode(o, src, sink);
    return sink.bytes;
}

void BM_Encode(benchmark::State& state) {
    Effort e = static_cast<Effort>(state.range(0));
    std::size_t outSize = 0;
    for (auto _ : state) {
        EncodeOptions o;
        o.effort = e;
        MemorySource src(Input().data(), Input().size());
        VectorSink sink;
        Encode(o, src, sink);
        outSize = sink.bytes.size();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Input().size()));
    state.counters["ratio"] = static_cast<double>(outSize) / Input().size();
}
BENCHMARK(BM_Encode)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Decode(benchmark::State& state) {
    std::vector<uint8_t> packed = Packed(Effort::Normal);
    Method m = *FindMethod("-lh7-");
    for (auto _ : state) {
        MemorySource src(packed.data(), packed.size());
        VectorSink sink;
        sink.bytes.reserve(Input().size());
        DecodeMember(m, src, sink, Input().size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Input().size()));
}
BENCHMARK(BM_Decode)->Unit(benchmark::kMillisecond);

}  // namespace
