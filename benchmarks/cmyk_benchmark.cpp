// CMYK separation of a whole image: the plain rule used without a profile,
// and the Little CMS transform through a CMYK profile (the press profile of
// the tests, or the file named by RASTELLE_CMYK_PROFILE, which
// benchmarks/peers/compare.py also hands to its peers).
#include "codecs/cmyk_profile.h"
#include "kernels/cmyk_separation.h"
#include "../tests/support/cmyk_press_profile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "photo_image.h"

namespace rastelle {
namespace {

void BM_CmykDefault(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto source = bench::PhotoPixels(w, h);
    std::vector<std::uint32_t> inks(source.size());
    for (auto _ : state) {
        kernels::SeparateCmykDefault(kernels::ConstImageView(source.data(), w, h, w * 4),
                                     kernels::PackedView(inks.data(), w, h));
        benchmark::DoNotOptimize(inks.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()) * 4);
}
BENCHMARK(BM_CmykDefault)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

void BM_CmykProfile(benchmark::State& state) {
    const char* named = std::getenv("RASTELLE_CMYK_PROFILE");
    std::string path = named ? named : "";
    if (path.empty()) {
        path = "rastelle_press_profile.icc";
        if (!test::WriteCmykPressProfile(path.c_str())) return state.SkipWithError("cannot write the profile");
    }
    std::ifstream file(path, std::ios::binary);
    const std::vector<std::uint8_t> profile{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    const auto transform = codecs::CmykProfileTransform::Open(profile);
    if (!named) std::remove(path.c_str());
    if (!transform) return state.SkipWithError("cannot open the profile");
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    const auto source = bench::PhotoPixels(w, h);
    std::vector<std::uint32_t> inks(source.size());
    for (auto _ : state) {
        transform->Separate(kernels::ConstImageView(source.data(), w, h, w * 4),
                            kernels::PackedView(inks.data(), w, h));
        benchmark::DoNotOptimize(inks.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()) * 4);
}
BENCHMARK(BM_CmykProfile)->ArgNames({"w", "h"})->Args({4000, 3000})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace rastelle
