// The effect kernels on the opaque photo-like image of photo_image.h, at
// 1000 x 750 and 4000 x 3000, single-threaded; benchmarks/peers/compare.py
// runs the same jobs with ImageMagick, libvips and Pillow. Each effect
// writes every output pixel, so no copy precedes it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

#include "kernels/effects/effects.h"
#include "photo_image.h"

namespace rastelle::kernels::effects {
namespace {

using Effect = std::function<void(const ConstImageView&, const ImageView&)>;

void Run(benchmark::State& state, const Effect& effect) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> input = bench::PhotoPixels(w, h), output(input.size());
    const ConstImageView in = PackedView(input.data(), w, h);
    const ImageView out = PackedView(output.data(), w, h);
    for (auto _ : state) {
        effect(in, out);
        benchmark::DoNotOptimize(output.data());
        benchmark::ClobberMemory();
    }
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"w", "h"})->Unit(benchmark::kMillisecond);
    for (auto [w, h] : {std::pair{1000, 750}, std::pair{4000, 3000}}) b->Args({w, h});
}

#define EFFECT_BENCHMARK(Name, ...)                                                                  \
    void BM_##Name(benchmark::State& state) { Run(state, [](auto& i, auto& o) { __VA_ARGS__; }); } \
    BENCHMARK(BM_##Name)->Apply(Sizes)

// The peers' settings are in compare.py beside each job.
EFFECT_BENCHMARK(Greyscale, Greyscale(i, o));
EFFECT_BENCHMARK(Solarize, Solarize(i, o, 0x808080u));
EFFECT_BENCHMARK(SwapChannels, SwapChannels(i, o, 2, 1, 0, 3));
EFFECT_BENCHMARK(Lightness, Lightness(i, o, 20));
EFFECT_BENCHMARK(Contrast, Contrast(i, o, 30));
EFFECT_BENCHMARK(AutoLevel, AutoLevel(i, o));
EFFECT_BENCHMARK(HslColorize, HslColorize(i, o, 30, 60, 10));
EFFECT_BENCHMARK(AddNoise, AddNoise(i, o, 20, false));
EFFECT_BENCHMARK(Sharpen, Sharpen(i, o, 16));
EFFECT_BENCHMARK(Emboss, Emboss(i, o, 0));
EFFECT_BENCHMARK(EdgeDetect, EdgeDetect(i, o, 0));
EFFECT_BENCHMARK(Antialias, Antialias(i, o));
EFFECT_BENCHMARK(Mosaic, Mosaic(i, o, 10, 10));
EFFECT_BENCHMARK(Texturize, Texturize(i, o, 50, 8.0f));
EFFECT_BENCHMARK(Swirl, Swirl(i, o, 90));
EFFECT_BENCHMARK(Sinusize, Sinusize(i, o, SinusizeParameters{10, 100, 0, 0, 0, 0, 0xFFFFFFFFu}));
EFFECT_BENCHMARK(Waddle, Waddle(i, o));
EFFECT_BENCHMARK(Spray, Spray(i, o, 5, 0, 0xFFFFFFFFu));
EFFECT_BENCHMARK(EllipseCrop, EllipseCrop(i, o, 2000, 1500, 1800, 1300, 0xFFFFFFFFu));
EFFECT_BENCHMARK(Buttonize, Buttonize(i, o, 0, 10, 70));
EFFECT_BENCHMARK(PageCurl, PageCurl(i, o, 800, 600, 5, 0xFFFFFFCCu, 0xFFFFFFFFu));

}  // namespace
}  // namespace rastelle::kernels::effects
