// Flattening against the background: the blend runs over every pixel of a
// stream save's working copy. A fresh copy of the source is flattened each
// iteration (the copy's cost is included; it is what a save pays too).
#include "kernels/flatten.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace rastelle::kernels {
namespace {

void BM_FlattenAgainstBackground(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> source(static_cast<size_t>(w) * h);
    std::mt19937 random(5);
    // Mostly opaque, as photographs are, with a share of translucent pixels.
    for (auto& p : source) p = static_cast<std::uint32_t>(random()) | (random() % 4 ? 0xFF000000u : 0u);
    std::vector<std::uint32_t> work(source.size());
    for (auto _ : state) {
        work = source;
        FlattenAgainstBackground(PackedView(work.data(), w, h));
        benchmark::DoNotOptimize(work.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(work.size()) * 4);
}
BENCHMARK(BM_FlattenAgainstBackground)->Args({1000, 750})->Args({4000, 3000})->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rastelle::kernels
