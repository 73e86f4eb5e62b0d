// Runs the resampling kernel on a raw image file, for the quality and peer
// scripts beside this file:
//   rastelle_resample_tool IN WIDTH HEIGHT OUT OUT_WIDTH OUT_HEIGHT MODE [REPEAT [BACKGROUND]]
// IN and OUT hold 32-bit 0xAARRGGBB pixels, little-endian (bytes B, G, R, A),
// row after row. With REPEAT > 1 the kernel runs that many times into the
// same buffers and the fastest run's time is printed, in milliseconds.
#include "kernels/resample.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv) {
    using namespace rastelle::kernels;
    if (argc < 8) {
        std::fprintf(stderr, "usage: %s IN WIDTH HEIGHT OUT OUT_WIDTH OUT_HEIGHT MODE [REPEAT [BACKGROUND]]\n",
                     argv[0]);
        return 2;
    }
    const int w = std::atoi(argv[2]), h = std::atoi(argv[3]);
    const int outW = std::atoi(argv[5]), outH = std::atoi(argv[6]);
    const auto mode = static_cast<ResampleMode>(std::atoi(argv[7]));
    const int repeat = argc > 8 ? std::max(1, std::atoi(argv[8])) : 1;
    const auto background = argc > 9 ? static_cast<std::uint32_t>(std::strtoul(argv[9], nullptr, 0)) : 0xFFFFFFFFu;

    std::vector<std::uint32_t> src(static_cast<size_t>(w) * h), dst(static_cast<size_t>(outW) * outH);
    std::ifstream in(argv[1], std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(src.data()), static_cast<std::streamsize>(src.size() * 4))) {
        std::fprintf(stderr, "%s: cannot read %dx%d pixels\n", argv[1], w, h);
        return 1;
    }
    double best = 1e300;
    for (int i = 0; i < repeat; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ResampleOver(ConstImageView(src.data(), w, h, static_cast<std::ptrdiff_t>(w) * 4), {0, 0, w, h},
                     PackedView(dst.data(), outW, outH), mode, background);
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    if (repeat > 1) std::printf("%.3f\n", best);
    std::ofstream out(argv[4], std::ios::binary);
    out.write(reinterpret_cast<const char*>(dst.data()), static_cast<std::streamsize>(dst.size() * 4));
    return out ? 0 : 1;
}
