// The benchmarks' photo-like image: gradients with a little structured noise,
// the same pixels compare.py hands to the peers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace rastelle::bench {

// The colour of pixel (x, y) without alpha, and its noise term n (0..31).
inline std::uint32_t PhotoColour(int x, int y, std::uint32_t* noise = nullptr) {
    const std::uint32_t n = ((73u * x + 151u * y) ^ (static_cast<std::uint32_t>(x) * y)) & 31;
    if (noise) *noise = n;
    const std::uint32_t b = (x / 4 + n) & 255, g = (y / 4 + n) & 255, r = ((x + y) / 8 + n) & 255;
    return r << 16 | g << 8 | b;
}

// The opaque image of w x h such pixels, row-major.
inline std::vector<std::uint32_t> PhotoPixels(int w, int h) {
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[static_cast<std::size_t>(y) * w + x] = 0xFF000000u | PhotoColour(x, y);
    return pixels;
}

}  // namespace rastelle::bench
