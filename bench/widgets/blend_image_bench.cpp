// One blend step of the logo (two 158 x 86 pictures) as the timer computes it
// every 200 ms, word-wise against a plain byte-by-byte loop over the same
// table; and the palette reduction that an 8-bit display adds to each step.
#include <benchmark/benchmark.h>

#include <QImage>
#include <random>

#include "widgets/blend_image.h"

namespace {

QImage RandomPicture(int w, int h, unsigned seed) {
    std::mt19937 rng(seed);
    QImage img(w, h, QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        uchar* row = img.scanLine(y);
        for (int i = 0; i < w * 3; ++i) row[i] = static_cast<uchar>(rng());
    }
    return img;
}

// The table's formula for mode 7, byte by byte: the baseline.
void BytewiseMode7(QImage& out, const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y) {
        const uchar* pa = a.constScanLine(y);
        const uchar* pb = b.constScanLine(y);
        uchar* po = out.scanLine(y);
        for (int i = 0; i < a.width() * 3; ++i) {
            const int x = pa[i], z = pb[i];
            po[i] = static_cast<uchar>(x - (x >> 1) + (x >> 4) + (z >> 1) - (z >> 4));
        }
    }
}

void BM_BlendStep(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    QImage a = RandomPicture(w, h, 1), b = RandomPicture(w, h, 2), result;
    for (auto _ : state) {
        kt::BlendBitmaps(result, a, 0, 0, b, 7);
        benchmark::DoNotOptimize(result.constBits());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{w} * h * 3);
}
BENCHMARK(BM_BlendStep)->Args({158, 86})->Args({1024, 768});

void BM_BlendStepBytewise(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    QImage a = RandomPicture(w, h, 1), b = RandomPicture(w, h, 2);
    QImage out(w, h, QImage::Format_RGB888);
    for (auto _ : state) {
        BytewiseMode7(out, a, b);
        benchmark::DoNotOptimize(out.constBits());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{w} * h * 3);
}
BENCHMARK(BM_BlendStepBytewise)->Args({158, 86})->Args({1024, 768});

void BM_ReduceColors(benchmark::State& state) {
    QImage a = RandomPicture(158, 86, 3), out;
    for (auto _ : state) {
        kt::ReduceColors(out, a, 6, 8, 5);
        benchmark::DoNotOptimize(out.constBits());
    }
}
BENCHMARK(BM_ReduceColors);

}  // namespace

BENCHMARK_MAIN();
