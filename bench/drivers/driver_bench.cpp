// The drivers' own cost per operation, beside the library's: the command
// lines of a batch Pack (one file, the stored option set), and writing a
// self-extracting program by stub copy compared with a plain buffered copy
// of the same bytes. Run from build/bin, where the ZIP libraries lie.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "archive/lha_driver.h"
#include "archive/sfx_program.h"
#include "archive/zip_driver.h"

namespace kt {
namespace {

TArchiverOptions StoredOptions() {
    TArchiverOptions o;
    o.n = 1;
    o.x = 0;
    o.p = 1;
    return o;
}

// Reaches the LHA builder without loading UNLHA32.DLL.
class TLhaBuilder : public TLha32 {
public:
    TLhaBuilder() : TLha32(NoLibrary) {}
    using TLha32::MakeCmdLine;
    static const TArchiverClass NoLibrary;
};
const TArchiverClass TLhaBuilder::NoLibrary = {"TLhaBuilder", [] {}, [] {}};

const std::string kArc = "/home/user/archives/2026/report [final].lzh";
const std::string kFile = "/home/user/documents/2026/report [final].txt";

void BM_LhaPackCmdLine(benchmark::State& state) {
    TLhaBuilder lha;
    TArchiverOptions o = StoredOptions();
    TFileList files{TStringList{kFile}};
    for (auto _ : state) benchmark::DoNotOptimize(lha.MakeCmdLine("u", kArc, o, "", files, false));
}
BENCHMARK(BM_LhaPackCmdLine);

void BM_ZipPackCmdLine(benchmark::State& state) {
    TZip32 zip;
    TArchiverOptions o = StoredOptions();
    o.UserOptions = "-P \"password\"";
    TFileList files{TStringList{kFile}};
    for (auto _ : state)
        benchmark::DoNotOptimize(zip.MakeZipCmdLine("", kArc, o, "", files, false));
}
BENCHMARK(BM_ZipPackCmdLine);

struct SfxFiles {
    std::string dir, stub, arc, program;
    explicit SfxFiles(std::size_t size) {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kt-sfx-XXXXXX").string();
        dir = mkdtemp(tmpl.data());
        stub = dir + "/stub";
        arc = dir + "/a.zip";
        program = dir + "/a.EXE";
        std::ofstream(stub, std::ios::binary) << std::string(64 * 1024, 's');
        std::vector<char> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>(i * 2654435761u >> 13);
        std::ofstream(arc, std::ios::binary).write(data.data(), static_cast<std::streamsize>(size));
    }
    ~SfxFiles() { std::filesystem::remove_all(dir); }
};

void BM_WriteSfxProgram(benchmark::State& state) {
    SfxFiles f(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) WriteSfxProgram(f.stub, f.arc, f.program);
    state.SetBytesProcessed(state.iterations() * (state.range(0) + 64 * 1024));
}
BENCHMARK(BM_WriteSfxProgram)->Arg(1 << 20)->Arg(256 << 20)->Unit(benchmark::kMillisecond);

// Baseline: the same bytes through a 1 MiB buffer into the target, no
// temporary file, no flush to disk.
void BM_PlainCopyBaseline(benchmark::State& state) {
    SfxFiles f(static_cast<std::size_t>(state.range(0)));
    std::vector<char> buffer(1 << 20);
    for (auto _ : state) {
        int out = ::open(f.program.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (const std::string& in : {f.stub, f.arc}) {
            int fd = ::open(in.c_str(), O_RDONLY);
            ssize_t n;
            while ((n = ::read(fd, buffer.data(), buffer.size())) > 0)
                if (::write(out, buffer.data(), static_cast<std::size_t>(n)) != n) break;
            ::close(fd);
        }
        ::close(out);
    }
    state.SetBytesProcessed(state.iterations() * (state.range(0) + 64 * 1024));
}
BENCHMARK(BM_PlainCopyBaseline)->Arg(1 << 20)->Arg(256 << 20)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kt

BENCHMARK_MAIN();
