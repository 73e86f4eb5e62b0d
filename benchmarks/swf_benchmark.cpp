// The lossless SWF bitmap of a 4000 x 3000 image (ARGB conversion and
// compression, as a save does) against zlib's compress2 at level 9 of the
// same bytes, on a photo-like and a screenshot-like image. The counters give
// the compressed sizes.
#include "swf/swf_image_movie.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

constexpr int kWidth = 4000;
constexpr int kHeight = 3000;

std::uint32_t Next(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// Smooth shading with sensor-like noise of a few levels.
std::vector<std::uint32_t> PhotoLike() {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    std::uint32_t state = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int base = (x * 7 + y * 3) / 80 + ((x / 37 + y / 53) % 16) * 4;
            auto channel = [&](int offset) {
                const int v = (base + offset) % 200 + static_cast<int>(Next(state) % 9);
                return static_cast<std::uint32_t>(v);
            };
            pixels[static_cast<std::size_t>(y) * kWidth + x] =
                0xFF000000u | channel(20) << 16 | channel(40) << 8 | channel(0);
        }
    return pixels;
}

// Flat panels, borders and rows of small glyph-like marks.
std::vector<std::uint32_t> ScreenshotLike() {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(kWidth) * kHeight);
    std::uint32_t state = 777;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int panel = (x / 500) + 8 * (y / 400);
            std::uint32_t colour = 0xFFF0F0F0u - static_cast<std::uint32_t>(panel % 5) * 0x00101010u;
            if (x % 500 < 2 || y % 400 < 2) colour = 0xFF808080u;
            const bool textRow = (y % 20) >= 6 && (y % 20) < 16 && (x % 500) > 20 && (x % 500) < 460;
            if (textRow && ((x / 7 + y / 20) % 5 != 0) && ((x * 13 + (y % 20) * 7 + x / 7) % 11) < 4)
                colour = (Next(state) % 17 == 0) ? 0xFF2050C0u : 0xFF202020u;
            pixels[static_cast<std::size_t>(y) * kWidth + x] = colour;
        }
    return pixels;
}

const std::vector<std::uint32_t>& Image(int kind) {
    static const std::vector<std::uint32_t> photo = PhotoLike();
    static const std::vector<std::uint32_t> screen = ScreenshotLike();
    return kind == 0 ? photo : screen;
}

void BM_SwfLosslessBitmap(benchmark::State& state, int kind) {
    const auto& pixels = Image(kind);
    std::vector<std::uint8_t> argb(pixels.size() * 4);
    std::size_t compressed = 0;
    for (auto _ : state) {
        rastelle::swf::ToSwfArgb(rastelle::kernels::ConstImageView(pixels.data(), kWidth, kHeight, kWidth * 4),
                                 argb.data());
        auto bitmap = rastelle::swf::MakeLosslessBitmap(argb.data(), kWidth, kHeight);
        compressed = static_cast<const rastelle::swf::LosslessBitmapTag&>(*bitmap).compressed().size();
        rastelle::swf::ResetCharacterIds();
        benchmark::DoNotOptimize(bitmap);
    }
    state.counters["bytes"] = static_cast<double>(compressed);
}
BENCHMARK_CAPTURE(BM_SwfLosslessBitmap, photo, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SwfLosslessBitmap, screenshot, 1)->Unit(benchmark::kMillisecond);

void BM_Zlib9(benchmark::State& state, int kind) {
    const auto& pixels = Image(kind);
    std::vector<std::uint8_t> argb(pixels.size() * 4);
    rastelle::swf::ToSwfArgb(rastelle::kernels::ConstImageView(pixels.data(), kWidth, kHeight, kWidth * 4),
                             argb.data());
    std::vector<std::uint8_t> out(compressBound(static_cast<uLong>(argb.size())));
    uLongf length = 0;
    for (auto _ : state) {
        length = static_cast<uLongf>(out.size());
        compress2(out.data(), &length, argb.data(), static_cast<uLong>(argb.size()), Z_BEST_COMPRESSION);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["bytes"] = static_cast<double>(length);
}
BENCHMARK_CAPTURE(BM_Zlib9, photo, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Zlib9, screenshot, 1)->Unit(benchmark::kMillisecond);

}  // namespace
