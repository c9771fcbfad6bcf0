// lzh_pack_batch LIBRARY OUTDIR [SWITCHES] < list
// Packs every file named on standard input into its own archive OUTDIR/<n>.lzh
// through the library's command function, exactly as the program does, all
// in one process. Prints the files packed and the seconds spent.
// lzh_pack_batch LIBRARY --test < archives: tests every archive named instead.
#include <dlfcn.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>

#include "platform/archiver_api.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s LIBRARY OUTDIR [SWITCHES] < list\n", argv[0]);
        return 2;
    }
    void* lib = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 2;
    }
    auto unlha = reinterpret_cast<ARC_COMMAND_PROC>(dlsym(lib, "Unlha"));
    std::string extra = argc > 3 ? argv[3] : "";
    std::string line;
    int n = 0, failed = 0;
    auto t0 = std::chrono::steady_clock::now();
    while (std::getline(std::cin, line)) {
        if (line.empty()) continue;
        const bool test = std::string(argv[2]) == "--test";
        std::string cmd = test ? "t \"" + line + "\""
                               : "u -+ -n1 -p1 -x0 " + extra + " \"" + std::string(argv[2]) + "/" +
                                     std::to_string(n) + ".lzh\" \"" + line + "\" ";
        ++n;
        if (unlha(nullptr, cmd.c_str(), nullptr, 0) != 0) ++failed;
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("files=%d failed=%d seconds=%.3f\n", n, failed, s);
    return failed ? 1 : 0;
}
