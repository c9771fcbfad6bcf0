// File collection timings over a generated folder of many files.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "archive/filters.h"

namespace {

// A folder with `files` files at the top and ten subfolders of files/10
// files each; made once per size, removed at exit.
struct Tree {
    std::string root;
    explicit Tree(int files) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kt-bench-XXXXXX").string();
        root = mkdtemp(tmpl.data());
        for (int i = 0; i < files; ++i) std::ofstream(root + "/f" + std::to_string(i) + ".txt");
        for (int d = 0; d < 10; ++d) {
            std::string sub = root + "/sub" + std::to_string(d);
            std::filesystem::create_directory(sub);
            for (int i = 0; i < files / 10; ++i)
                std::ofstream(sub + "/g" + std::to_string(i) + ".txt");
        }
    }
    ~Tree() { std::filesystem::remove_all(root); }
};

Tree& TreeOf(int files) {
    static Tree small(1000), large(20000);
    return files == 1000 ? small : large;
}

void BM_CollectOneNamedFile(benchmark::State& state) {
    Tree& tree = TreeOf(static_cast<int>(state.range(0)));
    std::string file = tree.root + "/f7.txt";
    for (auto _ : state) {
        kt::TArchiverOptions o;
        bool aborted = false;
        auto list = kt::CollectFiles(o, "", {file}, aborted, {});
        benchmark::DoNotOptimize(list);
    }
}
BENCHMARK(BM_CollectOneNamedFile)->Arg(1000)->Arg(20000);

void BM_CollectWildcardFolder(benchmark::State& state) {
    Tree& tree = TreeOf(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        kt::TArchiverOptions o;
        bool aborted = false;
        auto list = kt::CollectFiles(o, "", {tree.root + "/*.txt"}, aborted, {});
        benchmark::DoNotOptimize(list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CollectWildcardFolder)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

void BM_CollectRecursiveWithProgress(benchmark::State& state) {
    Tree& tree = TreeOf(static_cast<int>(state.range(0)));
    long calls = 0;
    kt::TFileProgress progress = [&](int, EXTRACTINGINFOEX*, bool&) { ++calls; };
    for (auto _ : state) {
        kt::TArchiverOptions o;
        o.r = 1;
        bool aborted = false;
        auto list = kt::CollectFiles(o, "", {tree.root + "/*"}, aborted, progress);
        benchmark::DoNotOptimize(list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0) * 2);
}
BENCHMARK(BM_CollectRecursiveWithProgress)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
