// The per-pixel colour kernels against plain references: flattening against
// the background, colour-keyed transparency and the CMYK separation.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "kernels/cmyk_separation.h"
#include "kernels/flatten.h"
#include "kernels/transparency.h"
#include "reference_kernels.h"
#include "test_images.h"

namespace rastelle::kernels {
namespace {

// The flattening written plainly over a packed buffer: one run through memory
// for the background, then the blend of every pixel.
std::vector<std::uint32_t> ReferenceFlatten(std::vector<std::uint32_t> pixels, int width, int height) {
    int background[3] = {0, 255, 255};  // blue, green, red: yellow
    const long long count = static_cast<long long>(height - 1) * (width - 1);
    long long i = 0;
    while (i < count && (pixels[static_cast<size_t>(i)] >> 24) > 2) ++i;
    for (int c = 0; i + 1 < count && c < 3; ++c) background[c] = static_cast<int>(pixels[static_cast<size_t>(i + 1)] >> (8 * c) & 0xFF);
    for (std::uint32_t& p : pixels) {
        const int a = static_cast<int>(p >> 24);
        std::uint32_t out = p & 0xFF000000u;
        for (int c = 0; c < 3; ++c)
            out |= static_cast<std::uint32_t>((static_cast<int>(p >> (8 * c) & 0xFF) * a + background[c] * (255 - a)) / 255)
                   << (8 * c);
        p = out;
    }
    return pixels;
}

TEST(FlattenAgainstBackground, MatchesTheReferenceAcrossSizesStridesAndDirections) {
    std::mt19937 random(11);
    for (auto [w, h] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{7, 5}, std::pair{13, 3}, std::pair{1, 9}}) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<std::uint32_t> packed(static_cast<size_t>(w * h));
            for (auto& p : packed) {
                const auto pick = random() % 4;  // many opaque and nearly transparent pixels
                p = static_cast<std::uint32_t>(random()) | (pick == 0 ? 0xFF000000u : 0u);
                if (pick == 1) p &= 0x02FFFFFFu;
            }
            const auto expected = ReferenceFlatten(packed, w, h);
            for (bool bottomUp : {false, true}) {
                PaddedImage image(w, h, 3);  // padded rows, whose padding must stay
                const ImageView view = bottomUp ? image.flipped() : image.view();
                for (int i = 0; i < w * h; ++i) view.row(i / w)[i % w] = packed[static_cast<size_t>(i)];
                FlattenAgainstBackground(view);
                for (int i = 0; i < w * h; ++i) ASSERT_EQ(view.row(i / w)[i % w], expected[static_cast<size_t>(i)]);
                ASSERT_TRUE(image.guardsIntact());
            }
        }
    }
}

TEST(TransparencyKernel, MatchesReferenceForEveryThreshold) {
    std::mt19937 random(11);
    for (int threshold = 0; threshold < 256; ++threshold) {
        const int w = 1 + static_cast<int>(random() % 13), h = 1 + static_cast<int>(random() % 4);
        PaddedImage image(w, h, 1);
        FillRandom(image, random);
        const std::uint32_t color = random();
        // Pixels near the colour, so that every threshold is crossed.
        for (auto& p : image.memory)
            if (random() % 2) p = (color & 0xFFFFFF) ^ (random() & 0x1F1F1Fu) ^ (p & 0xFF000000u);
        const auto t = static_cast<std::uint8_t>(threshold);
        const PaddedImage expected = Filtered(image, reference::TransparencyKernel, color, t);
        PaddedImage actual(w, h, 2);
        TransparencyKernel(image.view(), actual.view(), color, t);
        TransparencyKernel(image.view(), image.view(), color, t);  // in place gives the same
        ASSERT_EQ(std::make_tuple(FirstDifference(expected, actual), FirstDifference(expected, image), actual.guardsIntact()),
                  std::make_tuple("", "", true)) << "threshold " << threshold;
    }
}

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
                                              0xFF000000u | (v << 16) | (m << 8) | v})
                ASSERT_EQ(SeparateCmykPixel(pixel), ReferenceInks(pixel)) << std::hex << pixel;
}

}  // namespace
}  // namespace rastelle::kernels
