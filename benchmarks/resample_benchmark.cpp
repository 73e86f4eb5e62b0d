// Resampling in every mode on the sizes clients resize most: a 12-megapixel
// photo reduced to 800 x 600 and to 400 x 300, a 1000 x 750 image enlarged to
// 4000 x 3000, and a 1:1 crop. Source and output buffers are made once per
// benchmark and reused; only the kernel's own scratch is allocated per call,
// as it is in use.
#include "kernels/resample.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

namespace rastelle::kernels {
namespace {

// Smooth gradients with noise, like a photo; opaque, or with an alpha ramp
// from transparent to opaque that keeps the kernel off its opaque path.
std::vector<std::uint32_t> Photo(int w, int h, bool translucent) {
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
    std::mt19937 rng(1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t n = rng() & 0x0F0F0F;
            const auto r = static_cast<std::uint32_t>(x * 200 / w), g = static_cast<std::uint32_t>(y * 200 / h);
            const std::uint32_t a = translucent ? static_cast<std::uint32_t>(255 * (x + y) / (w + h)) : 255;
            pixels[static_cast<size_t>(y) * w + x] = (a << 24 | r << 16 | g << 8 | 0x40) + n;
        }
    return pixels;
}

void Resample(benchmark::State& state, int srcW, int srcH, int outW, int outH, bool translucent) {
    const auto mode = static_cast<ResampleMode>(state.range(0));
    const std::vector<std::uint32_t> src = Photo(srcW, srcH, translucent);
    std::vector<std::uint32_t> dst(static_cast<size_t>(outW) * outH);
    const ConstImageView from(src.data(), srcW, srcH, static_cast<std::ptrdiff_t>(srcW) * 4);
    for (auto _ : state) {
        ResampleOver(from, {0, 0, srcW, srcH}, PackedView(dst.data(), outW, outH), mode, 0xFFFFFFFFu);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(srcW) * srcH);  // source pixels
}

void Modes(benchmark::internal::Benchmark* b) {
    b->ArgName("mode")->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
}

void BM_Reduce4000x3000To800x600(benchmark::State& state) { Resample(state, 4000, 3000, 800, 600, false); }
BENCHMARK(BM_Reduce4000x3000To800x600)->Apply(Modes);

void BM_Reduce4000x3000To400x300(benchmark::State& state) { Resample(state, 4000, 3000, 400, 300, false); }
BENCHMARK(BM_Reduce4000x3000To400x300)->Apply(Modes);

void BM_Enlarge1000x750To4000x3000(benchmark::State& state) { Resample(state, 1000, 750, 4000, 3000, false); }
BENCHMARK(BM_Enlarge1000x750To4000x3000)->Apply(Modes);

// Alpha everywhere between 0 and 255: every output pixel takes the divisions.
void BM_ReduceTranslucent4000x3000To800x600(benchmark::State& state) { Resample(state, 4000, 3000, 800, 600, true); }
BENCHMARK(BM_ReduceTranslucent4000x3000To800x600)->Arg(4)->ArgName("mode")->Unit(benchmark::kMillisecond);

// A crop without resizing: one tap per pixel.
void BM_Crop2000x1500(benchmark::State& state) {
    const auto mode = static_cast<ResampleMode>(state.range(0));
    const std::vector<std::uint32_t> src = Photo(4000, 3000, false);
    std::vector<std::uint32_t> dst(2000 * 1500);
    const ConstImageView from(src.data(), 4000, 3000, 4000 * 4);
    for (auto _ : state) {
        ResampleOver(from, {1000, 700, 2000, 1500}, PackedView(dst.data(), 2000, 1500), mode, 0xFFFFFFFFu);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_Crop2000x1500)->Arg(0)->Arg(4)->ArgName("mode")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rastelle::kernels
