// GIF output of a whole image: the octree palette (236 colours over 8 bits,
// as the DLL builds it), every pixel mapped to its nearest entry, and the
// indexed image encoded to GIF bytes in memory with giflib.
#include "kernels/octree_palette.h"
#include "kernels/palette_search.h"

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "photo_image.h"

namespace rastelle {
namespace {

constexpr unsigned kColours = 236;
constexpr unsigned kBits = 8;

struct Job {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
    std::vector<kernels::PaletteColour> palette;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> gif;

    explicit Job(const benchmark::State& state)
        : width(static_cast<int>(state.range(0))), height(static_cast<int>(state.range(1))),
          pixels(bench::PhotoPixels(width, height)), indices(pixels.size()) {
        palette.reserve(256);
    }
    kernels::ConstImageView View() const { return {pixels.data(), width, height, static_cast<std::ptrdiff_t>(width) * 4}; }
    bool Palette() { return kernels::BuildOctreePalette(View(), kColours, kBits, palette) && !palette.empty(); }
    void Map() {
        // A fresh search each time, as every save starts with an empty cache.
        kernels::NearestPaletteSearch search(palette);
        for (int y = 0; y < height; ++y)
            search.FindRow(pixels.data() + static_cast<size_t>(y) * width, indices.data() + static_cast<size_t>(y) * width,
                           width);
    }
    bool Encode();
};

int AppendBytes(GifFileType* gif, const GifByteType* data, int length) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    bytes->insert(bytes->end(), data, data + length);
    return length;
}

struct GifCloser {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
struct MapFreer {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

// One global 256-entry colour table (the palette padded with black), one
// image; the byte buffer keeps its capacity across iterations.
bool Job::Encode() {
    gif.clear();
    std::array<GifColorType, 256> colours{};
    for (size_t i = 0; i < palette.size(); ++i) colours[i] = {palette[i].red, palette[i].green, palette[i].blue};
    std::unique_ptr<ColorMapObject, MapFreer> map(GifMakeMapObject(256, colours.data()));
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> file(EGifOpen(&gif, AppendBytes, &error));
    if (!map || !file) return false;
    if (EGifPutScreenDesc(file.get(), width, height, 8, 0, map.get()) != GIF_OK ||
        EGifPutImageDesc(file.get(), 0, 0, width, height, false, nullptr) != GIF_OK)
        return false;
    for (int y = 0; y < height; ++y)
        if (EGifPutLine(file.get(), indices.data() + static_cast<size_t>(y) * width, width) != GIF_OK) return false;
    return EGifCloseFile(file.release(), &error) == GIF_OK;
}

void BM_GifPalette(benchmark::State& state) {
    Job job(state);
    for (auto _ : state) {
        if (!job.Palette()) return state.SkipWithError("no palette");
        benchmark::DoNotOptimize(job.palette.data());
    }
}
BENCHMARK(BM_GifPalette)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

void BM_GifMap(benchmark::State& state) {
    Job job(state);
    if (!job.Palette()) return state.SkipWithError("no palette");
    for (auto _ : state) {
        job.Map();
        benchmark::DoNotOptimize(job.indices.data());
    }
}
BENCHMARK(BM_GifMap)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

void BM_GifPaletteMap(benchmark::State& state) {
    Job job(state);
    for (auto _ : state) {
        if (!job.Palette()) return state.SkipWithError("no palette");
        job.Map();
        benchmark::DoNotOptimize(job.indices.data());
    }
}
BENCHMARK(BM_GifPaletteMap)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

void BM_GifSave(benchmark::State& state) {
    Job job(state);
    for (auto _ : state) {
        if (!job.Palette()) return state.SkipWithError("no palette");
        job.Map();
        if (!job.Encode()) return state.SkipWithError("giflib failed");
        benchmark::DoNotOptimize(job.gif.data());
    }
    state.counters["gif_bytes"] = static_cast<double>(job.gif.size());
}
BENCHMARK(BM_GifSave)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rastelle
