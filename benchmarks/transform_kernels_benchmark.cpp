// The transform kernels on the sizes every kernel is measured at. Images are
// made once per benchmark and reused (touching fresh pages costs more than a
// kernel on these machines). Where a kernel lays its result onto a copy of the
// input, the timed loop makes that copy first, as the transform frame does.
//
// Image content (shared with benchmarks/peers/compare.py): channels are
// gradients with a little structured noise, n = ((73x + 151y) ^ (x*y)) & 31:
// B = (x/4 + n) & 255, G = (y/4 + n) & 255, R = ((x + y)/8 + n) & 255, alpha
// 255 ("opaque") or ((x ^ y) * 37 + 5n) & 255 ("alpha", every alpha occurs).
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "kernels/blur.h"
#include "kernels/fill_copy.h"
#include "kernels/rank_filter.h"
#include "kernels/transparency.h"
#include "photo_image.h"

namespace rastelle::kernels {
namespace {

struct TestImage {
    int width, height;
    std::vector<std::uint32_t> input, output;

    enum Alpha { kEveryAlpha, kOpaque, kCutOut };

    TestImage(int w, int h, int alpha) : width(w), height(h), input(static_cast<size_t>(w) * h), output(input.size()) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                std::uint32_t n = 0;
                const std::uint32_t colour = bench::PhotoColour(x, y, &n);
                std::uint32_t a = 255;
                if (alpha == kEveryAlpha) a = (static_cast<std::uint32_t>(x ^ y) * 37 + 5 * n) & 255;
                if (alpha == kCutOut) a = DiscAlpha(x, y);
                input[static_cast<size_t>(y) * w + x] = a << 24 | colour;
            }
        output = input;
    }
    // Opaque discs of radius 150 every 400 pixels on a transparent ground,
    // with a one-pixel soft edge: a cut-out shape, as glows and shadows get.
    static std::uint32_t DiscAlpha(int x, int y) {
        const double dx = x % 400 - 200, dy = y % 400 - 200;
        const double edge = std::sqrt(dx * dx + dy * dy) - 150;
        return edge <= -0.5 ? 255 : edge >= 0.5 ? 0 : static_cast<std::uint32_t>((0.5 - edge) * 255);
    }
    ConstImageView in() const { return PackedView(const_cast<std::uint32_t*>(input.data()), width, height); }
    ImageView out() { return PackedView(output.data(), width, height); }
};

// Arguments: width, height, then the benchmark's own.
void Sizes(benchmark::internal::Benchmark* b, std::vector<std::vector<std::int64_t>> extra,
           std::vector<std::string> names) {
    names.insert(names.begin(), {"w", "h"});
    b->ArgNames(names)->Unit(benchmark::kMillisecond);
    for (auto [w, h] : {std::pair{1000, 750}, std::pair{4000, 3000}})
        for (auto args : extra) {
            args.insert(args.begin(), {w, h});
            b->Args(args);
        }
}

void Finish(benchmark::State& state, const TestImage& image) {
    benchmark::DoNotOptimize(image.output.data());
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(image.input.size()));
}

// --- Blur family: radius argument in tenths of a pixel ----------------------

void BM_FastBlur(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(3) != 0);
    const double radius = static_cast<double>(state.range(2)) / 10;
    for (auto _ : state) {
        CopyPixels(image.in(), image.out());
        FastBlurImage(image.in(), image.out(), radius);
    }
    Finish(state, image);
}
BENCHMARK(BM_FastBlur)->Apply([](benchmark::internal::Benchmark* b) {
    // 2 and 10: the running sums; 2.5: half steps; 2.3: the direct path.
    Sizes(b, {{20, 1}, {100, 1}, {20, 0}, {100, 0}, {25, 1}, {23, 1}}, {"r10", "opaque"});
});

