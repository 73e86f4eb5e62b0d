// Fill and copy on the image sizes every kernel is measured at. Buffers are
// made once per benchmark and reused: on these machines touching fresh pages
// costs far more than the kernels themselves.
#include "kernels/fill_copy.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace rastelle::kernels {
namespace {

void Sizes(benchmark::internal::Benchmark* b) {
    b->Args({1000, 750})->Args({4000, 3000})->Unit(benchmark::kMicrosecond);
}

void BM_FillPixels(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> pixels(static_cast<size_t>(w) * h);
    for (auto _ : state) {
        FillPixels(PackedView(pixels.data(), w, h), 0xFF336699u);
        benchmark::DoNotOptimize(pixels.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(pixels.size()) * 4);
}
BENCHMARK(BM_FillPixels)->Apply(Sizes);

void BM_CopyPixels(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    std::vector<std::uint32_t> from(static_cast<size_t>(w) * h, 0x12345678u), to(from.size());
    // A padded target forces the row-by-row path.
    std::vector<std::uint32_t> padded(static_cast<size_t>(w + 8) * h);
    const ImageView paddedView{padded.data(), w, h, static_cast<std::ptrdiff_t>(w + 8) * 4};
    const bool rowByRow = state.range(2) != 0;
    for (auto _ : state) {
        CopyPixels(PackedView(from.data(), w, h), rowByRow ? paddedView : PackedView(to.data(), w, h));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(from.size()) * 4);
}
BENCHMARK(BM_CopyPixels)
    ->Args({1000, 750, 0})->Args({1000, 750, 1})->Args({4000, 3000, 0})->Args({4000, 3000, 1})
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace rastelle::kernels
