// Costs of the settings store on the machine's disk: every access reads the
// whole file, every changing write replaces it atomically with a flush.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <QCoreApplication>
#include <string>

#include "platform/ini_profile.h"
#include "settings/regmng.h"

namespace {

std::string TempFile() {
    static std::string folder = [] {
        char pattern[] = "/tmp/kt-settings-bench-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return folder + "/bench.ini";
}

const char* kItems[][4] = {
    {"Left", "Bounds", "Left", "0"},
    {"Top", "Bounds", "Top", "0"},
    {"FolderSelect", "App", "FolderSelect", "Fasle"},
    {"SelectFolder", "App", "SelectFolder", ""},
    {"TypeLzh", "App", "TypeLzh", "True"},
    {"ZipPass", "App", "ZipPass", ""},
    {"SortAscent", "App", "SortAscent", "True"},
    {"SortPattern", "App", "SortPattern", "0"},
    {"LogoMove", "App", "LogoMove", "True"},
};

void Fill(kt::TRegManager& manager) {
    manager.SetRegType(kt::rtIni);
    manager.SetIniFileName(TempFile());
    for (auto& item : kItems)
        manager.RegItems()->Add(kt::TRegItem(item[0], item[1], item[2], item[3]));
    for (auto& item : kItems) manager.Filer(item[0])->WriteString("1");
}

void BM_ProfileRead(benchmark::State& state) {
    kt::TRegManager manager;
    Fill(manager);
    char buffer[2048];
    for (auto _ : state)
        benchmark::DoNotOptimize(GetPrivateProfileString("App", "LogoMove", "", buffer,
                                                         sizeof buffer, TempFile().c_str()));
}
BENCHMARK(BM_ProfileRead);

void BM_ProfileWriteUnchanged(benchmark::State& state) {
    kt::TRegManager manager;
    Fill(manager);
    for (auto _ : state) WritePrivateProfileString("App", "LogoMove", "1", TempFile().c_str());
}
BENCHMARK(BM_ProfileWriteUnchanged);

void BM_ProfileWriteChanged(benchmark::State& state) {
    kt::TRegManager manager;
    Fill(manager);
    int n = 0;
    for (auto _ : state)
        WritePrivateProfileString("App", "LogoMove", std::to_string(n++ & 1).c_str(),
                                  TempFile().c_str());
}
BENCHMARK(BM_ProfileWriteChanged)->Unit(benchmark::kMillisecond);

// The window's start-up read of its nine items.
void BM_LoadNineItems(benchmark::State& state) {
    kt::TRegManager manager;
    Fill(manager);
    for (auto _ : state)
        for (auto& item : kItems) benchmark::DoNotOptimize(manager.Filer(item[0])->ReadString());
}
BENCHMARK(BM_LoadNineItems);

// The window's shut-down write when every item changed (the worst case).
void BM_SaveNineChangedItems(benchmark::State& state) {
    kt::TRegManager manager;
    Fill(manager);
    int n = 0;
    for (auto _ : state) {
        ++n;
        for (auto& item : kItems) manager.Filer(item[0])->WriteInteger(n);
    }
}
BENCHMARK(BM_SaveNineChangedItems)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