void BM_Glow(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    state.range(3) ? TestImage::kCutOut : TestImage::kEveryAlpha);
    for (auto _ : state) {
        CopyPixels(image.in(), image.out());
        GlowImage(image.in(), image.out(), 0xFFFFFF00u, 10, static_cast<double>(state.range(2)) / 10);
    }
    Finish(state, image);
}
BENCHMARK(BM_Glow)->Apply([](benchmark::internal::Benchmark* b) {
    Sizes(b, {{20, 0}, {100, 0}, {20, 1}, {100, 1}}, {"r10", "cutout"});
});

void BM_Shadow(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
                    state.range(3) ? TestImage::kCutOut : TestImage::kEveryAlpha);
    for (auto _ : state) {
        CopyPixels(image.in(), image.out());
        ShadowImage(image.in(), image.out(), 0xFF808080u, static_cast<double>(state.range(2)) / 10, 10, 10);
    }
    Finish(state, image);
}
BENCHMARK(BM_Shadow)->Apply([](benchmark::internal::Benchmark* b) {
    Sizes(b, {{20, 0}, {100, 0}, {20, 1}, {100, 1}}, {"r10", "cutout"});
});

// --- Rank filters: every pixel of the output is written, no copy needed -----

template <RankMode kMode>
void BM_Rank(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(3) != 0);
    const int radius = static_cast<int>(state.range(2));
    for (auto _ : state) RankFilter(image.in(), image.out(), radius, kMode, kMode != RankMode::Median);
    Finish(state, image);
}
BENCHMARK_TEMPLATE(BM_Rank, RankMode::Median)->Name("BM_Median")->Apply([](benchmark::internal::Benchmark* b) {
    Sizes(b, {{1, 1}, {2, 1}, {5, 1}, {1, 0}, {2, 0}, {5, 0}}, {"r", "opaque"});
});
BENCHMARK_TEMPLATE(BM_Rank, RankMode::Minimum)->Name("BM_Minimum")->Apply([](benchmark::internal::Benchmark* b) {
    Sizes(b, {{1, 1}, {5, 1}, {20, 1}, {1, 0}, {5, 0}}, {"r", "opaque"});
});
BENCHMARK_TEMPLATE(BM_Rank, RankMode::Maximum)->Name("BM_Maximum")->Apply([](benchmark::internal::Benchmark* b) {
    Sizes(b, {{1, 1}, {5, 1}, {1, 0}, {5, 0}}, {"r", "opaque"});
});

// --- Colour transforms ------------------------------------------------------

void BM_Transparentize(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true);
    for (auto _ : state) TransparencyKernel(image.in(), image.out(), 0xFFFFFFu, 50);
    Finish(state, image);
}
BENCHMARK(BM_Transparentize)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, {{}}, {}); });

// The DLL's colour matrix runs inside GDI+, which a native build cannot call.
// For the comparison with other libraries this measures the same arithmetic
// (each channel scaled, shifted and clamped; with no cross terms that is one
// 256-entry table per channel) as a plain loop.
void BM_ColourMatrix(benchmark::State& state) {
    TestImage image(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), true);
    const double multiplier[4] = {1.2, 0.9, 1.1, 1.0}, addend[4] = {-0.05, 0.1, 0.0, 0.0};  // B, G, R, A
    std::array<std::array<std::uint32_t, 256>, 4> table;
    for (auto _ : state) {
        for (int c = 0; c < 4; ++c)
            for (int v = 0; v < 256; ++v) {
                const double out = v * multiplier[c] + addend[c] * 255;
                table[c][v] = static_cast<std::uint32_t>(out < 0 ? 0 : out > 255 ? 255 : out + 0.5) << (8 * c);
            }
        const std::uint32_t* in = image.input.data();
        std::uint32_t* out = image.output.data();
        for (size_t i = 0; i < image.input.size(); ++i) {
            const std::uint32_t p = in[i];
            out[i] = table[0][p & 0xFF] | table[1][(p >> 8) & 0xFF] | table[2][(p >> 16) & 0xFF] | table[3][p >> 24];
        }
    }
    Finish(state, image);
}
BENCHMARK(BM_ColourMatrix)->Apply([](benchmark::internal::Benchmark* b) { Sizes(b, {{}}, {}); });

}  // namespace
}  // namespace rastelle::kernels
