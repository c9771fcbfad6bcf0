// Codec throughput: whole-buffer deflate and inflate through the writer and
// the entry decoder, on compressible text.
#include <benchmark/benchmark.h>

#include <random>
#include <string>

#include "archivers/zip_container/zip_extract.h"
#include "archivers/zip_container/zip_reader.h"
#include "archivers/zip_container/zip_writer.h"

namespace {

std::string Text(size_t n) {
    std::mt19937 rng(1);
    static const char* words[] = {"archive ", "header ", "int ",    "return ",
                                  "{\n",      "}\n",     "value = "};
    std::string s;
    while (s.size() < n) s += words[rng() % 7];
    s.resize(n);
    return s;
}

void BM_WriteEntry(benchmark::State& state) {
    std::string data = Text(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        kt::zip::MemoryOutput out;
        kt::zip::ZipWriter w(out);
        kt::zip::ZipEntry e;
        e.name = "a.txt";
        w.AddBuffer(e, reinterpret_cast<const uint8_t*>(data.data()), data.size(), {6, ""});
        w.Finish();
        benchmark::DoNotOptimize(out.bytes.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_WriteEntry)->Arg(16 << 10)->Arg(1 << 20);

void BM_ExtractEntry(benchmark::State& state) {
    std::string data = Text(static_cast<size_t>(state.range(0)));
    kt::zip::MemoryOutput out;
    kt::zip::ZipWriter w(out);
    kt::zip::ZipEntry e;
    e.name = "a.txt";
    w.AddBuffer(e, reinterpret_cast<const uint8_t*>(data.data()), data.size(), {6, ""});
    w.Finish();
    kt::zip::MemorySource src(out.bytes.data(), out.bytes.size());
    kt::zip::ZipDirectory dir;
    kt::zip::ReadZipDirectory(src, dir);
    struct Null : kt::zip::ZipSink {
        bool Write(const uint8_t*, size_t) override { return true; }
    } sink;
    for (auto _ : state) kt::zip::ExtractEntry(src, dir.entries[0], "", sink);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}
BENCHMARK(BM_ExtractEntry)->Arg(16 << 10)->Arg(1 << 20);

}  // namespace

BENCHMARK_MAIN();
