#include "kernels/cmyk_separation.h"

#include <gtest/gtest.h>

#include <cmath>

namespace rastelle::kernels {
namespace {

// The rule in floating point, rounded to nearest.
std::uint32_t ReferenceInks(std::uint32_t argb) {
    const int b = argb & 0xFF, g = (argb >> 8) & 0xFF, r = (argb >> 16) & 0xFF;
    const int k = 255 - std::max(r, std::max(g, b));
    auto ink = [k](int channel) {
        if (k == 255) return 0u;
        return static_cast<std::uint32_t>(std::floor((255.0 - channel - k) * 255.0 / (255.0 - k) + 0.5));
    };
    return ink(r) | (ink(g) << 8) | (ink(b) << 16) | (static_cast<std::uint32_t>(k) << 24);
}

TEST(CmykSeparation, EveryChannelPairMatchesTheReference) {
    // Every (max, channel) pair, with the other channels at 0 and at max.
    for (std::uint32_t m = 0; m < 256; ++m)
        for (std::uint32_t v = 0; v <= m; ++v)
            for (const std::uint32_t pixel : {0xFF000000u | (m << 16) | (v << 8) | v,
                                              0xFF000000u | (v << 16) | (m << 8) | m,
                                              0xFF000000u | (v << 16) | (m << 8) | v}) {
                ASSERT_EQ(SeparateCmykPixel(pixel), ReferenceInks(pixel)) << std::hex << pixel;
            }
}

}  // namespace
}  // namespace rastelle::kernels
