// The bytes every libdeflate level (1-12) makes of a folder's files, each
// file compressed whole as one ZIP member is (kept stored when deflate does
// not make it smaller, as the ZIP writer and zip both do); with the
// seconds each level took on one thread. bench/zip_level_scale.sh sets
// these beside zip -1 ... -9 to choose the library's level table.
//   deflate_level_scale DIR...
#include <libdeflate.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: deflate_level_scale DIR...\n");
        return 2;
    }
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
        for (const auto& e : std::filesystem::recursive_directory_iterator(argv[i]))
            if (e.is_regular_file() && e.path().filename().string()[0] != '.')
                files.push_back(e.path());
    std::sort(files.begin(), files.end());
    unsigned long long totals[13] = {};
    double seconds[13] = {};
    unsigned long long raw = 0;
    std::vector<char> in, out;
    for (const std::string& f : files) {
        std::ifstream s(f, std::ios::binary);
        in.assign(std::istreambuf_iterator<char>(s), {});
        raw += in.size();
        for (int level = 1; level <= 12; ++level) {
            libdeflate_compressor* c = libdeflate_alloc_compressor(level);
            out.resize(libdeflate_deflate_compress_bound(c, in.size()));
            const auto t0 = std::chrono::steady_clock::now();
            std::size_t n = in.empty() ? 0
                                       : libdeflate_deflate_compress(c, in.data(), in.size(),
                                                                     out.data(), out.size());
            seconds[level] +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            libdeflate_free_compressor(c);
            totals[level] += (n == 0 || n >= in.size()) ? in.size() : n;
        }
    }
    std::printf("files %zu bytes %llu\n", files.size(), raw);
    for (int level = 1; level <= 12; ++level)
        std::printf("level %d %llu %.2f\n", level, totals[level], seconds[level]);
    return 0;
}
