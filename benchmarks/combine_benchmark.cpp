// The combine modes: one layer in which every alpha occurs over an opaque
// background of the same size (the images of transform_kernels_benchmark.cpp
// and benchmarks/peers/compare.py). Each iteration first restores the
// background from a kept original, untimed (manual timing); BM_CombineCopy
// times that copy alone, the memory traffic a kernel is measured against.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <vector>

#include "kernels/combine.h"

namespace rastelle::kernels {
namespace {

// Gradients with structured noise n = ((73x + 151y) ^ (x*y)) & 31; alpha 255,
// or ((x ^ y) * 37 + 5n) & 255.
std::vector<std::uint32_t> GradientImage(int w, int h, bool opaque) {
    std::vector<std::uint32_t> image(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const auto ux = static_cast<std::uint32_t>(x), uy = static_cast<std::uint32_t>(y);
            const std::uint32_t n = ((73 * ux + 151 * uy) ^ (ux * uy)) & 31;
            const std::uint32_t a = opaque ? 255 : ((ux ^ uy) * 37 + 5 * n) & 255;
            image[static_cast<size_t>(y) * w + x] =
                a << 24 | (((ux + uy) / 8 + n) & 255) << 16 | ((uy / 4 + n) & 255) << 8 | ((ux / 4 + n) & 255);
        }
    return image;
}

struct Buffers {
    int w, h;
    std::vector<std::uint32_t> layer, original, background;
    Buffers(int width, int height)
        : w(width), h(height), layer(GradientImage(w, h, false)), original(GradientImage(w, h, true)),
          background(original) {}
    void Restore() { std::memcpy(background.data(), original.data(), original.size() * 4); }
};

Buffers& SharedBuffers(int w, int h) {
    static Buffers buffers(w, h);
    if (buffers.w != w || buffers.h != h) buffers = Buffers(w, h);
    return buffers;
}

void BM_Combine(benchmark::State& state) {
    Buffers& b = SharedBuffers(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    const auto mode = static_cast<CombineMode>(state.range(2));
    const int opacity = static_cast<int>(state.range(3));
    for (auto _ : state) {
        b.Restore();
        const auto start = std::chrono::steady_clock::now();
        CombineLayer(mode, PackedView(b.layer.data(), b.w, b.h), PackedView(b.background.data(), b.w, b.h), opacity);
        benchmark::DoNotOptimize(b.background.data());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_Combine)
    ->ArgNames({"w", "h", "mode", "o"})
    ->Args({4000, 3000, 0, 255})
    ->Args({4000, 3000, 0, 128})
    ->Args({4000, 3000, 1, 255})
    ->Args({4000, 3000, 2, 255})
    ->Args({4000, 3000, 3, 255})
    ->Args({4000, 3000, 4, 128})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

void BM_CombineCopy(benchmark::State& state) {
    Buffers& b = SharedBuffers(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        b.Restore();
        benchmark::DoNotOptimize(b.background.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(b.original.size()) * 4);
}
BENCHMARK(BM_CombineCopy)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rastelle::kernels
