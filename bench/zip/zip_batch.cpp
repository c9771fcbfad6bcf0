// One archive per file through ZIP32J.DLL (or extraction of each archive
// through UNZIP32.DLL), in one process, with the driver's exact command line.
//   zip_batch pack   LIBDIR SRCDIR OUTDIR [PASSWORD]
//   zip_batch unpack LIBDIR ZIPDIR DESTDIR [PASSWORD]
// Prints files, seconds, output bytes and the peak resident memory.
#include <dirent.h>
#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/archiver_api.h"

namespace {

std::vector<std::string> Files(const std::string& dir, const std::string& suffix) {
    std::vector<std::string> out;
    DIR* d = opendir(dir.c_str());
    if (!d) return out;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n[0] == '.') continue;
        if (!suffix.empty() && (n.size() < suffix.size() ||
                                n.compare(n.size() - suffix.size(), suffix.size(), suffix)))
            continue;
        out.push_back(n);
    }
    closedir(d);
    std::sort(out.begin(), out.end());
    return out;
}

std::string Stem(const std::string& n) {
    size_t dot = n.rfind('.');
    return dot == std::string::npos || dot == 0 ? n : n.substr(0, dot);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: zip_batch pack|unpack LIBDIR SRC OUT [PASSWORD]\n");
        return 2;
    }
    std::string mode = argv[1], lib = argv[2], src = argv[3], out = argv[4];
    std::string pw = argc > 5 ? argv[5] : "";
    bool pack = mode == "pack";
    void* h =
        dlopen((lib + (pack ? "/ZIP32J.DLL" : "/UNZIP32.DLL")).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto proc = reinterpret_cast<ARC_COMMAND_PROC>(dlsym(h, pack ? "Zip" : "UnZip"));
    std::string pwItem = pw.empty() ? "" : "-P \"" + pw + "\"";
    std::vector<std::string> names = Files(src, pack ? "" : ".zip");
    auto t0 = std::chrono::steady_clock::now();
    int failures = 0;
    for (const std::string& n : names) {
        std::string line;
        if (pack)
            line = " -D -q -o -j " + pwItem + " \"" + out + "/" + Stem(n) + ".zip\" \"" + src +
                   "/" + n + "\" ";
        else
            line = "-x -o --i " + pwItem + " \"" + src + "/" + n + "\" \"" + out + "/\"";
        if (proc(nullptr, line.c_str(), nullptr, 0) != 0) ++failures;
    }
    double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    unsigned long long bytes = 0;
    for (const std::string& n : Files(out, pack ? ".zip" : "")) {
        struct stat st;
        if (stat((out + "/" + n).c_str(), &st) == 0)
            bytes += static_cast<unsigned long long>(st.st_size);
    }
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("files=%zu failures=%d seconds=%.3f bytes=%llu maxrss_kb=%ld\n", names.size(),
                failures, secs, bytes, ru.ru_maxrss);
    return failures ? 1 : 0;
}
