// The batch run over 10,000 small files with this build's libraries. Every
// archive exists already, so the run meets the overwrite prompt once and
// Yes to all carries it through the rest. The same packing is then done
// without the window (PackOneFile alone, archives replaced likewise); the
// difference per entry is what the run itself costs: window work, prompts,
// list updates, message pumps.
//
//   cmake --build build --target run_bench && build/bin/run_bench
//   (QT_QPA_PLATFORM=offscreen is set by the program itself)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QRadioButton>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/main_settings.h"
#include "app/main_window.h"
#include "archive/pack_one.h"
#include "archive/zip_driver.h"
#include "platform/library_loader.h"
#include "platform/qt/prompt.h"

namespace {

using Clock = std::chrono::steady_clock;

struct TCorpus {
    std::string Folder;
    std::vector<std::string> Files;
};

TCorpus MakeCorpus(int count) {
    TCorpus c;
    char pattern[] = "/tmp/kt-run-bench-XXXXXX";
    c.Folder = mkdtemp(pattern);
    for (int i = 0; i < count; ++i) {
        std::string name = c.Folder + "/file" + std::to_string(i) + ".txt";
        std::ofstream(name) << "small file number " << i << " with a few words in it\n";
        c.Files.push_back(name);
    }
    return c;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void BM_RunOwnCostPerEntry(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TCorpus corpus = MakeCorpus(count);
    kt::SetSettingsFileOverride(corpus.Folder + "/KalvoraTrindle.ini");
    double runSeconds = 0, packSeconds = 0;
    for (auto _ : state) {
        // The run, archives made once beforehand so every entry replaces one.
        {
            kt::TFormMain form;
            form.FormPaint();
            form.RadioButtonZip->setChecked(true);
            form.AddFiles(corpus.Files);
            {
                kt::TScriptedAnswerer prompts;
                prompts.Answers = {kt::mrYes};
                form.ButtonExecClick();  // makes every archive
            }
            form.NAllSelectClick();
            form.NNotExecClick();
            kt::TScriptedAnswerer prompts;
            prompts.Answers = {kt::mrYes, kt::mrYesToAll, kt::mrOk};
            const auto t0 = Clock::now();
            form.ButtonExecClick();
            runSeconds += Seconds(Clock::now() - t0);
            if (prompts.Asked.size() != 3) state.SkipWithError("unexpected prompts");
        }
        // The same packing without the window.
        {
            kt::TArchiveFile archive;
            kt::ConfigureForBatchRun(archive);
            const auto t0 = Clock::now();
            for (const std::string& f : corpus.Files) {
                std::string zip = f.substr(0, f.size() - 4) + ".zip";
                if (kt::PackOneFile(archive, kt::atZip, nullptr, zip, f) != 0)
                    state.SkipWithError("pack failed");
            }
            packSeconds += Seconds(Clock::now() - t0);
        }
    }
    const double n = static_cast<double>(state.iterations()) * count;
    state.counters["run_us_per_entry"] = runSeconds / n * 1e6;
    state.counters["pack_only_us_per_entry"] = packSeconds / n * 1e6;
    state.counters["run_own_us_per_entry"] = (runSeconds - packSeconds) / n * 1e6;
    std::filesystem::remove_all(corpus.Folder);
}
BENCHMARK(BM_RunOwnCostPerEntry)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

// The same run with recording fakes as the ZIP libraries (they make no
// archive and cost a few microseconds a call): the time is then almost all
// the run's own. Every entry replaces an existing archive (one overwrite
// prompt, Yes to all) and fails (one failure prompt, Yes to all), so each
// entry takes the longest road through the run. Needs the fakes built:
//   cmake --build build --target ktfake_Zip ktfake_UnZip
void BM_RunOverFakeLibraries(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    TCorpus corpus = MakeCorpus(count);
    kt::SetSettingsFileOverride(corpus.Folder + "/KalvoraTrindle.ini");
    const std::string programs = corpus.Folder + "/programs";
    std::filesystem::create_directories(programs);
    const std::string bin = kt::GetProgramFolder();
    try {
        std::filesystem::copy_file(bin + "/ktfake_Zip.so", programs + "/ZIP32J.DLL");
        std::filesystem::copy_file(bin + "/ktfake_UnZip.so", programs + "/UNZIP32.DLL");
    } catch (const std::exception&) {
        state.SkipWithError("build ktfake_Zip and ktfake_UnZip first");
        return;
    }
    std::ofstream(programs + "/ZIP32.DLL") << "";  // found by the check only
    for (const std::string& f : corpus.Files)
        std::ofstream(f.substr(0, f.size() - 4) + ".zip") << "";
    kt::TZip32::ClassInfo.FreeDLL();
    kt::SetProgramFolderForTesting(programs);
    double seconds = 0;
    for (auto _ : state) {
        kt::TFormMain form;
        form.FormPaint();
        form.RadioButtonZip->setChecked(true);
        form.AddFiles(corpus.Files);
        kt::TScriptedAnswerer prompts;
        prompts.Answers = {kt::mrYes, kt::mrYesToAll, kt::mrYesToAll, kt::mrOk};
        const auto t0 = Clock::now();
        form.ButtonExecClick();
        seconds += Seconds(Clock::now() - t0);
        if (prompts.Asked.size() != 4) state.SkipWithError("unexpected prompts");
    }
    kt::TZip32::ClassInfo.FreeDLL();
    kt::SetProgramFolderForTesting("");
    state.counters["run_us_per_entry"] = seconds / (double(state.iterations()) * count) * 1e6;
    std::filesystem::remove_all(corpus.Folder);
}
BENCHMARK(BM_RunOverFakeLibraries)->Arg(10000)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
