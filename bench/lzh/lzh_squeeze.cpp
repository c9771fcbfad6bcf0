// lzh_squeeze [-v] [-jTHREADS] [-lh5-|-lh6-|-lh7-] [fast|normal|best] FILE...
// Packs every file with the codec alone (no archive), checks the round trip
// and prints total bytes in and out and the CPU time spent packing and unpacking;
// -v prints each file's bytes in and out first (out = in for a file stored).
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "archivers/codecs/lzh/lzh_decoder.h"
#include "archivers/codecs/lzh/lzh_encoder.h"
#include "archivers/codecs/lzh/lzh_method.h"

using namespace kt::lzh;
// CPU time of this process: the machine is shared, so wall time says little.
struct Clock {
    using time_point = std::chrono::duration<double>;
    static time_point now() {
        timespec ts;
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return time_point(ts.tv_sec + ts.tv_nsec / 1e9);
    }
};

int main(int argc, char** argv) {
    bool each = false;
    if (argc > 1 && std::strcmp(argv[1], "-v") == 0) {
        each = true;
        --argc;
        ++argv;
    }
    int threads = 1;
    if (argc > 1 && std::strncmp(argv[1], "-j", 2) == 0) {
        threads = std::atoi(argv[1] + 2);
        --argc;
        ++argv;
    }
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s METHOD EFFORT FILE...\n", argv[0]);
        return 2;
    }
    EncodeOptions opt;
    if (!OptionsForMethod(argv[1], &opt)) return 2;
    opt.threads = threads;
    opt.effort = !std::strcmp(argv[2], "fast")   ? Effort::Fast
                 : !std::strcmp(argv[2], "best") ? Effort::Best
                                                 : Effort::Normal;
    uint64_t in = 0, out = 0;
    double tEnc = 0, tDec = 0;
    for (int i = 3; i < argc; ++i) {
        std::ifstream f(argv[i], std::ios::binary);
        std::vector<uint8_t> data((std::istreambuf_iterator<char>(f)), {});
        auto t0 = Clock::now();
        MemorySource src(data.data(), data.size());
        VectorSink sink;
        EncodeOptions o = opt;
        o.giveUpAfter = data.size();
        o.sizeHint = data.size();
        EncodeResult r = Encode(o, src, sink);
        auto t1 = Clock::now();
        tEnc += (t1 - t0).count();
        in += data.size();
        bool stored = r.status == Status::NotSmaller || data.empty();
        if (each) {
            std::printf("%s %zu %zu\n", argv[i], data.size(),
                        stored ? data.size() : sink.bytes.size());
        }
        if (stored) {
            out += data.size();
            continue;
        }
        out += sink.bytes.size();
        MemorySource psrc(sink.bytes.data(), sink.bytes.size());
        VectorSink back;
        auto t2 = Clock::now();
        DecodeResult d = DecodeMember(*FindMethod(argv[1]), psrc, back, data.size());
        tDec += (Clock::now() - t2).count();
        if (d.status != Status::Ok || back.bytes != data) {
            std::fprintf(stderr, "ROUND TRIP FAILED: %s\n", argv[i]);
            return 1;
        }
    }
    std::printf(
        "%s %s files=%d in=%llu out=%llu ratio=%.4f enc=%.3fs (%.1f MB/s) dec=%.3fs (%.1f MB/s)\n",
        argv[1], argv[2], argc - 3, (unsigned long long)in, (unsigned long long)out,
        in ? (double)out / in : 0, tEnc, in / 1e6 / tEnc, tDec, in / 1e6 / (tDec > 0 ? tDec : 1));
    return 0;
}
